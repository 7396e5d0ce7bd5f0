// The whole way from files to pixels on the real OpenGL device, offscreen: a scene file with an
// animated camera, a lamp, a lit textured mesh whose material script first offers a technique the
// device cannot validate, a mesh with the built-in Diffuse effect and a bloom object whose full-screen
// quads go through render targets and are composited back. The files are made by the format writers
// (and the shipped effects copied) into a temporary folder laid out like data/, loaded with the scene
// loader and drawn by the renderer with a fixed time step. The last frame must match the stored
// reference picture, and the log must hold the expected rows and no other warning or error.
//
// QUORVEL_UPDATE_REFERENCES=1 rewrites the reference picture from this run instead of comparing.
#include "formats/demoWriter.h"
#include "formats/tvoWriter.h"
#include "render/FXShader.h"
#include "resources/TVOMesh.h"
#include "scene/demoLoader.h"
#include "support/glRenderer.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace quorvel::test;
using namespace engine::gfx;
using engine::core::ResourceManager;
using engine::core::resources::RenderTargetTexture;
using quorvel::formats::DemoCurveRecord;
using quorvel::formats::DemoObjectRecord;
using quorvel::formats::DemoWriter;
using quorvel::formats::Float2;
using quorvel::formats::Float3;
using quorvel::formats::TVOWriter;

namespace fs = std::filesystem;

namespace {

// Square, so that "lastFrame" of the same size is an unscaled copy of the back buffer.
constexpr int kSize = 128;
constexpr int kFrames = 6;
// Per channel, and how many pixels may differ by more: room for another rasteriser's rounding, far
// too little for a missing or misplaced object, a wrong texture or a missing post-processing pass.
constexpr int kChannelTolerance = 8;
constexpr int kAllowedDifferentPixels = kSize * kSize / 200;

// The richer candidate of the crate's material: nine texture layers, one more than any device of
// ours has texture stages, so its technique never validates.
const char kDetailFx[] = R"(float4x4 WorldViewProjection : WorldViewProjection;
texture Layer0;
texture Layer1;
texture Layer2;
texture Layer3;
texture Layer4;
texture Layer5;
texture Layer6;
texture Layer7;
texture Layer8;

technique NineLayers { pass Layers { VertexShader = LayersVertex; FragmentShader = LayersFragment; } }

-- glsl LayersVertex
in vec3 POSITION;
in vec2 TEXCOORD0;
out vec2 uv;
void main()
{
    uv = TEXCOORD0;
    gl_Position = WorldViewProjection * vec4(POSITION, 1.0);
}

-- glsl LayersFragment
in vec2 uv;
out vec4 colour;
void main()
{
    colour = (texture(Layer0, uv) + texture(Layer1, uv) + texture(Layer2, uv) + texture(Layer3, uv) +
              texture(Layer4, uv) + texture(Layer5, uv) + texture(Layer6, uv) + texture(Layer7, uv) +
              texture(Layer8, uv)) / 9.0;
}
)";

// Listed first and with the higher priority: the nine-layer material; then the lit textured one.
const char kCrateEfx[] = R"(effect = {
    { priority = 2, pass = {
        { priority = 100, fx = "detail", tec = "NineLayers",
          params = { { "tex", "Layer0", "tex0" } }, streams = { "pos", "tex" } } } },
    { priority = 1, pass = {
        { priority = 100, fx = "litTextured", tec = "Plain",
          params = { { "tex", "DiffuseMap", "tex0" }, { "float", "SpecularIntensity", 0.6 },
                     { "float4", "LightColor", { 1.3, 1.2, 1.1, 1 } } },
          streams = { "pos", "normal", "tex" } } } },
}
)";

const char kGlowEfx[] = R"(effect = {
    { priority = 1, pass = { { priority = 100, fx = "postprocess", tec = "Bloom", params = {}, streams = { "pos" } } } },
}
)";

const char kSceneFolder[] = "data/e2e.demo_scene";

