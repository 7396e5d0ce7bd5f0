// Scenes 2 to 5 as the build makes them, each loaded from data/ and drawn on offscreen OpenGL the way
// the demo shows it: the program's render targets, the global curves at the scene's own time in the
// demo, and the array modifiers and rain the program hangs on the nodes it fetches by name. Each scene
// must load with those nodes and its length, keep the log free of warnings and errors, and draw its
// middle frame like the stored reference picture, within the tolerance the renderer's picture tests
// allow.
//
// QUORVEL_SCENE_FRAMES=<folder> instead draws each whole scene at 640 x 360 and writes a picture
// every 48 frames into that folder, to look at.
#include "support/glScene.h"

#include <cstdlib>
#include <filesystem>

using namespace quorvel::test;
using namespace engine::gfx;

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 160, kHeight = 90;
// Per channel, and how many pixels may differ by more: the tolerance of the renderer's own picture
// tests, room for another rasteriser's rounding and far too little for a lost or misplaced object.
constexpr int kChannelTolerance = 8;
constexpr int kAllowedDifferentPixels = kWidth * kHeight / 200;

struct SceneCase {
    int number;
    int length;
    // Where the scene begins in the demo, in frames: the global curves are sampled there.
    int start;
    int gridCount;
    bool rain;
};

void PrintTo(const SceneCase& scene, std::ostream* out) {
    *out << "scene " << scene.number;
}

const SceneCase kScenes[] = {
    {2, 384, 384, 20, false},
    {3, 384, 768, 20, false},
    {4, 384, 1152, 20, false},
    {5, 576, 1536, 25, true},
};

class Scenes2To5Test : public GlSceneTest, public ::testing::WithParamInterface<SceneCase> {
protected:
    Scenes2To5Test() : GlSceneTest(kWidth, kHeight) {
        if (folder != nullptr) {
            settings.width = 640;
            settings.height = 360;
        }
    }

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(GlSceneTest::SetUp());
        engine::core::Timer::Get()->SetTime(GetParam().start / 25.0);
    }

    // What the program's timeline attaches to the scene, in its order.
    void Decorate(const SceneCase& scene) {
        if (scene.rain) {
            PlaneEmitterInfo rain;
            rain.color = {0.5f, 0.5f, 0.0f, 1.0f};
            rain.colorChange = {1.0f, 1.0f, 1.0f, -1.3f};
            rain.velocity = {0.0f, 0.0f, -20.0f};
            rain.velocityVariance = {4.0f, 4.0f, 0.0f};
            rain.effect = engine::BuildEffect("data/particle.efx");
            rain.size = 3.0f;
            rain.spinVariance = 10.0f;
            rain.maxParticles = 1000;
            rain.particleCount = 0;
            rain.emitInterval = 0.001f;
            rain.planeWidth = 47.0f;
            rain.planeDepth = 77.0f;
            engine::AddPlaneParticleEmitter(NodeNamed("Plane"), rain);
        }
        engine::ArrayInfo grid;
        grid.object = loader->GetNode("Cube").get();
        for (const char* offset : {"Modifier", "Modifier2"}) {
            engine::ArrayEntry entry;
            entry.offsetObject = loader->GetNode(offset).get();
            entry.count = scene.gridCount;
            entry.useObjectOffset = true;
            grid.entries.push_back(entry);
        }
        engine::AddArrayModifier(grid, NodeNamed("Modifier2"));
    }

    void Load(const SceneCase& scene) {
        GlSceneTest::Load(scene.number, [&] { Decorate(scene); });
    }

    // The finished picture, as presented.
    Picture Read() {
        Picture picture;
        gpu::Surface* surface = nullptr;
        if (gpu::Failed(window->device->GetRenderTarget(0, &surface)))
            return picture;
        picture.width = static_cast<int>(surface->Width());
        picture.height = static_cast<int>(surface->Height());
        window->device->ReadPixels(surface, picture.rgba);
        surface->Release();
        for (std::size_t at = 3; at < picture.rgba.size(); at += 4)
            picture.rgba[at] = 255;
        return picture;
    }

    const char* folder = std::getenv("QUORVEL_SCENE_FRAMES");
};

TEST_P(Scenes2To5Test, LoadsTheTimelinesNodesAndDrawsItsMiddleFrameAsStored) {
    const SceneCase& scene = GetParam();
    Load(scene);
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(loader->GetLength(), scene.length);
    const std::string name = "scene" + std::to_string(scene.number);

    const int middle = scene.length / 2;
    const int frames = folder != nullptr ? scene.length : middle;
    Picture shown;
    for (int frame = 1; frame <= frames; ++frame) {
        Frame();
        if (frame == middle)
            shown = Read();
        if (folder != nullptr && frame % 48 == 0)
            WritePng(fs::path(folder) / (name + "-" + std::to_string(frame) + ".png"), Read());
    }

    const std::string text = log.CloseAndRead();
    EXPECT_TRUE(Rows(text, "WARNING").empty()) << text;
    EXPECT_TRUE(Rows(text, "ERROR").empty()) << text;
    if (folder != nullptr)
        return;

    EXPECT_GT(ShareAbove(shown, 40), 0.05) << "hardly anything is lit in the middle of " << name;
    ExpectMatchesReference(shown, fs::path(QUORVEL_TEST_DATA) / "reference" / (name + ".png"),
                           kChannelTolerance, kAllowedDifferentPixels);
}

INSTANTIATE_TEST_SUITE_P(Scenes, Scenes2To5Test, ::testing::ValuesIn(kScenes),
                         [](const ::testing::TestParamInfo<SceneCase>& info) {
                             return "Scene" + std::to_string(info.param.number);
                         });

} // namespace
