// The window and screen module on the offscreen driver: creation and its log rows, the settings
// mapping, events reaching Input, the close sequence, and failures that end in ERROR rows.
#include "app/screen.h"
#include "core/input.h"
#include "core/kernel.h"
#include "math/transforms.h"
#include "support/logCapture.h"

#include <engine/app.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include <sstream>

using engine::core::CScreen;
using engine::core::CWin32Window;
using engine::core::Input;
using engine::core::Kernel;
namespace gpu = engine::gpu;
using namespace quorvel::test;

namespace {

// The message column of every MESSAGE row, in order.
std::vector<std::string> MessageRows(const std::string& log) {
    std::vector<std::string> rows;
    std::istringstream lines(log);
    const std::string marker = "</td><td>";
    for (std::string line; std::getline(lines, line);) {
        if (line.find("<td>MESSAGE</td>") == std::string::npos)
            continue;
        const std::size_t end = line.rfind("</td></tr>");
        const std::size_t start = line.rfind(marker, end - 1);
        rows.push_back(line.substr(start + marker.size(), end - start - marker.size()));
    }
    return rows;
}

void PushClose() {
    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    SDL_PushEvent(&close);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings.width = 160;
        settings.height = 120;
        settings.title = L"Quorvel";
    }
    void TearDown() override {
        CWin32Window::Get()->Shutdown();
        delete CWin32Window::Get();
        delete Kernel::Get();
        delete Input::Get();
    }
    // Pumps until the event queue is empty, dispatching as the main loop would.
    void PumpAll(CScreen& screen) {
        for (int pass = 0; pass < 100 && SDL_PeepEvents(nullptr, 1, SDL_PEEKEVENT, 0, SDL_LASTEVENT) > 0;
             ++pass)
            screen.Update();
    }

    ScopedLogDirectory log;
    MessageBoxCapture boxes;
    engine::WindowSettings settings;
};

TEST_F(WindowTest, CreatesTheWindowAndDeviceWithTheirDefaults) {
    settings.multiSampleType = 4;
    CScreen screen;
    screen.Init(settings);
    CWin32Window* window = CWin32Window::Get();
    ASSERT_NE(engine::Direct3DDevice(), nullptr);
    EXPECT_EQ(engine::Direct3DDevice(), window->device);
    EXPECT_GE(engine::GetDirect3DCaps().vertexShaderVersion, gpu::VertexShaderVersion(1, 1));
    EXPECT_EQ(screen.priority, 10);

    // The client area, and so the back buffer, is what was chosen.
    gpu::Surface* backBuffer = nullptr;
    ASSERT_EQ(window->device->GetRenderTarget(0, &backBuffer), gpu::kOk);
    EXPECT_EQ(backBuffer->Width(), 160u);
    EXPECT_EQ(backBuffer->Height(), 120u);
    backBuffer->Release();
    const auto projection = engine::math::MatrixPerspectiveFovLH(0.7853982f, 160.0f / 120.0f, 0.5f, 1000.0f);
    for (int i = 0; i < 16; ++i)
        EXPECT_FLOAT_EQ(window->projection.m[i], projection.m[i]);
    std::uint32_t value = 0;
    window->device->GetRenderState(gpu::RsCullMode, value);
    EXPECT_EQ(value, gpu::CullNone);
    window->device->GetRenderState(gpu::RsAmbient, value);
    EXPECT_EQ(value, 0xFFFFFFFFu);
    EXPECT_EQ(window->clearColor, 0xFFFFFFFFu);

    engine::SetWindowTitle(L"Renamed");
    EXPECT_STREQ(SDL_GetWindowTitle(window->window), "Renamed");

    screen.Stop();
    const std::string text = log.CloseAndRead();
    EXPECT_EQ(
        CountRows(text, "MESSAGE",
                  "Creating window &quot;Quorvel&quot; 160x120x60hz fullscreen: false AA: 4 Backbuffer: 22") +
            CountRows(text, "MESSAGE",
                      "Creating window \"Quorvel\" 160x120x60hz fullscreen: false AA: 4 Backbuffer: 22"),
        1)
        << text;
    EXPECT_EQ(CountRows(text, "MESSAGE", "Hardware vertex processing chosen"), 1);
    EXPECT_EQ(CountRows(text, "MESSAGE", "Releasing D3DDevice"), 1);
    EXPECT_EQ(text.find("WARNING"), std::string::npos) << text;
}

