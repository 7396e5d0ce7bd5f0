// The drawing tests' stage on the real OpenGL device, offscreen: the window of the test's size, the
// timer on a clock the test moves, the effect pool, the renderer with the shader context pointing at
// it and the device, and "lastFrame", which every frame of at least its period refreshes so that
// tests read their pictures from it. Everything is torn down after each test.
#pragma once

#include "app/screen.h"
#include "core/kernel.h"
#include "render/effectPool.h"
#include "render/rendererFixture.h"
#include "resources/resourceTypes.h"
#include "support/picture.h"

#include <cstdint>
#include <cstdlib>
#include <ostream>
#include <string>
#include <vector>

namespace quorvel::test {

// A pixel's red, green and blue; -1 each where there was no picture to read.
struct Rgb {
    int r, g, b;
};
inline std::ostream& operator<<(std::ostream& out, const Rgb& p) {
    return out << "(" << p.r << ", " << p.g << ", " << p.b << ")";
}
inline bool Near(const Rgb& p, int r, int g, int b) {
    return std::abs(p.r - r) <= 3 && std::abs(p.g - g) <= 3 && std::abs(p.b - b) <= 3;
}

class GlRendererTest : public ::testing::Test {
protected:
    GlRendererTest(int width, int height, engine::gpu::Color clearColor, int lastFrameSize)
        : clearColor(clearColor), lastFrameSize(lastFrameSize) {
        settings.width = width;
        settings.height = height;
    }

    // A fixture that adds to the stage calls this first, through ASSERT_NO_FATAL_FAILURE: without a
    // device there is nothing to add to.
    void SetUp() override {
        screen.Init(settings);
        window = engine::core::CWin32Window::Get();
        ASSERT_NE(window->device, nullptr);
        window->clearColor = clearColor;
        engine::core::Timer::Get()->SetClock(&clock);
        engine::core::Timer::Get()->Start();
        lastFrame = AddTarget(L"lastFrame", lastFrameSize);
        renderer.SetSleepFunction([](std::uint32_t) {});
        renderer.Start();
        // The pool points the shader context at the renderer it finds in the kernel, where these tests
        // do not register it, so the context is set after it.
        engine::gfx::EffectPool::Get();
        engine::gfx::SetShaderContext(window->device, &renderer);
    }
    // A fixture lets go of its own nodes first: the device they were made on goes here.
    void TearDown() override {
        engine::gfx::SetShaderContext(nullptr, nullptr);
        renderer.Stop();
        renderer.ClearRoot();
        renderer.SetScene({});
        lastFrame.reset();
        targets.clear();
        delete engine::gfx::EffectPool::mInstance;
        delete engine::core::ResourceManager::mInstance;
        delete engine::gfx::LightManager::mInstance;
        delete engine::core::Timer::mInstance;
        delete engine::core::Kernel::mInstance;
        if (window != nullptr)
            window->Shutdown();
        delete engine::core::CWin32Window::mInstance;
    }

    // A render target the effects find by name, released at the end of the test.
    boost::shared_ptr<engine::core::resources::RenderTargetTexture> AddTarget(const std::wstring& name,
                                                                              int size) {
        auto target = boost::make_shared<engine::core::resources::RenderTargetTexture>(name, size);
        engine::core::ResourceManager::Get()->AddUnmanaged(name, target);
        target->Load();
        targets.push_back(target);
        return target;
    }

    // What SetRootNode does for a program: the scene becomes the only child of the renderer's root.
    void ShowScene(const boost::shared_ptr<engine::gfx::Spatial>& scene) {
        scene->SetParent(renderer.GetRootNode().get());
        renderer.ClearRoot();
        renderer.AttachToRoot(scene);
        renderer.SetScene(scene);
    }

    // One pass of the main loop as far as drawing goes. The default is longer than the period of
    // "lastFrame", so that every frame refreshes it.
    void Frame(std::uint64_t micros = 50000) {
        clock.micros += micros;
        engine::core::Timer::Get()->Update();
        renderer.Update();
    }

    Picture Read(engine::core::resources::RenderTargetTexture& target) {
        return ReadTarget(*window->device, target);
    }
    Picture ReadLastFrame() { return Read(*lastFrame); }

    Rgb Pixel(engine::core::resources::RenderTargetTexture& target, int x, int y) {
        const Picture picture = Read(target);
        if (picture.rgba.empty())
            return {-1, -1, -1};
        const std::size_t at = (std::size_t(y) * picture.width + x) * 4;
        return {picture.rgba[at], picture.rgba[at + 1], picture.rgba[at + 2]};
    }
    Rgb Pixel(int x, int y) { return Pixel(*lastFrame, x, y); }

    ScopedLogDirectory log;
    MessageBoxCapture boxes;
    ManualClock clock;
    engine::WindowSettings settings;
    engine::gpu::Color clearColor;
    int lastFrameSize;
    engine::core::CScreen screen;
    engine::core::CWin32Window* window = nullptr;
    engine::gfx::Renderer renderer;
    boost::shared_ptr<engine::core::resources::RenderTargetTexture> lastFrame;

private:
    std::vector<boost::shared_ptr<engine::core::resources::RenderTargetTexture>> targets;
};

} // namespace quorvel::test
