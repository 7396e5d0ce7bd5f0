// The array modifier drawn by the real renderer on OpenGL, offscreen: one cube mesh file with the
// built-in Diffuse effect, repeated into a 10 x 10 grid by two offset objects, lit by a lamp. The
// picture must show a cube at every copy's place and match the stored reference within a tolerance.
//
// QUORVEL_UPDATE_REFERENCES=1 rewrites the reference picture from this run instead of comparing.
#include "formats/tvoWriter.h"
#include "math/operators.h"
#include "math/transforms.h"
#include "particles/arrayModifier.h"
#include "resources/TVOMesh.h"
#include "scene/geometry.h"
#include "scene/light.h"
#include "support/glRenderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <numbers>

using namespace quorvel::test;
using namespace engine::gfx;
using engine::core::ResourceManager;
using engine::math::Vector3f;
using quorvel::formats::Float2;
using quorvel::formats::Float3;

namespace fs = std::filesystem;

namespace {

constexpr int kSize = 160;
constexpr int kGrid = 10;
constexpr float kDepth = 16.0f;
constexpr gpu::Color kClear = 0xFF101820;
// Per channel, and how many pixels may differ by more: room for another rasteriser's rounding, far
// too little for a missing row of cubes, a wrong step or unlit normals.
constexpr int kChannelTolerance = 8;
constexpr int kAllowedDifferentPixels = kSize * kSize / 200;

// A cube of half-size h: per face four corners, clockwise seen from outside (the front winding the
// default culling keeps), with the face's normal and texture coordinates.
void WriteCube(const fs::path& path, float h) {
    std::vector<Float3> positions, normals;
    std::vector<Float2> texCoords;
    std::vector<std::uint32_t> indices;
    const Float3 faces[6][2] = {{{0, 0, -1}, {0, 1, 0}}, {{0, 0, 1}, {0, 1, 0}}, {{1, 0, 0}, {0, 1, 0}},
                                {{-1, 0, 0}, {0, 1, 0}}, {{0, 1, 0}, {0, 0, 1}}, {{0, -1, 0}, {0, 0, -1}}};
    for (const auto& [normal, up] : faces) {
        const Float3 right = {normal[1] * up[2] - normal[2] * up[1], normal[2] * up[0] - normal[0] * up[2],
                              normal[0] * up[1] - normal[1] * up[0]};
        const auto first = static_cast<std::uint32_t>(positions.size());
        const int corners[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
        for (const auto& [across, down] : corners) {
            Float3 corner;
            for (int axis = 0; axis < 3; ++axis)
                corner[axis] = h * (normal[axis] + across * right[axis] + down * up[axis]);
            positions.push_back(corner);
            normals.push_back(normal);
            texCoords.push_back({(across + 1) / 2.0f, (1 - down) / 2.0f});
        }
        indices.insert(indices.end(), {first, first + 1, first + 2, first, first + 2, first + 3});
    }
    quorvel::formats::TVOWriter writer;
    writer.Material(3, {});
    writer.Positions(positions);
    writer.Normals(normals);
    writer.TexCoords(texCoords);
    writer.Indices(2, indices);
    writer.End();
    writer.Save(path);
}

Transform Pose(Vector3f translation) {
    // Turned about x and y so that three faces of every cube face the camera in different light.
    Transform pose;
    pose.rotation = (engine::math::MatrixRotationAxis({1, 0, 0}, 0.5f) *
                     engine::math::MatrixRotationAxis({0, 1, 0}, 0.6f))
                        .GetRotation();
    pose.translation = translation;
    return pose;
}

class ArrayModifierGlTest : public GlRendererTest {
protected:
    ArrayModifierGlTest() : GlRendererTest(kSize, kSize, kClear, kSize) {}

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(GlRendererTest::SetUp());
        base = boost::make_shared<Node>(renderer.GetRootNode().get());
        renderer.AttachToRoot(base);
    }
    void TearDown() override {
        base.reset();
        GlRendererTest::TearDown();
    }

    boost::shared_ptr<Node> AddNode(Transform pose) {
        auto node = boost::make_shared<Node>(base.get());
        node->SetLocalTransform(pose);
        base->AddChild(node);
        return node;
    }

    boost::shared_ptr<Node> base;
};

TEST_F(ArrayModifierGlTest, AGridOfLitCubesFromOneMeshMatchesTheReferencePicture) {
    WriteCube("data/arrayCube.tvo", 0.35f);
    auto cube = ResourceManager::Get()->GetResource<TVOMesh>(L"data/arrayCube.tvo");
    ASSERT_TRUE(cube && cube->material);
    // Orange in the light, blue in the shade, on the material the copies borrow.
    std::ranges::copy(std::array{0.2f, 0.25f, 0.4f}, cube->material->ambientColor);
    std::ranges::copy(std::array{0.9f, 0.6f, 0.3f}, cube->material->diffuseColor);

    auto lamp = AddNode(Pose({-6, 8, 4}));
    lamp->AddChild(boost::make_shared<Light>(lamp.get()));
    const float corner = -(kGrid - 1) / 2.0f;
    auto object = AddNode(Pose({corner, corner, kDepth}));
    object->AddChild(boost::make_shared<Geometry>(cube, object.get()));
    // The offset objects lend only their poses: one step right, one step up, in the object's turn.
    auto right = AddNode(Pose({corner + 1, corner, kDepth}));
    right->AddChild(boost::make_shared<Geometry>(nullptr, right.get()));
    auto up = AddNode(Pose({corner, corner + 1, kDepth}));
    up->AddChild(boost::make_shared<Geometry>(nullptr, up.get()));

    engine::ArrayInfo info;
    info.object = object.get();
    for (Node* offset : {right.get(), up.get()}) {
        engine::ArrayEntry& entry = info.entries.emplace_back();
        entry.offsetObject = offset;
        entry.count = kGrid;
        entry.useObjectOffset = true;
    }
    ArrayModifierInfo record;
    ASSERT_TRUE(ConvertArrayInfo(info, record));
    up->AddChild(boost::make_shared<ArrayModifier>(record, up.get()));

    Frame();
    const Picture actual = ReadLastFrame();
    ASSERT_EQ(actual.rgba.size(), std::size_t(4) * kSize * kSize);

    // Every copy's centre is covered by its cube: x and y over z through the 45-degree projection.
    const float focal = 1.0f / std::tan(std::numbers::pi_v<float> / 8);
    for (int row = 0; row < kGrid; ++row)
        for (int column = 0; column < kGrid; ++column) {
            const float x = (corner + column) * focal / kDepth, y = (corner + row) * focal / kDepth;
            const int px = static_cast<int>((x + 1) / 2 * kSize), py = static_cast<int>((1 - y) / 2 * kSize);
            const std::uint8_t* pixel = &actual.rgba[(std::size_t(py) * kSize + px) * 4];
            EXPECT_FALSE(pixel[0] == ((kClear >> 16) & 0xFF) && pixel[1] == ((kClear >> 8) & 0xFF) &&
                         pixel[2] == (kClear & 0xFF))
                << "no cube at column " << column << ", row " << row;
        }

    ExpectMatchesReference(actual, fs::path(QUORVEL_ARRAY_TEST_DATA) / "arrayGrid.png", kChannelTolerance,
                           kAllowedDifferentPixels);

    const std::string text = log.CloseAndRead();
    EXPECT_TRUE(Rows(text, "WARNING").empty()) << text;
    EXPECT_TRUE(Rows(text, "ERROR").empty()) << text;
    EXPECT_EQ(text.find("GL error"), std::string::npos) << text;
}

} // namespace
