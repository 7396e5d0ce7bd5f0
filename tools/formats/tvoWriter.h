// Builds .tvo mesh files chunk by chunk: the well-formed chunks the mesh reader expects, and raw
// headers and bytes for deliberately broken files. Sizes are computed unless a test overrides them.
#pragma once

#include "formats/binaryWriter.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::formats {

using Float2 = std::array<float, 2>;
using Float3 = std::array<float, 3>;

class TVOWriter {
public:
    // Starts the file with the magic, "TLVO" unless a test wants another.
    explicit TVOWriter(const std::string& magic = "TLVO");

    // Each name is stored with a terminating zero byte counted in its length.
    void Material(std::int32_t builtinEffect, const std::vector<std::string>& textureNames);
    void Extents(const Float3& min, const Float3& max);
    void Positions(const std::vector<Float3>& positions);
    void Normals(const std::vector<Float3>& normals);
    void TexCoords(const std::vector<Float2>& texCoords);
    // indexSize 2 or 4: each value is written with that many low bytes.
    void Indices(std::int32_t indexSize, const std::vector<std::uint32_t>& indices);
    void End();

    // A chunk type and size field exactly as given, for chunks of unknown type or lying sizes; the
    // contents follow through Raw().
    void ChunkHeader(std::int32_t type, std::int32_t size);
    BinaryWriter& Raw() { return out; }

    const std::vector<std::uint8_t>& Data() const { return out.Data(); }
    void Save(const std::filesystem::path& path) const { out.Save(path); }

private:
    void Vectors(std::int32_t type, const std::vector<Float3>& records);

    BinaryWriter out;
};

} // namespace quorvel::formats
