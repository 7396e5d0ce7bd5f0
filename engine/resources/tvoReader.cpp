#include "resources/tvoReader.h"

#include "core/logging.h"
#include "core/textConversion.h"
#include "resources/byteReader.h"
#include "resources/dataPaths.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace engine::gfx {

using core::ByteReader;
using core::DecodeFloat;
using core::DecodeInt;

namespace {

constexpr char kMagic[4] = {'T', 'L', 'V', 'O'};
// One name per material texture slot.
constexpr std::size_t kMaxTextureNames = 7;
constexpr std::int32_t kMaxBuiltinEffect = 3;
// From this many indices on, 16 bits cannot address every vertex an index list may use.
constexpr std::size_t kWideIndexCount = 65536;

const char* ChunkName(std::int32_t type) {
    switch (type) {
    case MaterialChunk:
        return "material";
    case ExtentsChunk:
        return "extents";
    case PositionChunk:
        return "position";
    case IndexChunk:
        return "index";
    case NormalChunk:
        return "normal";
    case TexCoordChunk:
        return "texture-coordinate";
    default:
        return nullptr;
    }
}

class TVOParser {
public:
    TVOParser(std::span<const std::uint8_t> bytes, const std::string& name) : reader(bytes, name) {}

    TVOData Parse() {
        const std::uint8_t* magic = reader.Left() >= 4 ? reader.Take(4, "the magic") : nullptr;
        if (magic == nullptr || std::memcmp(magic, kMagic, sizeof kMagic) != 0)
            LOG_ERROR(reader.FileName() + " is not a .tvo mesh");
        while (!ReadChunk()) {
        }
        CheckRecordCounts();
        CheckIndexRange();
        return std::move(data);
    }

private:
    // Returns true once the end chunk is read.
    bool ReadChunk() {
        const std::size_t offset = reader.Offset();
        if (reader.Left() < 4)
            reader.Fail("file ends at byte " + std::to_string(offset + reader.Left()) +
                        " before its end chunk");
        const std::int32_t type = reader.ReadInt("the chunk type");
        data.chunks.push_back({type, offset});
        const char* name = ChunkName(type);
        chunk = name != nullptr ? std::string("the ") + name + " chunk"
                                : "the chunk of type " + std::to_string(type);
        chunk += " at byte " + std::to_string(offset);
        reader.SetContext(chunk);
        switch (type) {
        case MaterialChunk:
            ReadMaterial();
            break;
        case ExtentsChunk:
            ReadExtents();
            break;
        case PositionChunk:
            data.positions = ReadVectors();
            break;
        case NormalChunk:
            data.normals = ReadVectors();
            break;
        case TexCoordChunk:
            ReadTexCoords();
            break;
        case IndexChunk:
            ReadIndices();
            break;
        case EndChunk:
            return true;
        default:
            reader.Take(ReadSize(), "the contents");
        }
        return false;
    }

    std::size_t ReadSize() {
        const std::int32_t size = reader.ReadInt("the size field");
        if (size < 0)
            reader.Fail("negative size " + std::to_string(size) + " of " + chunk);
        return static_cast<std::size_t>(size);
    }

    // A remainder would leave the next chunk to be read from the middle of a record.
    std::size_t ReadRecordBytes(std::size_t recordSize) {
        const std::size_t size = ReadSize();
        if (size % recordSize != 0)
            reader.Fail("size " + std::to_string(size) + " of " + chunk + " is not a multiple of " +
                        std::to_string(recordSize));
        return size;
    }

    void ReadMaterial() {
        reader.ReadInt("the size field"); // the contents are parsed field by field
        const std::int32_t key = reader.ReadInt("the built-in effect key");
        if (key < 0 || key > kMaxBuiltinEffect)
            reader.Fail("built-in effect key " + std::to_string(key) + " of " + chunk + " is outside 0-3");
        data.builtinEffect = key;
        // A name takes at least its length field and the terminating byte.
        const std::size_t count =
            reader.CheckCount(reader.ReadInt("the texture count"), 5, "the texture count");
        if (data.textureNames.size() + count > kMaxTextureNames)
            reader.Fail("more than seven texture names (" + std::to_string(data.textureNames.size() + count) +
                        ") in " + chunk);
        for (std::size_t i = 0; i < count; ++i) {
            const std::int32_t length = reader.ReadInt("the length of a texture name");
            // The length counts one terminating byte, which is dropped whatever its value.
            if (length < 1)
                reader.Fail("texture name length " + std::to_string(length) + " in " + chunk + " is below 1");
            const auto* text = reinterpret_cast<const char*>(reader.Take(length, "a texture name"));
            std::string name(text, static_cast<std::size_t>(length - 1));
            if (!core::LiesInDataFolder(name))
                reader.Fail("texture name \"" + name + "\" in " + chunk + " lies outside the data folder");
            data.textureNames.push_back(std::move(name));
        }
    }

    void ReadExtents() {
        reader.ReadInt("the size field"); // always six floats, whatever the field says
        const std::uint8_t* p = reader.Take(24, "the extents");
        for (math::Vector3f& corner : data.extents) {
            corner.Assign(DecodeFloat(p), DecodeFloat(p + 4), DecodeFloat(p + 8));
            p += 12;
        }
    }

