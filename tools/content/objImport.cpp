// Wavefront OBJ import on top of tinyobjloader, which parses the records. The loader reports lines
// only for the records it cannot parse, so a light scan of the text maps each vertex, normal, texture
// coordinate and face record to its line for the checks made here.
#include "content/content.h"
#include "content/meshBuilding.h"

#include <tiny_obj_loader.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>
#include <string_view>
#include <tuple>

namespace quorvel::content {

namespace {

// The loader counts a face's corners in a byte.
constexpr std::size_t kMaxFaceCorners = 255;

struct RecordLines {
    std::vector<int> positions, normals, texCoords, faces;
    std::vector<std::size_t> faceCorners;
    std::vector<std::string> text; // every line, for quoting in messages
};

bool Space(char c) {
    return c == ' ' || c == '\t';
}

// Classifies lines the way the loader does: leading blanks skipped, then the keyword and a blank.
// Lines end at "\n", "\r\n" or a lone "\r", and at a zero byte as far as the loader can see.
RecordLines LocateRecords(const std::string& text) {
    RecordLines lines;
    std::size_t start = 0;
    for (int number = 1; start < text.size(); ++number) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = text.size();
        std::string_view row(text.data() + start, end - start);
        row = row.substr(0, row.find('\0'));
        lines.text.emplace_back(row);
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);

        while (!row.empty() && Space(row.front()))
            row.remove_prefix(1);
        const auto keyword = [&](std::string_view word) {
            return row.size() > word.size() && row.starts_with(word) && Space(row[word.size()]);
        };
        if (keyword("v"))
            lines.positions.push_back(number);
        else if (keyword("vn"))
            lines.normals.push_back(number);
        else if (keyword("vt"))
            lines.texCoords.push_back(number);
        else if (keyword("f")) {
            lines.faces.push_back(number);
            std::size_t corners = 0;
            for (std::size_t i = 1; i < row.size(); ++i)
                corners += !Space(row[i]) && row[i] != '\r' && (Space(row[i - 1]) || row[i - 1] == '\r');
            lines.faceCorners.push_back(corners);
        }
    }
    return lines;
}

int LineOf(const std::vector<int>& lines, std::size_t record) {
    return record < lines.size() ? lines[record] : 0;
}

// One polygon of the file, its corners still indexing the loader's arrays.
struct Face {
    const tinyobj::index_t* corners;
    std::size_t count;
    unsigned smoothingGroup;
    int line;
};

class Importer {
public:
    Importer(const std::filesystem::path& file, ImportError& error) : file(file), error(error) {
        error = {file.string(), 0, ""};
    }

    bool Run(MeshData& result) {
        std::string text;
        if (!ReadText(text) || !Load(text))
            return false;
        lines = LocateRecords(text);
        if (!CheckValues() || !CollectFaces() || !CheckIndices())
            return false;
        BuildMesh();
        result = std::move(mesh);
        return true;
    }

private:
    bool Fail(int line, const std::string& reason) {
        error.line = line;
        error.reason = reason;
        if (line > 0 && static_cast<std::size_t>(line) <= lines.text.size())
            error.reason += " in \"" + lines.text[line - 1] + "\"";
        return false;
    }

    bool ReadText(std::string& text) {
        std::error_code folder;
        std::ifstream in(file, std::ios::binary);
        if (!in || std::filesystem::is_directory(file, folder))
            return Fail(0, "cannot open the file");
        // The stream buffer throws, rather than setting a flag, when the system refuses a read.
        try {
            text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        } catch (const std::ios_base::failure& failure) {
            return Fail(0, std::string("cannot read the file: ") + failure.what());
        }
        return true;
    }

    // Materials are not read: the mesh takes its material from the scene, and a missing .mtl file must
    // not stop the import.
    bool Load(const std::string& text) {
        std::istringstream stream(text);
        std::string warnings, errors;
        if (tinyobj::LoadObj(&attrib, &shapes, &materials, &warnings, &errors, &stream, nullptr, false,
                             false))
            return true;
        lines = LocateRecords(text);
        // The loader's messages end in "(... line N.)": the number is taken out, and the message of an
        // unreadable face, line or point index put in plain words.
        static const std::regex lineNumber(R"(line:?\s*(\d+))");
        static const std::regex badIndex(R"(^Failed parse `([flp])' line)");
        std::smatch match;
        int line = 0;
        if (std::regex_search(errors, match, lineNumber))
            line = std::stoi(match[1].str());
        if (std::regex_search(errors, match, badIndex)) {
            const char* record = match[1] == "f" ? "face" : (match[1] == "l" ? "line" : "point");
            errors = std::string("a ") + record + " index is zero or not a number";
        }
        while (!errors.empty() && std::isspace(static_cast<unsigned char>(errors.back())))
            errors.pop_back();
        return Fail(line, errors.empty() ? "cannot be read as an OBJ file" : errors);
    }

