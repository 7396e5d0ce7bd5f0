// The settings dialog where nobody can answer it: the test runner's headless SDL driver.
#include "support/logCapture.h"

#include <engine/app.h>

#include <gtest/gtest.h>

#include <cstdlib>

using namespace quorvel::test;

namespace {

// Even where an X server is at hand, the headless driver means no dialog: the run must not wait for
// a click, and the window it opens next must not take over the screen.
TEST(SettingsDialog, HeadlessRunGetsTheDefaultsWindowedWithoutADialog) {
    ScopedLogDirectory folder;
    setenv("SDL_VIDEODRIVER", "offscreen", 1); // what every test of this program runs with

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
