// The settings dialog where nobody can answer it: the test runner's headless SDL driver.
#include "support/logCapture.h"

#include <engine/app.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

using namespace quorvel::test;

namespace {

// Sets an environment variable for its lifetime.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name(name) {
        const char* old = std::getenv(name);
        if (old != nullptr)
            previous = old;
        hadValue = old != nullptr;
        setenv(name, value, 1);
    }
    ~ScopedEnvironment() {
        if (hadValue)
            setenv(name, previous.c_str(), 1);
        else
            unsetenv(name);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name;
    std::string previous;
    bool hadValue = false;
};

// Even with an X server at hand, the headless driver means no dialog: the demo must not wait for a
// click, and the window it opens next must not take over the screen.
TEST(SettingsDialog, HeadlessRunGetsTheDefaultsWindowedWithoutADialog) {
    ScopedLogDirectory folder;
    ScopedEnvironment driver("SDL_VIDEODRIVER", "offscreen");
    ScopedEnvironment display("DISPLAY", ":0");

    const engine::WindowSettings settings = engine::SettingsDialog();
    EXPECT_EQ(settings.width, 1024);
    EXPECT_EQ(settings.height, 768);
    EXPECT_EQ(settings.refreshRate, 60);
    EXPECT_EQ(settings.backBufferFormat, 22);
    EXPECT_EQ(settings.multiSampleType, 0);
    EXPECT_FALSE(settings.fullscreen);
    EXPECT_EQ(settings.presentationInterval, 0x80000000u);
    EXPECT_EQ(settings.depthStencilFormat, 77);
    EXPECT_TRUE(settings.title.empty());

    const std::string log = folder.CloseAndRead();
    EXPECT_EQ(Count(Rows(log, "MESSAGE"), "Settings dialog initiated"), 0);
    EXPECT_EQ(Count(Rows(log, "MESSAGE"), "No display for the settings dialog: default settings, windowed"),
              1);
}

} // namespace
