// A scene as the demo program plays it, on the drawing tests' stage: data/ as the build makes it
// (copied from QUORVEL_DATA_DIR, which the test program's build passes in), the render targets the
// program registers before it loads its scenes, the global curves, repeatable particles and the loaded
// scene as the renderer's root.
#pragma once

#include "anim/ipoFile.h"
#include "particles/particleEngine.h"
#include "scene/demoLoader.h"
#include "support/glRenderer.h"
#include <engine/app.h>

#include <filesystem>
#include <string>

namespace quorvel::test {

class GlSceneTest : public GlRendererTest {
protected:
    // The program's "lastFrame" is 512 square at any window size.
    GlSceneTest(int width, int height) : GlRendererTest(width, height, 0, 512) {}

    void SetUp() override {
        std::filesystem::copy(QUORVEL_DATA_DIR, "data",
                              std::filesystem::copy_options::recursive |
                                  std::filesystem::copy_options::overwrite_existing);
        ASSERT_NO_FATAL_FAILURE(GlRendererTest::SetUp());
        // Besides "lastFrame", the targets the program registers before it loads its scenes.
        AddTarget(L"gaussGlowLow", 128);
        AddTarget(L"gaussTempLow", 128);
        ASSERT_NE(engine::gfx::IPOFile::Get(), nullptr);
    }
    void TearDown() override {
        if (loader != nullptr)
            loader->DestroyInstance();
        GlRendererTest::TearDown();
        engine::gfx::UseClockSeededParticles();
        delete engine::gfx::IPOFile::mInstance;
    }

    // Loads data/scene<number>.demo, lets decorate hang on it what the program's timeline does, in its
    // order, and shows it.
    template <typename Decorate>
    void Load(int number, Decorate decorate) {
        engine::gfx::UseRepeatableParticles(1);
        engine::gfx::ResetEmissionClocks();
        loader = engine::gfx::DemoLoader::CreateInstance(L"data/scene" + std::to_wstring(number) + L".demo");
        decorate();
        ShowScene(loader->GetBaseNode());
    }

    engine::gfx::Node* NodeNamed(const char* name) {
        return dynamic_cast<engine::gfx::Node*>(loader->GetNode(name).get());
    }

    // One pass of the main loop in the program's order, at the demo's 25 frames a second: timer,
    // renderer, then the curve player.
    void Frame() {
        GlRendererTest::Frame(40000);
        engine::gfx::IPOFile::Get()->Update();
    }

    engine::gfx::DemoLoader* loader = nullptr;
};

} // namespace quorvel::test
