#include "textMesh.h"

#include "meshBuilding.h"
#include "polygonFill.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <stdexcept>

namespace quorvel::content {

namespace {

constexpr std::size_t kCharacterLimit = 4096;
// 128 MiB of vertices: the generators' byte limit counts a mesh only once it is made.
constexpr std::size_t kVertexLimit = std::size_t{4} << 20;
// Neighbouring sides meeting at less than this share their normal, so curves shade smoothly.
const float kSmoothCosine = std::cos(35.0f * 3.14159265f / 180.0f);

std::vector<char32_t> DecodeUtf8(const std::string& text) {
    std::vector<char32_t> codepoints;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80         ? 1
                           : (lead >> 5) == 6  ? 2
                           : (lead >> 4) == 14 ? 3
                           : (lead >> 3) == 30 ? 4
                                               : 0;
        if (length == 0 || i + length > text.size())
            throw std::invalid_argument("the string is not UTF-8 (at byte " + std::to_string(i + 1) + ")");
        char32_t codepoint = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next >> 6) != 2)
                throw std::invalid_argument("the string is not UTF-8 (at byte " + std::to_string(i + k + 1) +
                                            ")");
            codepoint = codepoint << 6 | (next & 0x3F);
        }
        codepoints.push_back(codepoint);
        i += length;
    }
    return codepoints;
}

// A letter's outline in scene units, at its own origin: contours with the filled side on their left,
// and the triangles that fill them.
struct Letter {
    std::vector<std::vector<Float2>> contours;
    std::vector<std::uint32_t> fill;
};

// Drops repeated points and points on a straight line between their neighbours, which would make
// triangles without area.
std::vector<Float2> Clean(const std::vector<Float2>& contour) {
    std::vector<Float2> points = contour;
    for (bool changed = true; changed && points.size() >= 3;) {
        changed = false;
        for (std::size_t i = 0; i < points.size() && points.size() >= 3; ++i) {
            const Float2& a = points[(i + points.size() - 1) % points.size()];
            const Float2& b = points[i];
            const Float2& c = points[(i + 1) % points.size()];
            const double cross = (static_cast<double>(b[0]) - a[0]) * (static_cast<double>(c[1]) - a[1]) -
                                 (static_cast<double>(b[1]) - a[1]) * (static_cast<double>(c[0]) - a[0]);
            const double span = std::hypot(c[0] - a[0], c[1] - a[1]);
            if (b == a || b == c || std::abs(cross) <= 1e-7 * span * span) {
                points.erase(points.begin() + static_cast<long>(i));
                changed = true;
            }
        }
    }
    if (points.size() < 3)
        points.clear();
    return points;
}

Letter MakeLetter(const FontFile& font, int glyph, float scale) {
    Letter letter;
    for (const std::vector<Float2>& outline : font.Outline(glyph, font.UnitsPerEm() * 0.0015f)) {
        std::vector<Float2> scaled;
        for (const Float2& p : outline)
            scaled.push_back({p[0] * scale, p[1] * scale});
        std::vector<Float2> clean = Clean(scaled);
        if (!clean.empty())
            letter.contours.push_back(std::move(clean));
    }
    letter.fill = FillContours(letter.contours);
    return letter;
}

Float2 Outward(const Float2& from, const Float2& to) {
    const float dx = to[0] - from[0], dy = to[1] - from[1];
    const float length = std::hypot(dx, dy);
    return {dy / length, -dx / length};
}

class Builder {
public:
    Builder(MeshData& mesh, const TextLayout& layout) : mesh(mesh), layout(layout) {}

