// The content compiler's building blocks: meshes made by generators or imported from Wavefront OBJ
// files, written as .tvo, and textures made from short descriptions, written as PNG. Everything here is
// deterministic: the same arguments give the same bytes on every run and every machine.
#pragma once

#include "formats/tvoWriter.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quorvel::content {

using formats::Float2;
using formats::Float3;

// Triangles with one normal and one texture coordinate per vertex. Generators fill every stream;
// an imported mesh may lack texture coordinates (empty vector), never normals.
struct MeshData {
    std::vector<Float3> positions;
    std::vector<Float3> normals;
    std::vector<Float2> texCoords;
    std::vector<std::uint32_t> indices;
};

// Generators. Sizes are full edge lengths, centred on the origin unless said otherwise; normals point
// outward; texture coordinates run 0..1 over each face or along the surface.
// Front faces run clockwise seen from their front, as the engine culls. A size that is not a positive
// number, or a count outside its range (at least 1, 3 around a circle, 2 rings or leaf segments; at
// most 1024), throws std::invalid_argument.
MeshData Box(Float3 size);
// A flat grid in the XZ plane facing +Y, segmentsX x segmentsZ quads.
MeshData Grid(float width, float depth, int segmentsX, int segmentsZ);
// Around the Y axis from y = 0 to y = height; an open tube when caps is false.
MeshData Cylinder(float radius, float height, int segments, bool caps);
MeshData Sphere(float radius, int segments, int rings);
// A leaf in the XY plane growing along +Y from the origin, both faces, slightly cupped.
MeshData Leaf(float length, float width, int segments);
// A tapering grass blade growing along +Y from the origin, both faces, bending towards +Z by `bend`.
MeshData GrassBlade(float height, float width, int segments, float bend);
// Two triangles covering x, y in -1..1 at z = 0, facing -Z (towards a camera looking down +Z).
MeshData ScreenQuad();

// A file the importer could not read: where and why. line is 0 where the reader does not know it.
struct ImportError {
    std::string file;
    int line = 0;
    std::string reason;
};

// Reads a Wavefront OBJ file: polygons become triangles, normals are computed where the file has
// none, each distinct position/normal/texcoord triple becomes one vertex. Returns false with `error`
// filled when the file cannot be used.
// Coordinates are taken as written, in the engine's axes. Computed normals are smooth (area-weighted
// per position) inside an OBJ smoothing group and flat where smoothing is off or never set. Groups and
// objects merge into one mesh; materials are ignored.
bool ImportObj(const std::filesystem::path& file, MeshData& mesh, ImportError& error);

// Writes a .tvo file: the material (built-in effect key and texture names), the extents, the streams
// and the indices, 16-bit when the vertex count allows it and 32-bit otherwise.
void WriteTvo(const MeshData& mesh, std::int32_t builtinEffect, const std::vector<std::string>& textureNames,
              const std::filesystem::path& file);
// The bytes WriteTvo writes. Both throw std::invalid_argument for a mesh the engine would refuse
// (streams of different lengths, an index past the vertices, values that are not finite numbers, an
// effect key outside 0-3, more than seven texture names); WriteTvo throws std::runtime_error when the
// file cannot be written.
std::vector<std::uint8_t> EncodeTvo(const MeshData& mesh, std::int32_t builtinEffect,
                                    const std::vector<std::string>& textureNames);

// RGBA, 8 bits a channel, top row first.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

// Colours are RGBA in 0..1.
using Colour = std::array<float, 4>;
// From `from` at the top (or left, when horizontal) to `to` at the bottom (or right).
Image Gradient(int width, int height, Colour from, Colour to, bool horizontal);
// Value noise of the given number of octaves between two colours, tileable, from a seed.
Image Noise(int width, int height, Colour dark, Colour light, int octaves, std::uint32_t seed);
Image Checker(int width, int height, int cells, Colour a, Colour b);
// A round sprite: `centre` colour fading to transparent black at the edge with the given falloff power.
Image GlowSprite(int size, Colour centre, float falloff);
// Writes a PNG through stb's image writer; returns false when the file cannot be written.
// Generators throw std::invalid_argument for a size outside 1-8192, octaves outside 1-10, cells outside
// 1 to the smaller side or a falloff that is not a positive number; EncodePng and WritePng for an image
// whose pixels do not match its size.
bool WritePng(const Image& image, const std::filesystem::path& file);
// The bytes WritePng writes.
std::vector<std::uint8_t> EncodePng(const Image& image);
// An image file (PNG, JPEG, BMP, TGA: what stb's reader takes) as RGBA. Throws std::invalid_argument
// naming the reason for bytes that are no picture or a size outside 1-8192.
Image DecodeImage(const std::vector<std::uint8_t>& bytes);

} // namespace quorvel::content