TEST_F(WindowTest, EventsReachInputWithVirtualKeyNumbers) {
    CScreen screen;
    screen.Init(settings);
    PumpAll(screen);
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&event);
    event.type = SDL_MOUSEMOTION;
    event.motion.x = 12;
    event.motion.y = 34;
    SDL_PushEvent(&event);
    event = SDL_Event{};
    event.type = SDL_MOUSEBUTTONDOWN;
    event.button.button = SDL_BUTTON_LEFT;
    SDL_PushEvent(&event);

    // One event per pass: when the key has arrived, the mouse has not yet.
    auto updateUntil = [&screen](auto arrived) {
        for (int pass = 0; pass < 5 && !arrived(); ++pass)
            screen.Update();
        return arrived();
    };
    ASSERT_TRUE(updateUntil([] { return Input::Get()->keys[27] == 1; }));
    EXPECT_EQ(Input::Get()->mouseX, 0);
    screen.Update();
    EXPECT_EQ(Input::Get()->mouseX, 12);
    EXPECT_EQ(Input::Get()->mouseY, 34);
    EXPECT_EQ(Input::Get()->buttons[0], 0);
    screen.Update();
    EXPECT_EQ(Input::Get()->buttons[0], 1);

    event = SDL_Event{};
    event.type = SDL_KEYUP;
    event.key.keysym.sym = SDLK_ESCAPE;
    SDL_PushEvent(&event);
    EXPECT_TRUE(updateUntil([] { return Input::Get()->keys[27] == 0; }));
}

// Stands in for the renderer: logs each pass and records what the device answers after a close.
class PassProbe : public engine::core::Module {
public:
    PassProbe() { priority = 6000; }
    bool Start() override { return true; }
    void Update() override {
        LOG_MESSAGE("pass");
        gpu::Device* device = engine::Direct3DDevice();
        if (CWin32Window::Get()->window == nullptr && device != nullptr) {
            lostAnswers += device->TestCooperativeLevel() == gpu::kDeviceLost;
            beganScenes += device->BeginScene() == gpu::kOk;
        }
    }
    void Stop() override {}
    int lostAnswers = 0;
    int beganScenes = 0;
};

TEST_F(WindowTest, ClosingTheWindowRunsTheDestroyQuitAndKillSequence) {
    CScreen* screen = CScreen::CreateInstance();
    screen->Init(settings);
    PassProbe probe;
    Kernel::Get()->AddModule(screen, 1);
    Kernel::Get()->AddModule(&probe, 10);
    PumpAll(*screen);
    PushClose();
    Kernel::Get()->Run();
    delete screen;

    const std::vector<std::string> rows = MessageRows(log.CloseAndRead());
    auto destroy = std::find(rows.begin(), rows.end(), "Destroy message received");
    ASSERT_NE(destroy, rows.end());
    const std::vector<std::string> expected = {"Destroy message received",
                                               "Releasing D3DDevice",
                                               "Releasing Direct3D",
                                               "pass", // the rest of the pass that dispatched the close
                                               "pass", // the pass that removes the quit message
                                               "Quit called",
                                               "pass",
                                               "Killing all modules",
                                               "Releasing D3DDevice",
                                               "Releasing Direct3D"};
    EXPECT_EQ(std::vector<std::string>(destroy, rows.end()), expected);
    // Between the close and the kill step the device answers "lost" and begins no scene.
    EXPECT_EQ(probe.lostAnswers, 3);
    EXPECT_EQ(probe.beganScenes, 0);
}

TEST_F(WindowTest, SettingsTheDeviceCannotHonourEndInAnErrorRow) {
    settings.backBufferFormat = 99;
    CScreen screen;
    try {
        screen.Init(settings);
        FAIL() << "no exception";
    } catch (const engine::core::Exception& e) {
        EXPECT_EQ(e.GetText(), L"Failed to create Direct3D Device.");
    }
    const std::string text = log.CloseAndRead();
    EXPECT_NE(text.find("unsupported back-buffer format 99"), std::string::npos) << text;
    EXPECT_EQ(CountRows(text, "ERROR", "Failed to create Direct3D Device."), 1);
}

TEST_F(WindowTest, AnEmptyWindowSizeEndsInAnErrorRow) {
    settings.width = 0;
    CScreen screen;
    try {
        screen.Init(settings);
        FAIL() << "no exception";
    } catch (const engine::core::Exception& e) {
        EXPECT_EQ(e.GetText(), L"Could not create window handle");
    }
}

TEST_F(WindowTest, FullScreenAsksForTheClosestDisplayModeAndKeepsTheBackBufferSize) {
    settings.fullscreen = true;
    settings.width = 320;
    settings.height = 240;
    settings.refreshRate = 75;
    settings.presentationInterval = 2;
    CScreen screen;
    screen.Init(settings);
    CWin32Window* window = CWin32Window::Get();
    EXPECT_FALSE(window->presentParameters.windowed);
    EXPECT_EQ(window->presentParameters.fullScreenRefreshRate, 75u);
    EXPECT_EQ(window->presentParameters.presentationInterval, 2u);
    EXPECT_NE(SDL_GetWindowFlags(window->window) & SDL_WINDOW_FULLSCREEN, 0u);
    gpu::Surface* backBuffer = nullptr;
    ASSERT_EQ(window->device->GetRenderTarget(0, &backBuffer), gpu::kOk);
    EXPECT_EQ(backBuffer->Width(), window->presentParameters.backBufferWidth);
    EXPECT_EQ(backBuffer->Width(), 320u);
    EXPECT_EQ(backBuffer->Height(), window->presentParameters.backBufferHeight);
    backBuffer->Release();
}

} // namespace