    bool CheckValues() {
        const auto check = [&](const std::vector<tinyobj::real_t>& values, std::size_t width,
                               const std::vector<int>& recordLines, const char* what) {
            for (std::size_t i = 0; i < values.size(); ++i)
                if (!std::isfinite(values[i]))
                    return Fail(LineOf(recordLines, i / width),
                                std::string("the ") + what + " is not a finite number");
            return true;
        };
        return check(attrib.vertices, 3, lines.positions, "position") &&
               check(attrib.normals, 3, lines.normals, "normal") &&
               check(attrib.texcoords, 2, lines.texCoords, "texture coordinate");
    }

    // Faces in file order: the loader keeps each group's faces in order and its groups in order.
    bool CollectFaces() {
        for (std::size_t i = 0; i < lines.faces.size(); ++i) {
            if (lines.faceCorners[i] < 3)
                return Fail(lines.faces[i], "a face needs at least three corners, this one has " +
                                                std::to_string(lines.faceCorners[i]));
            if (lines.faceCorners[i] > kMaxFaceCorners)
                return Fail(lines.faces[i], "a face has " + std::to_string(lines.faceCorners[i]) +
                                                " corners, more than " + std::to_string(kMaxFaceCorners));
        }
        for (const tinyobj::shape_t& shape : shapes) {
            std::size_t offset = 0;
            for (std::size_t f = 0; f < shape.mesh.num_face_vertices.size(); ++f) {
                const std::size_t count = shape.mesh.num_face_vertices[f];
                if (offset + count > shape.mesh.indices.size())
                    return Fail(0, "the face list is inconsistent");
                faces.push_back({&shape.mesh.indices[offset], count, shape.mesh.smoothing_group_ids[f],
                                 LineOf(lines.faces, faces.size())});
                offset += count;
            }
        }
        if (faces.empty())
            return Fail(0, "the file holds no faces");
        // Should the scan and the loader ever disagree, a wrong line is worse than none.
        if (faces.size() != lines.faces.size())
            for (Face& face : faces)
                face.line = 0;
        return true;
    }

    bool CheckIndices() {
        const auto check = [&](const Face& face, int index, std::size_t count, const char* what,
                               bool optional) {
            if (optional && index == -1)
                return true;
            if (index < 0)
                return Fail(face.line,
                            std::string("a relative ") + what + " index reaches before the first " + what);
            if (static_cast<std::size_t>(index) >= count)
                return Fail(face.line, std::string("a face refers to ") + what + " " +
                                           std::to_string(index + 1) + " but the file has only " +
                                           std::to_string(count) + " " + what + "s");
            return true;
        };
        for (const Face& face : faces)
            for (std::size_t k = 0; k < face.count; ++k) {
                const tinyobj::index_t& corner = face.corners[k];
                if (!check(face, corner.vertex_index, attrib.vertices.size() / 3, "position", false) ||
                    !check(face, corner.normal_index, attrib.normals.size() / 3, "normal", true) ||
                    !check(face, corner.texcoord_index, attrib.texcoords.size() / 2, "texture coordinate",
                           true))
                    return false;
            }
        return true;
    }

    Float3 Position(int index) const {
        const tinyobj::real_t* p = &attrib.vertices[3 * static_cast<std::size_t>(index)];
        return {p[0], p[1], p[2]};
    }

    // Newell's normal: for a planar polygon twice its area along its front side, robust for concave
    // and slightly warped polygons alike.
    Float3 PolygonNormal(const Face& face) const {
        Float3 n{0, 0, 0};
        for (std::size_t k = 0; k < face.count; ++k) {
            const Float3 a = Position(face.corners[k].vertex_index);
            const Float3 b = Position(face.corners[(k + 1) % face.count].vertex_index);
            n = Add(n, {(a[1] - b[1]) * (a[2] + b[2]), (a[2] - b[2]) * (a[0] + b[0]),
                        (a[0] - b[0]) * (a[1] + b[1])});
        }
        return n;
    }

    std::vector<std::array<std::size_t, 3>> Triangulate(const Face& face, const Float3& normal) const;

    void BuildMesh();

    const std::filesystem::path& file;
    ImportError& error;
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    RecordLines lines;
    std::vector<Face> faces;
    MeshData mesh;
};

