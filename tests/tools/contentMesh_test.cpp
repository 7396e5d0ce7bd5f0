// The mesh generators' geometry, and .tvo output read back by the engine's own mesh reader.
#include "content/content.h"

#include "resources/tvoReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

using namespace quorvel::content;

namespace {

Float3 Sub(const Float3& a, const Float3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Float3 CrossOf(const Float3& a, const Float3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
float DotOf(const Float3& a, const Float3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// Streams of one length, whole triangles, indices in range, no triangle without area, texture
// coordinates in 0..1, and every triangle wound clockwise seen from the side its normals point to,
// which for these axes means cross(b - a, c - a) along the normals. `inside`, when given, returns a
// point inside the surface behind the triangle with the given centroid.
void CheckSurface(const std::string& name, const MeshData& mesh,
                  const std::function<Float3(const Float3&)>& inside = nullptr) {
    SCOPED_TRACE(name);
    ASSERT_EQ(mesh.normals.size(), mesh.positions.size());
    ASSERT_EQ(mesh.texCoords.size(), mesh.positions.size());
    ASSERT_FALSE(mesh.indices.empty());
    ASSERT_EQ(mesh.indices.size() % 3, 0u);
    for (std::uint32_t index : mesh.indices)
        ASSERT_LT(index, mesh.positions.size());
    for (const Float2& uv : mesh.texCoords)
        for (float value : uv)
            ASSERT_TRUE(value >= 0.0f && value <= 1.0f) << value;
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        const std::uint32_t a = mesh.indices[i], b = mesh.indices[i + 1], c = mesh.indices[i + 2];
        const Float3 winding =
            CrossOf(Sub(mesh.positions[b], mesh.positions[a]), Sub(mesh.positions[c], mesh.positions[a]));
        ASSERT_GT(std::sqrt(DotOf(winding, winding)), 1e-6f) << "triangle " << i / 3 << " has no area";
        for (std::uint32_t corner : {a, b, c})
            ASSERT_GT(DotOf(winding, mesh.normals[corner]), 0.0f)
                << "triangle " << i / 3 << " corner " << corner;
        if (inside) {
            Float3 centroid{};
            for (std::uint32_t corner : {a, b, c})
                for (int axis = 0; axis < 3; ++axis)
                    centroid[axis] += mesh.positions[corner][axis] / 3;
            ASSERT_GT(DotOf(winding, Sub(centroid, inside(centroid))), 0.0f)
                << "triangle " << i / 3 << " faces in";
        }
    }
}

// Two-sided surfaces: as many triangles face -Z (the front) as +Z.
void CheckTwoSided(const std::string& name, const MeshData& mesh) {
    SCOPED_TRACE(name);
    int front = 0, back = 0;
    for (std::size_t i = 0; i < mesh.indices.size(); i += 3) {
        const float z = mesh.normals[mesh.indices[i]][2];
        front += z < 0;
        back += z > 0;
    }
    EXPECT_GT(front, 0);
    EXPECT_EQ(front, back);
    EXPECT_EQ(front + back, static_cast<int>(mesh.indices.size() / 3));
}

} // namespace

TEST(ContentGenerators, ClosedSurfacesFaceOutward) {
    const auto centre = [](const Float3&) { return Float3{0, 0, 0}; };
    CheckSurface("box", Box({2, 1, 3}), centre);
    CheckSurface("sphere", Sphere(1.5f, 12, 7), centre);
    CheckSurface("two-ring sphere", Sphere(1, 3, 2), centre);
    const auto axis = [](const Float3&) { return Float3{0, 1, 0}; };
    CheckSurface("capped cylinder", Cylinder(0.5f, 2, 9, true), axis);
    // Seen from the axis at its own height, each side triangle of the open tube faces away.
    const MeshData tube = Cylinder(0.5f, 2, 9, false);
    CheckSurface("tube", tube, [](const Float3& p) { return Float3{0, p[1], 0}; });
    EXPECT_EQ(tube.indices.size(), 9u * 6);
}

TEST(ContentGenerators, FlatSurfacesFaceTheirStatedSides) {
    const MeshData grid = Grid(4, 2, 3, 2);
    CheckSurface("grid", grid);
    EXPECT_EQ(grid.positions.size(), 12u);
    for (const Float3& n : grid.normals)
        EXPECT_EQ(n, (Float3{0, 1, 0}));

    const MeshData quad = ScreenQuad();
    CheckSurface("screen quad", quad);
    for (const Float3& n : quad.normals)
        EXPECT_EQ(n, (Float3{0, 0, -1}));
    for (const Float3& p : quad.positions)
        EXPECT_TRUE(std::fabs(p[0]) == 1 && std::fabs(p[1]) == 1 && p[2] == 0);

    const MeshData leaf = Leaf(2, 0.8f, 6);
    CheckSurface("leaf", leaf);
    CheckTwoSided("leaf", leaf);
    const MeshData blade = GrassBlade(1, 0.1f, 4, 0.3f);
    CheckSurface("grass blade", blade);
    CheckTwoSided("grass blade", blade);
    CheckSurface("one-segment blade", GrassBlade(1, 0.1f, 1, -0.2f));
    for (const Float3& p : blade.positions)
        EXPECT_TRUE(p[1] >= 0 && p[1] <= 1 && p[2] >= 0 && p[2] <= 0.3f);
}

TEST(ContentGenerators, RejectArgumentsThatMakeNoSurface) {
    EXPECT_THROW(Box({1, 0, 1}), std::invalid_argument);
    EXPECT_THROW(Sphere(1, 8, 1), std::invalid_argument);
    EXPECT_THROW(Cylinder(1, 1, 2, true), std::invalid_argument);
    EXPECT_THROW(Leaf(1, std::nanf(""), 4), std::invalid_argument);
    EXPECT_THROW(Grid(1, 1, 100000, 100000), std::invalid_argument);
}

namespace {

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The index-size field the file itself stores, before the reader narrows or widens anything.
std::int32_t StoredIndexSize(const std::vector<std::uint8_t>& bytes) {
    const engine::gfx::TVOData data = engine::gfx::ParseTVO(bytes, "mesh.tvo");
    for (const engine::gfx::TVOChunk& chunk : data.chunks)
        if (chunk.type == engine::gfx::IndexChunk)
            return bytes[chunk.offset + 8] | bytes[chunk.offset + 9] << 8;
    return 0;
}

// A strip of triangles over `vertices` vertices along X, its last triangle using the last vertex.
MeshData Strip(std::size_t vertices) {
    MeshData mesh;
    for (std::size_t i = 0; i < vertices; ++i) {
        mesh.positions.push_back({static_cast<float>(i / 2), static_cast<float>(i % 2), 0});
        mesh.normals.push_back({0, 0, -1});
    }
    const auto last = static_cast<std::uint32_t>(vertices - 1);
    mesh.indices = {0, 1, 2, last - 2, last - 1, last};
    return mesh;
}

} // namespace

TEST(ContentTvo, ReadsBackThroughTheEngineReader) {
    const auto path = std::filesystem::temp_directory_path() / "quorvel_content_test" / "cylinder.tvo";
    const MeshData mesh = Cylinder(0.5f, 2, 8, true);
    WriteTvo(mesh, 3, {"data/bark.png", "data/moss.png"}, path);
    const std::vector<std::uint8_t> bytes = ReadBytes(path);
    EXPECT_EQ(bytes, EncodeTvo(mesh, 3, {"data/bark.png", "data/moss.png"}));
    EXPECT_EQ(EncodeTvo(Cylinder(0.5f, 2, 8, true), 3, {"data/bark.png", "data/moss.png"}), bytes)
        << "two runs must give the same bytes";

    const engine::gfx::TVOData data = engine::gfx::ReadTVOFile(path.wstring());
    EXPECT_EQ(data.builtinEffect, 3);
    EXPECT_EQ(data.textureNames, (std::vector<std::string>{"data/bark.png", "data/moss.png"}));
    ASSERT_TRUE(data.positions && data.normals && data.texCoords);
    ASSERT_EQ(data.VertexCount(), static_cast<int>(mesh.positions.size()));
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        const auto& p = (*data.positions)[i];
        const auto& n = (*data.normals)[i];
        const auto& t = (*data.texCoords)[i];
        ASSERT_EQ((Float3{p.x, p.y, p.z}), mesh.positions[i]);
        ASSERT_EQ((Float3{n.x, n.y, n.z}), mesh.normals[i]);
        ASSERT_EQ((Float2{t.u, t.v}), mesh.texCoords[i]);
    }
    ASSERT_EQ(data.indexCount, static_cast<int>(mesh.indices.size()));
    for (int i = 0; i < data.indexCount; ++i)
        ASSERT_EQ(data.Index(i), mesh.indices[i]);
    EXPECT_EQ(StoredIndexSize(bytes), 2);
    EXPECT_FLOAT_EQ(data.extents[0].x, -0.5f);
    EXPECT_FLOAT_EQ(data.extents[0].y, 0.0f);
    EXPECT_FLOAT_EQ(data.extents[1].y, 2.0f);
    EXPECT_FLOAT_EQ(data.extents[1].z, 0.5f);
    std::filesystem::remove_all(path.parent_path());
}

TEST(ContentTvo, WidensIndicesOnlyPastWhatSixteenBitsAddress) {
    const std::vector<std::uint8_t> narrow = EncodeTvo(Strip(65536), 1, {});
    EXPECT_EQ(StoredIndexSize(narrow), 2);
    const std::vector<std::uint8_t> wide = EncodeTvo(Strip(65537), 1, {});
    EXPECT_EQ(StoredIndexSize(wide), 4);
    const engine::gfx::TVOData data = engine::gfx::ParseTVO(wide, "wide.tvo");
    EXPECT_EQ(data.Index(5), 65536u);
    EXPECT_FALSE(data.texCoords) << "no texture-coordinate chunk for a mesh without them";
}

TEST(ContentTvo, RefusesMeshesTheEngineWouldMisread) {
    MeshData mesh = Strip(4);
    mesh.indices.back() = 4;
    EXPECT_THROW(EncodeTvo(mesh, 1, {}), std::invalid_argument);
    mesh = Strip(4);
    mesh.texCoords = {{0, 0}};
    EXPECT_THROW(EncodeTvo(mesh, 1, {}), std::invalid_argument);
    EXPECT_THROW(EncodeTvo(Strip(4), 4, {}), std::invalid_argument);
}
