#include "formats/tvoWriter.h"

namespace quorvel::formats {

namespace {
constexpr std::int32_t kMaterial = 1, kExtents = 2, kPositions = 3, kIndices = 4, kNormals = 5,
                       kTexCoords = 6, kEnd = 9;
} // namespace

TVOWriter::TVOWriter(const std::string& magic) {
    out.Chars(magic);
}

void TVOWriter::Material(std::int32_t builtinEffect, const std::vector<std::string>& textureNames) {
    std::size_t size = 8;
    for (const std::string& name : textureNames)
        size += 4 + name.size() + 1;
    ChunkHeader(kMaterial, static_cast<std::int32_t>(size));
    out.I32(builtinEffect);
    out.I32(static_cast<std::int32_t>(textureNames.size()));
    for (const std::string& name : textureNames) {
        out.I32(static_cast<std::int32_t>(name.size() + 1));
        out.Chars(name);
        out.U8(0);
    }
}

void TVOWriter::Extents(const Float3& min, const Float3& max) {
    ChunkHeader(kExtents, 24);
    for (float value : min)
        out.F32(value);
    for (float value : max)
        out.F32(value);
}

void TVOWriter::Positions(const std::vector<Float3>& positions) {
    Vectors(kPositions, positions);
}

void TVOWriter::Normals(const std::vector<Float3>& normals) {
    Vectors(kNormals, normals);
}

void TVOWriter::TexCoords(const std::vector<Float2>& texCoords) {
    ChunkHeader(kTexCoords, static_cast<std::int32_t>(texCoords.size() * 8));
    for (const Float2& record : texCoords) {
        out.F32(record[0]);
        out.F32(record[1]);
    }
}

void TVOWriter::Indices(std::int32_t indexSize, const std::vector<std::uint32_t>& indices) {
    ChunkHeader(kIndices, static_cast<std::int32_t>(4 + indices.size() * indexSize));
    out.I32(indexSize);
    for (std::uint32_t index : indices) {
        if (indexSize == 2)
            out.U16(static_cast<std::uint16_t>(index));
        else
            out.U32(index);
    }
}

void TVOWriter::End() {
    out.I32(kEnd);
}

void TVOWriter::ChunkHeader(std::int32_t type, std::int32_t size) {
    out.I32(type);
    out.I32(size);
}

void TVOWriter::Vectors(std::int32_t type, const std::vector<Float3>& records) {
    ChunkHeader(type, static_cast<std::int32_t>(records.size() * 12));
    for (const Float3& record : records)
        for (float value : record)
            out.F32(value);
}

} // namespace quorvel::formats
