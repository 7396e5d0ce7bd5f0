// Reads a .tvo mesh file into plain CPU-side records: the chunk reader of the mesh format with every
// field bounds-checked and validated. The mesh resource builds its material and device buffers from
// the result; the reader itself needs no device.
#pragma once

#include <engine/math.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace engine::gfx {

enum TVOChunkType : std::int32_t {
    MaterialChunk = 1,
    ExtentsChunk = 2,
    PositionChunk = 3,
    IndexChunk = 4,
    NormalChunk = 5,
    TexCoordChunk = 6,
    EndChunk = 9,
};

struct TVOChunk {
    std::int32_t type;
    std::size_t offset; // of the type field, from the start of the file
};

struct TVOTexCoord {
    float u, v;
};

struct TVOData {
    std::vector<TVOChunk> chunks;          // every chunk read, in file order, the end chunk last
    int builtinEffect = 0;                 // 0: the material script next to the mesh; 1-3: a built-in effect
    std::vector<std::string> textureNames; // paths inside the data folder
    math::Vector3f extents[2];
    // Absent (not merely empty) when the file has no chunk of that kind.
    std::optional<std::vector<math::Vector3f>> positions;
    std::optional<std::vector<math::Vector3f>> normals;
    std::optional<std::vector<TVOTexCoord>> texCoords;
    int indexCount = 0;
    // Bytes per stored index: 2 while every index fits in 16 bits and there are fewer than 65,536 of
    // them, else 4, whatever width the file used.
    int indexSize = 2;
    std::vector<std::uint8_t> indices; // indexCount * indexSize bytes, little-endian, as the buffer wants

    std::uint32_t Index(int i) const;
    int VertexCount() const { return positions ? static_cast<int>(positions->size()) : 0; }
};

// What one mesh may hold, checked before anything of that size is allocated: the vertex records a
// device buffer is made from (32 bytes a vertex with normals and texture coordinates: 128 MiB at the
// budget), and the file read whole to find them. The shipped meshes hold a few thousand vertices.
constexpr std::size_t kMaxMeshVertices = std::size_t{1} << 22;
constexpr std::uintmax_t kMaxMeshFileBytes = std::uintmax_t{256} << 20;

// Reads the mesh file at path. Every failure writes an ERROR row naming the file and throws.
TVOData ReadTVOFile(const std::wstring& path);
// The same on bytes already in memory; name is the file name the errors carry.
TVOData ParseTVO(std::span<const std::uint8_t> bytes, const std::string& name);

} // namespace engine::gfx