// Ear clipping in the polygon's plane, keeping the polygon's winding. Where no ear is found (a
// self-intersecting or degenerate outline) the rest becomes a fan.
std::vector<std::array<std::size_t, 3>> Importer::Triangulate(const Face& face, const Float3& normal) const {
    std::vector<std::array<std::size_t, 3>> triangles;
    std::vector<std::size_t> left(face.count);
    for (std::size_t k = 0; k < face.count; ++k)
        left[k] = k;
    // Drop the normal's largest axis; the sign of that component tells which way the outline turns.
    const std::size_t axis =
        std::fabs(normal[0]) >= std::fabs(normal[1]) && std::fabs(normal[0]) >= std::fabs(normal[2])
            ? 0
            : (std::fabs(normal[1]) >= std::fabs(normal[2]) ? 1 : 2);
    const std::size_t ua = (axis + 1) % 3, va = (axis + 2) % 3;
    const float turn = normal[axis] >= 0 ? 1.0f : -1.0f;
    const auto point = [&](std::size_t k) {
        const Float3 p = Position(face.corners[k].vertex_index);
        return std::array<float, 2>{p[ua], p[va]};
    };
    const auto area = [&](std::array<float, 2> a, std::array<float, 2> b, std::array<float, 2> c) {
        return turn * ((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]));
    };
    while (left.size() > 3) {
        bool clipped = false;
        for (std::size_t i = 0; i < left.size() && !clipped; ++i) {
            const std::size_t p = left[(i + left.size() - 1) % left.size()], c = left[i],
                              n = left[(i + 1) % left.size()];
            const auto a = point(p), b = point(c), d = point(n);
            if (!(area(a, b, d) > 0.0f))
                continue;
            const bool blocked = std::any_of(left.begin(), left.end(), [&](std::size_t k) {
                if (k == p || k == c || k == n)
                    return false;
                const auto q = point(k);
                return area(a, b, q) > 0.0f && area(b, d, q) > 0.0f && area(d, a, q) > 0.0f;
            });
            if (blocked)
                continue;
            triangles.push_back({p, c, n});
            left.erase(left.begin() + static_cast<std::ptrdiff_t>(i));
            clipped = true;
        }
        if (!clipped)
            break;
    }
    for (std::size_t k = 1; k + 1 < left.size(); ++k)
        triangles.push_back({left[0], left[k], left[k + 1]});
    return triangles;
}

// Corners without a normal of their own get one computed: within an OBJ smoothing group ("s 1" and
// so on) the area-weighted average over the group's faces at that position, elsewhere ("s off", or
// no "s" line) the flat normal of their face. Each distinct position/normal/texture-coordinate triple
// becomes one vertex, numbered in order of first use.
void Importer::BuildMesh() {
    std::vector<Float3> faceNormals;
    std::map<std::pair<int, unsigned>, Float3> smooth;
    for (const Face& face : faces) {
        faceNormals.push_back(PolygonNormal(face));
        if (face.smoothingGroup != 0)
            for (std::size_t k = 0; k < face.count; ++k) {
                Float3& sum = smooth[{face.corners[k].vertex_index, face.smoothingGroup}];
                sum = Add(sum, faceNormals.back());
            }
    }
    for (auto& [key, sum] : smooth)
        sum = Normalize(sum);

    const bool textured = std::any_of(faces.begin(), faces.end(), [](const Face& face) {
        return std::any_of(face.corners, face.corners + face.count,
                           [](const tinyobj::index_t& corner) { return corner.texcoord_index >= 0; });
    });
    // A computed normal is keyed by its value's bits, so equal normals from different faces still weld.
    using Key = std::tuple<int, std::array<float, 3>, int>;
    std::map<Key, std::uint32_t> vertices;
    const auto vertex = [&](const tinyobj::index_t& corner, const Float3& computed) {
        Float3 normal = computed;
        if (corner.normal_index >= 0) {
            const tinyobj::real_t* n = &attrib.normals[3 * static_cast<std::size_t>(corner.normal_index)];
            normal = {n[0], n[1], n[2]};
        }
        const Key key{corner.vertex_index, normal, corner.texcoord_index};
        const auto [it, added] = vertices.try_emplace(key, static_cast<std::uint32_t>(mesh.positions.size()));
        if (added) {
            mesh.positions.push_back(Position(corner.vertex_index));
            mesh.normals.push_back(normal);
            if (textured) {
                Float2 uv{0, 0};
                if (corner.texcoord_index >= 0) {
                    const tinyobj::real_t* t =
                        &attrib.texcoords[2 * static_cast<std::size_t>(corner.texcoord_index)];
                    uv = {t[0], t[1]};
                }
                mesh.texCoords.push_back(uv);
            }
        }
        return it->second;
    };

    for (std::size_t f = 0; f < faces.size(); ++f) {
        const Face& face = faces[f];
        const Float3 flat = Normalize(faceNormals[f]);
        for (const auto& triangle : Triangulate(face, faceNormals[f]))
            for (std::size_t k : triangle) {
                const tinyobj::index_t& corner = face.corners[k];
                const Float3 computed =
                    face.smoothingGroup != 0 ? smooth.at({corner.vertex_index, face.smoothingGroup}) : flat;
                mesh.indices.push_back(vertex(corner, computed));
            }
    }
}

} // namespace

bool ImportObj(const std::filesystem::path& file, MeshData& mesh, ImportError& error) {
    return Importer(file, error).Run(mesh);
}

} // namespace quorvel::content
