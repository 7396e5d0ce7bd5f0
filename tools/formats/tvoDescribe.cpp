#include "formats/tvoDescribe.h"

#include "formats/describeSupport.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <sstream>

namespace quorvel::formats {

namespace {

constexpr std::size_t kIndicesPerLine = 16;
constexpr std::size_t kMaxTextureNames = 7;
enum RecordKind { kPositions, kNormals, kTexCoords };
const char* const kRecordNames[] = {"positions", "normals", "texture coordinates"};

std::string EffectName(std::int32_t key) {
    switch (key) {
    case 0:
        return "the material script next to the mesh";
    case 1:
        return "built-in ambient";
    case 2:
        return "built-in wireframe";
    case 3:
        return "built-in diffuse";
    default:
        return "key " + std::to_string(key) + ", outside 0-3";
    }
}

class TVODescriber {
public:
    explicit TVODescriber(std::span<const std::uint8_t> bytes) : cursor(bytes) {
        out << ".tvo mesh, " << bytes.size() << " bytes\n";
    }

    std::string Run() {
        try {
            const auto magic = cursor.Take(4, "the magic");
            if (std::memcmp(magic.data(), "TLVO", 4) != 0)
                throw std::out_of_range("the magic is not \"TLVO\"");
            while (Chunk()) {
            }
            CheckVertices();
            if (cursor.Left() > 0)
                out << cursor.Left() << " bytes after the end chunk, not read\n";
        } catch (const std::out_of_range& broken) {
            out << (out.str().ends_with('\n') ? "! " : "\n! ") << broken.what() << '\n';
        }
        return out.str();
    }

private:
    // Describes one chunk; false after the end chunk.
    bool Chunk() {
        if (cursor.Left() == 0)
            throw std::out_of_range("file ends at byte " + std::to_string(cursor.Offset()) +
                                    " before its end chunk");
        out << '@' << cursor.Offset() << ' ';
        const std::int32_t type = cursor.I32("the chunk type");
        switch (type) {
        case 1:
            Material();
            break;
        case 2:
            Extents();
            break;
        case 3:
            Vectors("position chunk", kPositions);
            break;
        case 4:
            Indices();
            break;
        case 5:
            Vectors("normal chunk", kNormals);
            break;
        case 6:
            TexCoords();
            break;
        case 9:
            out << "end chunk\n";
            return false;
        default:
            Skipped(type);
        }
        return true;
    }

    // chunk names the chunk, as in "position chunk".
    std::int32_t Size(const std::string& chunk) {
        const std::int32_t size = cursor.I32("the size of the " + chunk);
        out << chunk << ", size " << size;
        if (size < 0)
            throw std::out_of_range("negative size");
        return size;
    }

    std::size_t RecordBytes(const std::string& chunk, std::size_t recordSize) {
        const auto size = static_cast<std::size_t>(Size(chunk));
        if (size % recordSize != 0)
            throw std::out_of_range("size " + std::to_string(size) + " is not a multiple of " +
                                    std::to_string(recordSize));
        out << ": " << size / recordSize << " records\n";
        return size;
    }

    void Material() {
        out << "material chunk, size " << cursor.I32("the size of the material chunk");
        const std::int32_t key = cursor.I32("the built-in effect key");
        out << ": " << EffectName(key);
        const std::int32_t count = cursor.I32("the texture count");
        out << ", " << count << " texture names\n";
        if (key < 0 || key > 3)
            throw std::out_of_range("built-in effect key " + std::to_string(key) + " is outside 0-3");
        if (count < 0)
            throw std::out_of_range("negative texture count");
        textureNames += count;
        if (textureNames > kMaxTextureNames)
            throw std::out_of_range("more than seven texture names (" + std::to_string(textureNames) + ")");
        for (std::int32_t i = 0; i < count; ++i) {
            const std::string name = cursor.String("texture name " + std::to_string(i));
            if (name.empty())
                throw std::out_of_range("texture name " + std::to_string(i) + " has length 0, below 1");
            out << "    texture " << i << ": \"" << name.substr(0, name.size() - 1) << "\"\n";
        }
    }