    // Before the records are taken or stored: a mesh past the budget costs no allocation of its size.
    void CheckVertexBudget(std::size_t records) const {
        if (records > kMaxMeshVertices)
            reader.Fail(chunk + " holds " + std::to_string(records) + " vertices, more than the " +
                        std::to_string(kMaxMeshVertices) + " one mesh may hold");
    }

    std::vector<math::Vector3f> ReadVectors() {
        const std::size_t size = ReadRecordBytes(12);
        CheckVertexBudget(size / 12);
        const std::uint8_t* p = reader.Take(size, "the records");
        std::vector<math::Vector3f> records;
        records.reserve(size / 12);
        for (std::size_t i = 0; i < size; i += 12)
            records.emplace_back(DecodeFloat(p + i), DecodeFloat(p + i + 4), DecodeFloat(p + i + 8));
        return records;
    }

    void ReadTexCoords() {
        const std::size_t size = ReadRecordBytes(8);
        CheckVertexBudget(size / 8);
        const std::uint8_t* p = reader.Take(size, "the records");
        std::vector<TVOTexCoord> records;
        records.reserve(size / 8);
        for (std::size_t i = 0; i < size; i += 8)
            records.push_back({DecodeFloat(p + i), DecodeFloat(p + i + 4)});
        data.texCoords = std::move(records);
    }

    void ReadIndices() {
        const std::size_t size = ReadSize();
        if (size < 4)
            reader.Fail("size " + std::to_string(size) + " of " + chunk +
                        " is smaller than its index-size field");
        const std::int32_t fileWidth = reader.ReadInt("the index size");
        if (fileWidth != 2 && fileWidth != 4)
            reader.Fail("index size " + std::to_string(fileWidth) + " of " + chunk + " is not 2 or 4");
        const std::size_t bytes = size - 4;
        if (bytes % fileWidth != 0)
            reader.Fail("size " + std::to_string(size) + " of " + chunk + " does not hold whole " +
                        std::to_string(fileWidth) + "-byte indices");
        const std::uint8_t* p = reader.Take(bytes, "the indices");
        const std::size_t count = bytes / fileWidth;

        std::vector<std::uint32_t> values(count);
        for (std::size_t i = 0; i < count; ++i)
            values[i] = fileWidth == 4 ? static_cast<std::uint32_t>(DecodeInt(p + 4 * i))
                                       : static_cast<std::uint32_t>(p[2 * i] | p[2 * i + 1] << 8);
        maxIndex = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
        // Narrowing keeps only what fits: a value above 65,535 keeps the list at 32 bits rather than
        // being cut to its low half.
        const int width = count >= kWideIndexCount || maxIndex > 0xFFFF ? 4 : 2;
        data.indexCount = static_cast<int>(count);
        data.indexSize = width;
        data.indices.assign(count * width, 0);
        for (std::size_t i = 0; i < count; ++i)
            for (int b = 0; b < width; ++b)
                data.indices[i * width + b] = static_cast<std::uint8_t>(values[i] >> (8 * b));
    }

    void CheckRecordCounts() {
        std::string counts;
        std::size_t first = 0;
        bool differ = false;
        const auto note = [&](const char* what, std::size_t count) {
            if (!counts.empty())
                differ = differ || count != first;
            else
                first = count;
            counts += (counts.empty() ? "" : ", ") + std::string(what) + " " + std::to_string(count);
        };
        if (data.positions)
            note("positions", data.positions->size());
        if (data.normals)
            note("normals", data.normals->size());
        if (data.texCoords)
            note("texture coordinates", data.texCoords->size());
        if (differ)
            reader.Fail("the position, normal and texture-coordinate chunks hold different record counts (" +
                        counts + ")");
    }

    void CheckIndexRange() {
        const auto vertexCount = static_cast<std::uint32_t>(data.VertexCount());
        if (data.indexCount == 0 || maxIndex < vertexCount)
            return;
        int i = 0;
        while (data.Index(i) < vertexCount)
            ++i;
        reader.Fail("index " + std::to_string(i) + " refers to vertex " + std::to_string(data.Index(i)) +
                    ", past the last of the " + std::to_string(vertexCount) + " vertices");
    }

    ByteReader reader;
    TVOData data;
    std::string chunk; // the chunk being read, for error messages
    std::uint32_t maxIndex = 0;
};

} // namespace

std::uint32_t TVOData::Index(int i) const {
    const std::uint8_t* p = indices.data() + static_cast<std::size_t>(i) * indexSize;
    return indexSize == 4 ? static_cast<std::uint32_t>(DecodeInt(p))
                          : static_cast<std::uint32_t>(p[0] | p[1] << 8);
}

TVOData ParseTVO(std::span<const std::uint8_t> bytes, const std::string& name) {
    return TVOParser(bytes, name).Parse();
}

TVOData ReadTVOFile(const std::wstring& path) {
    const std::string name = core::WideToNarrow(path);
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(name, error);
    if (!error && size > kMaxMeshFileBytes)
        LOG_ERROR(name + ": the mesh file is " + std::to_string(size) + " bytes, more than the " +
                  std::to_string(kMaxMeshFileBytes) + " one mesh may take");
    std::vector<std::uint8_t> bytes;
    if (!core::LoadFileBytes(name, bytes))
        LOG_ERROR(name + " mesh not found");
    return ParseTVO(bytes, name);
}

} // namespace engine::gfx
