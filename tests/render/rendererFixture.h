// Test support for the renderer without a GPU: a recording device installed as the window's device,
// a timer on a clock the test advances, a renderer with the shader context pointing at both, and a
// scene node that submits prepared objects every frame. Everything is torn down after each test.
#pragma once

#include "core/timer.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "render/effect.h"
#include "render/material.h"
#include "render/recordingDevice.h"
#include "render/recordingShader.h"
#include "render/renderer.h"
#include "resources/resourceManager.h"
#include "scene/lightManager.h"
#include "support/logCapture.h"
#include <engine/scene.h>

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

#include <algorithm>

namespace quorvel::test {

// Microsecond counter, millisecond ticks, both moved by the test.
class ManualClock : public engine::platform::Clock {
public:
    std::uint64_t Counter() override { return micros; }
    std::uint64_t Frequency() override { return 1000000; }
    std::uint32_t Ticks() override { return static_cast<std::uint32_t>(micros / 1000); }
    std::uint64_t micros = 1000000;
};

// Submits its objects whenever the walk reaches it.
class Submitter : public engine::gfx::Spatial {
public:
    void Update(engine::gfx::Renderer* renderer) override {
        if (renderer == nullptr)
            return;
        for (const auto& object : objects)
            renderer->Submit(object);
    }
    std::vector<boost::shared_ptr<engine::gfx::RenderObject>> objects;
};

class RendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        window = engine::core::CWin32Window::Get();
        device = new RecordingDevice(&calls);
        window->device = device;
        window->clearColor = 0;
        engine::core::Timer::Get()->SetClock(&clock);
        engine::core::Timer::Get()->Start();
        renderer.SetSleepFunction([](std::uint32_t ms) { sleeps.push_back(ms); });
        sleeps.clear();
        renderer.Start();
        engine::gfx::SetShaderContext(device, &renderer);
        scene = boost::make_shared<Submitter>();
        renderer.AttachToRoot(scene);
    }
    void TearDown() override {
        engine::gfx::SetShaderContext(nullptr, nullptr);
        renderer.Stop();
        delete engine::core::ResourceManager::mInstance;
        delete engine::gfx::LightManager::mInstance;
        delete engine::core::Timer::mInstance;
        delete engine::core::CWin32Window::mInstance;
    }

    // One pass of the main loop as far as the renderer sees it: the timer moves on, then a frame.
    void Frame(double seconds = 0.016) {
        clock.micros += static_cast<std::uint64_t>(seconds * 1e6 + 0.5);
        engine::core::Timer::Get()->Update();
        calls.clear();
        renderer.Update();
    }

    boost::shared_ptr<RecordingShader> MakeShader(const std::string& label, int type = 1,
                                                  int priority = 100) {
        return boost::make_shared<RecordingShader>(label, &calls, type, priority);
    }
    static boost::shared_ptr<engine::gfx::Effect>
    MakeEffect(std::initializer_list<boost::shared_ptr<engine::gfx::Shader>> shaders) {
        auto effect = boost::make_shared<engine::gfx::Effect>();
        for (const auto& shader : shaders)
            effect->AddShader(shader);
        return effect;
    }
    // An object labelled by its vertex count, drawn with the effect.
    static boost::shared_ptr<engine::gfx::RenderObject>
    MakeObject(int label, boost::shared_ptr<engine::gfx::Effect> effect) {
        auto object = boost::make_shared<engine::gfx::RenderObject>();
        object->numVertices = label;
        object->primitiveCount = 1;
        object->material = boost::make_shared<engine::gfx::Material>();
        object->material->effect = std::move(effect);
        return object;
    }
    // The lines of the call log that start with any of the prefixes, in order.
    std::vector<std::string> Calls(std::initializer_list<std::string> prefixes) const {
        std::vector<std::string> kept;
        for (const std::string& line : calls)
            if (std::any_of(prefixes.begin(), prefixes.end(),
                            [&](const std::string& prefix) { return line.rfind(prefix, 0) == 0; }))
                kept.push_back(line);
        return kept;
    }
    int Count(const std::string& prefix) const { return static_cast<int>(Calls({prefix}).size()); }

    static inline std::vector<std::uint32_t> sleeps;
    ScopedLogDirectory log;
    MessageBoxCapture boxes;
    std::vector<std::string> calls;
    ManualClock clock;
    engine::core::CWin32Window* window = nullptr;
    RecordingDevice* device = nullptr;
    engine::gfx::Renderer renderer;
    boost::shared_ptr<Submitter> scene;
};

} // namespace quorvel::test