    void Extents() {
        out << "extents chunk, size " << cursor.I32("the size of the extents chunk");
        float v[6];
        for (float& value : v)
            value = cursor.F32("the extents");
        out << ": " << FormatFloats({v[0], v[1], v[2]}) << " to " << FormatFloats({v[3], v[4], v[5]}) << '\n';
    }

    void Vectors(const std::string& chunk, int kind) {
        const std::size_t size = RecordBytes(chunk, 12);
        records[kind] = size / 12;
        for (std::size_t i = 0; i < size / 12; ++i) {
            const float x = cursor.F32("the records"), y = cursor.F32("the records"),
                        z = cursor.F32("the records");
            out << "    " << i << ": " << FormatFloats({x, y, z}) << '\n';
        }
    }

    void TexCoords() {
        const std::size_t size = RecordBytes("texture-coordinate chunk", 8);
        records[kTexCoords] = size / 8;
        for (std::size_t i = 0; i < size / 8; ++i) {
            const float u = cursor.F32("the records"), v = cursor.F32("the records");
            out << "    " << i << ": " << FormatFloats({u, v}) << '\n';
        }
    }

    void Indices() {
        const std::int32_t size = Size("index chunk");
        if (size < 4)
            throw std::out_of_range("size below the 4-byte index-size field");
        const std::int32_t width = cursor.I32("the index size");
        if (width != 2 && width != 4)
            throw std::out_of_range("index size " + std::to_string(width) + " is not 2 or 4");
        if ((size - 4) % width != 0)
            throw std::out_of_range("size does not hold whole " + std::to_string(width) + "-byte indices");
        const std::size_t count = static_cast<std::size_t>(size - 4) / width;
        out << ": " << count << " indices of " << width << " bytes";
        indexCount = count;
        maxIndex = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint32_t index = width == 4 ? cursor.U32("the indices") : cursor.U16("the indices");
            maxIndex = std::max(maxIndex, index);
            out << (i % kIndicesPerLine == 0 ? "\n    " : " ") << index;
        }
        out << '\n';
    }

    void Skipped(std::int32_t type) {
        const std::string chunk = "chunk of type " + std::to_string(type);
        const auto size = static_cast<std::size_t>(Size(chunk));
        cursor.Take(size, "the contents of the " + chunk);
        out << ": skipped\n";
    }

    // What the engine checks once the whole mesh is read: one record per vertex in every data chunk,
    // and indices below the vertex count.
    void CheckVertices() const {
        std::string counts;
        std::optional<std::size_t> first;
        bool differ = false;
        for (int kind : {kPositions, kNormals, kTexCoords}) {
            if (!records[kind])
                continue;
            first = first.value_or(*records[kind]);
            differ = differ || *records[kind] != *first;
            counts += (counts.empty() ? "" : ", ") + std::string(kRecordNames[kind]) + " " +
                      std::to_string(*records[kind]);
        }
        if (differ)
            throw std::out_of_range("the data chunks hold different record counts (" + counts + ")");
        const std::size_t vertices = records[kPositions].value_or(0);
        if (indexCount > 0 && maxIndex >= vertices)
            throw std::out_of_range("an index refers to vertex " + std::to_string(maxIndex) +
                                    ", past the last of the " + std::to_string(vertices) + " vertices");
    }

    ByteCursor cursor;
    std::ostringstream out;
    std::size_t textureNames = 0;
    std::optional<std::size_t> records[3];
    std::size_t indexCount = 0;
    std::uint32_t maxIndex = 0;
};

} // namespace

std::string DescribeTVO(std::span<const std::uint8_t> bytes) {
    return TVODescriber(bytes).Run();
}

} // namespace quorvel::formats