    void AddLetter(const Letter& letter, float x, float y) {
        const float front = -layout.depth / 2, back = layout.depth / 2, bevel = layout.bevel;
        // Each contour inset by the bevel along its corners' mitres: the edge of the faces.
        std::vector<std::vector<Float2>> inset;
        std::vector<Float2> flatInset;
        for (const std::vector<Float2>& contour : letter.contours) {
            inset.emplace_back();
            for (std::size_t k = 0; k < contour.size(); ++k) {
                const Float2& before = contour[(k + contour.size() - 1) % contour.size()];
                const Float2& here = contour[k];
                const Float2& after = contour[(k + 1) % contour.size()];
                const Float2 a = Outward(before, here), b = Outward(here, after);
                Float2 mitre{-(a[0] + b[0]), -(a[1] + b[1])};
                const float length = std::hypot(mitre[0], mitre[1]);
                const float along =
                    length > 1e-6f ? std::max((mitre[0] * -b[0] + mitre[1] * -b[1]) / length, 0.5f) : 1.0f;
                if (length > 1e-6f)
                    mitre = {mitre[0] / length / along, mitre[1] / length / along};
                else
                    mitre = {-b[0], -b[1]};
                inset.back().push_back({here[0] + mitre[0] * bevel + x, here[1] + mitre[1] * bevel + y});
            }
            flatInset.insert(flatInset.end(), inset.back().begin(), inset.back().end());
        }
        Face(flatInset, letter.fill, front, -1);
        Face(flatInset, letter.fill, back, 1);
        for (std::size_t c = 0; c < letter.contours.size(); ++c) {
            std::vector<Float2> placed;
            for (const Float2& p : letter.contours[c])
                placed.push_back({p[0] + x, p[1] + y});
            if (bevel > 0) {
                Side(inset[c], front, placed, front + bevel, -1);
                Side(placed, front + bevel, placed, back - bevel, 0);
                Side(placed, back - bevel, inset[c], back, 1);
            } else {
                Side(placed, front, placed, back, 0);
            }
        }
    }

    // Texture coordinates of the faces, over the whole text's extent.
    void MapFaces() {
        float minX = std::numeric_limits<float>::max(), minY = minX, maxX = -minX, maxY = -minX;
        for (std::uint32_t v : faceVertices) {
            minX = std::min(minX, mesh.positions[v][0]);
            maxX = std::max(maxX, mesh.positions[v][0]);
            minY = std::min(minY, mesh.positions[v][1]);
            maxY = std::max(maxY, mesh.positions[v][1]);
        }
        const float width = std::max(maxX - minX, 1e-6f), height = std::max(maxY - minY, 1e-6f);
        for (std::uint32_t v : faceVertices)
            mesh.texCoords[v] = {(mesh.positions[v][0] - minX) / width,
                                 (maxY - mesh.positions[v][1]) / height};
    }

private:
    std::uint32_t Vertex(const Float3& position, const Float3& normal, const Float2& uv) {
        if (mesh.positions.size() >= kVertexLimit)
            throw std::invalid_argument("the text would have more than " + std::to_string(kVertexLimit) +
                                        " vertices");
        mesh.positions.push_back(position);
        mesh.normals.push_back(normal);
        mesh.texCoords.push_back(uv);
        return static_cast<std::uint32_t>(mesh.positions.size() - 1);
    }

    // The fill runs counter-clockwise seen from +Z, which is the front side's winding for a face
    // turned towards +Z; the face towards -Z takes each triangle the other way round.
    void Face(const std::vector<Float2>& points, const std::vector<std::uint32_t>& fill, float z,
              float facing) {
        const std::uint32_t first = static_cast<std::uint32_t>(mesh.positions.size());
        for (const Float2& p : points)
            faceVertices.push_back(Vertex({p[0], p[1], z}, {0, 0, facing}, {0, 0}));
        for (std::size_t t = 0; t < fill.size(); t += 3) {
            const std::uint32_t a = first + fill[t], b = first + fill[t + 1], c = first + fill[t + 2];
            if (facing > 0)
                mesh.indices.insert(mesh.indices.end(), {a, b, c});
            else
                mesh.indices.insert(mesh.indices.end(), {a, c, b});
        }
    }

