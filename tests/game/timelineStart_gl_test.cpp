// The timeline's start when a scene fails to load and beginning with the scenes that did load fails too
// (here for want of a renderer to show them: the stage has a device but registers none): the load's
// failure is the one that comes out.
#include "core/textConversion.h"
#include "game/demoFixture.h"
#include "support/glRenderer.h"
#include "support/logCapture.h"
#include "testScene1.h"

#include <gtest/gtest.h>

using namespace quorvel::test;

namespace {

class TimelineStartTest : public GlRendererTest {
protected:
    TimelineStartTest() : GlRendererTest(32, 32, 0, 32) {}
    ScopedLogDirectory folder;
};

TEST_F(TimelineStartTest, TheLoadFailureSurvivesAFailureToBeginWithWhatLoaded) {
    WriteDemoFixture({2, 0, 2, 2, 2, 2, 2, 2, 2});
    TestScene1 timeline;
    std::string text;
    try {
        timeline.Start();
        ADD_FAILURE() << "the start did not fail";
    } catch (const engine::core::Exception& failure) {
        text = engine::core::WideToNarrow(failure.GetText());
    }
    EXPECT_NE(text.find("No such demo file found"), std::string::npos) << text;
    timeline.Stop();
}

} // namespace
