// Scenes 2 to 5 as the build makes them, each loaded from data/ and drawn on offscreen OpenGL the way
// the demo shows it: the program's render targets, the global curves at the scene's own time in the
// demo, and the array modifiers and rain the program hangs on the nodes it fetches by name. Each scene
// must load with those nodes and its length, keep the log free of warnings and errors, and draw its
// middle frame like the stored reference picture, within the tolerance the renderer's picture tests
// allow.
//
// QUORVEL_SCENE_FRAMES=<folder> instead draws each whole scene at 640 x 360 and writes a picture
// every 48 frames into that folder, to look at.
#include "anim/ipoFile.h"
#include "app/screen.h"
#include "core/kernel.h"
#include "particles/particleEngine.h"
#include "render/effectPool.h"
#include "render/rendererFixture.h"
#include "resources/resourceTypes.h"
#include "scene/demoLoader.h"
#include <engine/app.h>

#include "support/picture.h"

#include <cstdlib>
#include <filesystem>

using namespace quorvel::test;
using namespace engine::gfx;
using engine::core::CWin32Window;
using engine::core::ResourceManager;
using engine::core::resources::RenderTargetTexture;

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 160, kHeight = 90;
constexpr std::uint64_t kFrameMicros = 40000;
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

class Scenes2To5Test : public ::testing::TestWithParam<SceneCase> {
protected:
    void SetUp() override {
        folder = std::getenv("QUORVEL_SCENE_FRAMES");
        fs::copy(QUORVEL_DATA_DIR, "data",
                 fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        engine::WindowSettings settings;
        settings.width = folder != nullptr ? 640 : kWidth;
        settings.height = folder != nullptr ? 360 : kHeight;
        screen.Init(settings);
        window = CWin32Window::Get();
        ASSERT_NE(window->device, nullptr);
        window->clearColor = 0;
        engine::core::Timer::Get()->SetClock(&clock);
        engine::core::Timer::Get()->Start();
        engine::core::Timer::Get()->SetTime(GetParam().start / 25.0);
        // The targets the program registers before it loads its scenes.
        AddTarget(L"lastFrame", 512);
        AddTarget(L"gaussGlowLow", 128);
        AddTarget(L"gaussTempLow", 128);
        renderer.SetSleepFunction([](std::uint32_t) {});
        renderer.Start();
        EffectPool::Get();
        SetShaderContext(window->device, &renderer);
        ASSERT_NE(IPOFile::Get(), nullptr);
    }
    void TearDown() override {
        if (loader != nullptr)
            loader->DestroyInstance();
        SetShaderContext(nullptr, nullptr);
        renderer.Stop();
        renderer.ClearRoot();
        renderer.SetScene({});
        targets.clear();
        UseClockSeededParticles();
        delete IPOFile::mInstance;
        delete EffectPool::mInstance;
        delete ResourceManager::mInstance;
        delete LightManager::mInstance;
        delete engine::core::Timer::mInstance;
        delete engine::core::Kernel::mInstance;
        if (window != nullptr)
            window->Shutdown();
        delete CWin32Window::mInstance;
    }

    void AddTarget(const std::wstring& name, int size) {
        auto target = boost::make_shared<RenderTargetTexture>(name, size);
        ResourceManager::Get()->AddUnmanaged(name, target);
        target->Load();
        targets.push_back(target);
    }

    Node* NodeNamed(const char* name) { return dynamic_cast<Node*>(loader->GetNode(name).get()); }

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
        UseRepeatableParticles(1);
        ResetEmissionClocks();
        loader = DemoLoader::CreateInstance(L"data/scene" + std::to_wstring(scene.number) + L".demo");
        Decorate(scene);
        const auto base = loader->GetBaseNode();
        base->SetParent(renderer.GetRootNode().get());
        renderer.ClearRoot();
        renderer.AttachToRoot(base);
        renderer.SetScene(base);
    }

    // One pass of the main loop in the program's order: timer, renderer, then the curve player.
    void Frame() {
        clock.micros += kFrameMicros;
        engine::core::Timer::Get()->Update();
        renderer.Update();
        IPOFile::Get()->Update();
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

    ScopedLogDirectory log;
    MessageBoxCapture boxes;
    ManualClock clock;
    engine::core::CScreen screen;
    CWin32Window* window = nullptr;
    Renderer renderer;
    std::vector<boost::shared_ptr<RenderTargetTexture>> targets;
    DemoLoader* loader = nullptr;
    const char* folder = nullptr;
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