void WriteText(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

// An RGB picture of two colours in squares (stripes when `stripes`) of `cell` pixels.
void WritePattern(const fs::path& path, int size, int cell, bool stripes, std::array<std::uint8_t, 3> a,
                  std::array<std::uint8_t, 3> b) {
    std::vector<std::uint8_t> rgb;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const bool first = stripes ? (x / cell) % 2 == 0 : (x / cell + y / cell) % 2 == 0;
            const auto& colour = first ? a : b;
            rgb.insert(rgb.end(), colour.begin(), colour.end());
        }
    ASSERT_NE(stbi_write_png(path.c_str(), size, size, 3, rgb.data(), size * 3), 0) << path;
}

Float3 Add(Float3 a, Float3 b, float scale) {
    return {a[0] + b[0] * scale, a[1] + b[1] * scale, a[2] + b[2] * scale};
}

// Geometry with a normal and texture coordinates per vertex and 16-bit indices.
struct MeshData {
    std::vector<Float3> positions, normals;
    std::vector<Float2> texCoords;
    std::vector<std::uint32_t> indices;

    // A square of half-size h centred at `centre`, facing `normal`, seen upright along `up`. Its
    // corners go top-left, top-right, bottom-right, bottom-left as seen from the front, which is
    // clockwise, the front winding that the default culling keeps.
    void Face(Float3 centre, Float3 normal, Float3 up, float h) {
        const Float3 right = {normal[1] * up[2] - normal[2] * up[1], normal[2] * up[0] - normal[0] * up[2],
                              normal[0] * up[1] - normal[1] * up[0]};
        const auto base = static_cast<std::uint32_t>(positions.size());
        const float corners[4][2] = {{-1, 1}, {1, 1}, {1, -1}, {-1, -1}};
        for (const auto& corner : corners) {
            positions.push_back(Add(Add(centre, right, corner[0] * h), up, corner[1] * h));
            normals.push_back(normal);
            texCoords.push_back({(corner[0] + 1) / 2, (1 - corner[1]) / 2});
        }
        indices.insert(indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }

    void Save(const fs::path& path, std::int32_t builtinEffect, const std::vector<std::string>& textures) {
        TVOWriter writer;
        writer.Material(builtinEffect, textures);
        writer.Positions(positions);
        writer.Normals(normals);
        writer.TexCoords(texCoords);
        writer.Indices(2, indices);
        writer.End();
        writer.Save(path);
    }
};

MeshData Cube(float h) {
    MeshData cube;
    cube.Face({0, 0, -h}, {0, 0, -1}, {0, 1, 0}, h);
    cube.Face({0, 0, h}, {0, 0, 1}, {0, 1, 0}, h);
    cube.Face({h, 0, 0}, {1, 0, 0}, {0, 1, 0}, h);
    cube.Face({-h, 0, 0}, {-1, 0, 0}, {0, 1, 0}, h);
    cube.Face({0, h, 0}, {0, 1, 0}, {0, 0, 1}, h);
    cube.Face({0, -h, 0}, {0, -1, 0}, {0, 0, -1}, h);
    return cube;
}

// A floor of cells facing up, from (x0, z0) to (x0 + columns * cell, z0 + rows * cell), so that the
// per-vertex lighting of the built-in Diffuse effect shows the lamp's falloff. The texture repeats
// once per cell.
MeshData Floor(float x0, float z0, int columns, int rows, float cell) {
    MeshData floor;
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            floor.Face({x0 + (column + 0.5f) * cell, 0, z0 + (row + 0.5f) * cell}, {0, 1, 0}, {0, 0, 1},
                       cell / 2);
    return floor;
}

DemoCurveRecord Linear(const std::string& channel, float from, float to, float lastFrame) {
    DemoCurveRecord curve;
    curve.channel = channel;
    curve.keys = {{0, from, 1, from, 2, from}, {lastFrame - 1, to, lastFrame, to, lastFrame + 1, to}};
    return curve;
}

DemoObjectRecord Object(const std::string& type, const std::string& name, Float3 position,
                        const std::string& meshName = "") {
    DemoObjectRecord object;
    object.type = type;
    object.name = name;
    object.meshName = meshName;
    object.position = position;
    return object;
}

class EndToEndTest : public GlRendererTest {
protected:
    EndToEndTest() : GlRendererTest(kSize, kSize, 0xFF182030, kSize) {}