    // A band around one contour from `near` at z0 to `far` at z1 (z0 < z1), facing out of the letter
    // and tilted towards -Z, +Z or neither (tilt -1, 1, 0).
    void Side(const std::vector<Float2>& near, float z0, const std::vector<Float2>& far, float z1,
              float tilt) {
        const std::size_t n = near.size();
        std::vector<Float2> outward(n);
        std::vector<float> along(n + 1, 0);
        for (std::size_t k = 0; k < n; ++k) {
            outward[k] = Outward(far[k], far[(k + 1) % n]);
            along[k + 1] =
                along[k] + std::hypot(far[(k + 1) % n][0] - far[k][0], far[(k + 1) % n][1] - far[k][1]);
        }
        auto normal = [&](Float2 xy) { return Normalize(Float3{xy[0], xy[1], tilt}); };
        // The normal at a corner of edge k: shared with the neighbouring edge where the turn is gentle.
        auto corner = [&](std::size_t edge, std::size_t neighbour) {
            const Float2 &a = outward[edge], &b = outward[neighbour];
            if (a[0] * b[0] + a[1] * b[1] >= kSmoothCosine)
                return normal({a[0] + b[0], a[1] + b[1]});
            return normal(a);
        };
        const float total = std::max(along[n], 1e-6f), depth = layout.depth;
        const float v0 = (z0 + depth / 2) / depth, v1 = (z1 + depth / 2) / depth;
        for (std::size_t k = 0; k < n; ++k) {
            const std::size_t next = (k + 1) % n;
            const Float3 start = corner(k, (k + n - 1) % n), end = corner(k, next);
            const float u0 = along[k] / total, u1 = along[k + 1] / total;
            const std::uint32_t a = Vertex({near[k][0], near[k][1], z0}, start, {u0, v0});
            const std::uint32_t b = Vertex({near[next][0], near[next][1], z0}, end, {u1, v0});
            const std::uint32_t c = Vertex({far[k][0], far[k][1], z1}, start, {u0, v1});
            const std::uint32_t d = Vertex({far[next][0], far[next][1], z1}, end, {u1, v1});
            mesh.indices.insert(mesh.indices.end(), {a, b, c, b, d, c});
        }
    }

    MeshData& mesh;
    const TextLayout& layout;
    std::vector<std::uint32_t> faceVertices;
};

} // namespace

MeshData TextMesh(const FontFile& font, const std::string& utf8, const TextLayout& layout) {
    if (!(layout.size > 0) || !std::isfinite(layout.size))
        throw std::invalid_argument("size must be a positive number");
    if (!(layout.depth > 0) || !std::isfinite(layout.depth))
        throw std::invalid_argument("depth must be a positive number");
    if (!(layout.bevel >= 0) || !(layout.bevel < layout.depth / 2))
        throw std::invalid_argument("bevel must be at least 0 and less than half the depth");
    if (!(layout.lineSpacing > 0) || !std::isfinite(layout.lineSpacing))
        throw std::invalid_argument("lineSpacing must be a positive number");
    const std::vector<char32_t> text = DecodeUtf8(utf8);
    if (text.size() > kCharacterLimit)
        throw std::invalid_argument("a string may have at most " + std::to_string(kCharacterLimit) +
                                    " characters");

    const float scale = layout.size / static_cast<float>(font.UnitsPerEm());
    std::vector<std::vector<int>> lines(1);
    for (char32_t codepoint : text) {
        if (codepoint == U'\n') {
            lines.emplace_back();
            continue;
        }
        const int glyph = font.Glyph(codepoint);
        if (glyph == 0) {
            char name[16];
            std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(codepoint));
            throw std::invalid_argument(std::string("the font has no letter for ") + name);
        }
        lines.back().push_back(glyph);
    }

    MeshData mesh;
    Builder builder(mesh, layout);
    std::map<int, Letter> letters;
    for (std::size_t line = 0; line < lines.size(); ++line) {
        const std::vector<int>& glyphs = lines[line];
        std::vector<int> pen(glyphs.size() + 1, 0);
        for (std::size_t i = 0; i < glyphs.size(); ++i)
            pen[i + 1] =
                pen[i] + font.Advance(glyphs[i]) +
                (layout.kerning && i + 1 < glyphs.size() ? font.Kerning(glyphs[i], glyphs[i + 1]) : 0);
        const float width = static_cast<float>(pen.back()) * scale;
        const float start = layout.align == TextAlign::Left     ? 0
                            : layout.align == TextAlign::Centre ? -width / 2
                                                                : -width;
        const float y = -static_cast<float>(line) * font.LineHeight() * scale * layout.lineSpacing;
        for (std::size_t i = 0; i < glyphs.size(); ++i) {
            auto found = letters.find(glyphs[i]);
            if (found == letters.end())
                found = letters.emplace(glyphs[i], MakeLetter(font, glyphs[i], scale)).first;
            builder.AddLetter(found->second, start + static_cast<float>(pen[i]) * scale, y);
        }
    }
    if (mesh.indices.empty())
        throw std::invalid_argument("the string has nothing to draw");
    builder.MapFaces();
    return mesh;
}

} // namespace quorvel::content