    void SetUp() override {
        root = QUORVEL_SOURCE_DIR;
        WriteData();
        ASSERT_NO_FATAL_FAILURE(GlRendererTest::SetUp());
        // The other render targets the demo registers before its scenes load, at this window's scale.
        AddTarget(L"gaussGlowLow", kSize / 2);
        AddTarget(L"gaussTempLow", kSize / 2);
    }
    void TearDown() override {
        if (loader != nullptr)
            loader->DestroyInstance();
        GlRendererTest::TearDown();
        const std::string text = log.CloseAndRead();
        EXPECT_EQ(text.find("GL error"), std::string::npos) << text;
    }

    // data/ as the demo lays it out: the scene file, its meshes, material scripts and textures in the
    // scene's folder, the effects under data/fx/ and the full-screen quad.
    void WriteData() {
        fs::create_directories("data/fx");
        fs::create_directories(kSceneFolder);
        for (const char* shipped : {"litTextured.fx", "postprocess.fx", "bloom.efx"})
            fs::copy_file(root / "content" / "fx" / shipped, fs::path("data/fx") / shipped);
        WriteText("data/fx/detail.fx", kDetailFx);

        TVOWriter quad;
        quad.Material(2, {});
        quad.Positions({{-1, 1, 0}, {1, 1, 0}, {1, -1, 0}, {-1, -1, 0}});
        quad.Indices(2, {0, 1, 2, 0, 2, 3});
        quad.End();
        quad.Save("data/quad.tvo");

        const std::string folder = kSceneFolder;
        WritePattern(folder + "/checker.png", 64, 8, false, {235, 150, 40}, {40, 70, 140});
        WritePattern(folder + "/stripes.png", 32, 8, true, {70, 150, 80}, {30, 80, 45});
        Cube(0.6f).Save(folder + "/crate.tvo", 0, {folder + "/checker.png"});
        WriteText(folder + "/crate.tvo.efx", kCrateEfx);
        Floor(-5, 2, 10, 14, 1).Save(folder + "/floor.tvo", 3, {folder + "/stripes.png"});
        // The bloom object: one small triangle, drawn invisibly by its own pass.
        TVOWriter glow;
        glow.Material(0, {});
        glow.Positions({{0, 0.1f, 0}, {0.1f, -0.1f, 0}, {-0.1f, -0.1f, 0}});
        glow.Indices(2, {0, 1, 2});
        glow.End();
        glow.Save(folder + "/glow.tvo");
        WriteText(folder + "/glow.tvo.efx", kGlowEfx);

        // The camera first, so that every later object hangs under it and is seen through it.
        DemoObjectRecord camera = Object("Camera", "Camera", {0, 0.6f, 0});
        camera.rotation = {0.25f, 0, 0}; // looking a little down
        camera.curves = {Linear("LocX", -0.6f, 0.6f, 26)};
        DemoObjectRecord crate = Object("Mesh", "Crate", {-0.3f, -0.25f, 4.5f}, "crate");
        crate.rotation = {-0.45f, 0, 0}; // the top turned towards the camera
        crate.curves = {Linear("RotY", 3.0f, 6.0f, 26)};
        DemoWriter::Scene(250, {camera, Object("Lamp", "Lamp", {-2, 2.5f, 2.5f}), crate,
                                Object("Mesh", "Floor", {0, -1, 0}, "floor"),
                                Object("Mesh", "Glow", {0, 0, 5}, "glow")})
            .Save("data/e2e.demo");
    }

    fs::path root;
    DemoLoader* loader = nullptr;
};

TEST_F(EndToEndTest, ASceneFileIsDrawnAsTheReferencePictureWithTheExpectedLog) {
    loader = DemoLoader::CreateInstance(L"data/e2e.demo");
    ASSERT_NE(loader, nullptr);
    ShowScene(loader->GetBaseNode());

    // The crate got the second candidate of its script.
    auto crate = ResourceManager::Get()->GetResource<TVOMesh>(L"data/e2e.demo_scene/crate.tvo");
    ASSERT_TRUE(crate && crate->material && crate->material->effect);
    ASSERT_EQ(crate->material->effect->GetPasses().size(), 1u);
    auto* lit = dynamic_cast<FXShader*>(crate->material->effect->GetPasses()[0].get());
    ASSERT_NE(lit, nullptr);
    EXPECT_EQ(lit->GetPass().technique, "Plain");
    auto floor = ResourceManager::Get()->GetResource<TVOMesh>(L"data/e2e.demo_scene/floor.tvo");
    ASSERT_TRUE(floor && floor->material);
    EXPECT_EQ(floor->material->effect, EffectPool::Get()->GetBuiltin(3));

    Frame();
    const engine::math::Matrix4x4 firstView = loader->GetCameraNode()->GetWorldMatrix();
    for (int frame = 1; frame < kFrames; ++frame)
        Frame();
    // The camera moved to the right, so the view moved the scene to the left.
    EXPECT_LT(loader->GetCameraNode()->GetWorldMatrix().m[12], firstView.m[12]);

    // The bloom chain drew into its target.
    Picture glow = Read(*ResourceManager::Get()->GetResource<RenderTargetTexture>(L"gaussGlowLow"));
    ASSERT_EQ(glow.width, kSize / 2);
    int glowing = 0;
    for (std::size_t at = 0; at + 3 < glow.rgba.size(); at += 4)
        glowing += std::max({glow.rgba[at], glow.rgba[at + 1], glow.rgba[at + 2]}) > 16 ? 1 : 0;
    EXPECT_GT(glowing, 0) << "the glow target is black";

    const Picture actual = Read(*lastFrame);
    ASSERT_EQ(actual.width, kSize);
    ASSERT_EQ(actual.height, kSize);
    const fs::path referencePath = root / "tests" / "render" / "data" / "endToEnd.png";
    const char* update = std::getenv("QUORVEL_UPDATE_REFERENCES");
    if (update != nullptr && std::string(update) == "1") {
        fs::create_directories(referencePath.parent_path());
        ASSERT_TRUE(WritePng(referencePath, actual)) << referencePath;
    }
    const Picture reference = ReadPng(referencePath);
    ASSERT_EQ(reference.width, kSize)
        << "no reference picture at " << referencePath << " (QUORVEL_UPDATE_REFERENCES=1 writes it)";
    ASSERT_EQ(reference.height, kSize);
    const int different = DifferentPixels(actual, reference, kChannelTolerance);
    if (different > kAllowedDifferentPixels) {
        const fs::path actualPath = fs::canonical("/proc/self/exe").parent_path() / "endToEnd.actual.png";
        WritePng(actualPath, actual);
        ADD_FAILURE() << different << " pixels differ from " << referencePath << " by more than "
                      << kChannelTolerance << "; this run's picture is " << actualPath;
    }

    const std::string text = log.CloseAndRead();
    EXPECT_EQ(Rows(text, "WARNING"),
              (std::vector<std::string>{"FXShader detail.fx with technique NineLayers not supported"}));
    EXPECT_TRUE(Rows(text, "ERROR").empty()) << text;
    const std::vector<std::string> messages = Rows(text, "MESSAGE");
    for (const char* expected :
         {"Loading .tvo mesh data/e2e.demo_scene/crate.tvo",
          "Loading .tvo mesh data/e2e.demo_scene/floor.tvo", "Loading .tvo mesh data/e2e.demo_scene/glow.tvo",
          "Parsing material script data/e2e.demo_scene/crate.tvo.efx",
          "pass 'Layers' of technique 'NineLayers' of data/fx/detail.fx reads 9 textures, the device offers "
          "8",
          "Creating managed texture data/e2e.demo_scene/checker.png",
          "Loading quad material data/fx/bloom.efx"})
        EXPECT_EQ(Count(messages, expected), 1) << expected;
}

} // namespace
