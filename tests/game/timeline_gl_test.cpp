// The demo's timeline on the real device, offscreen, with a clock the test moves pass by pass: when
// scenes switch, Escape, the quit after the ninth, looping (the next round loading a scene a pass ahead),
// starting at a later scene and a missing scene file.
#include "core/kernel.h"
#include "core/timer.h"
#include "game/demoFixture.h"
#include "platform/clock.h"
#include "scene/demoLoader.h"
#include "support/logCapture.h"
#include "testScene1.h"

#include <engine/engine.h>

#include "core/input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <set>

using namespace quorvel::test;

namespace {

constexpr std::uint64_t kCountsPerSecond = 1'000'000'000;

class ScheduledClock : public engine::platform::Clock {
public:
    void SetSeconds(double seconds) { counter = static_cast<std::uint64_t>(std::llround(seconds * 1e9)); }
    std::uint64_t Counter() override { return counter; }
    std::uint64_t Frequency() override { return kCountsPerSecond; }
    std::uint32_t Ticks() override { return static_cast<std::uint32_t>(counter / 1'000'000); }

private:
    std::uint64_t counter = 0;
};

// Runs first in every pass: moves the clock to the next scheduled time (or on by a fixed step once the
// schedule is used up), and holds Escape from a chosen pass on.
class PassDriver : public engine::core::Module {
public:
    PassDriver(ScheduledClock& clock, std::deque<double> times, double step)
        : clock(clock), times(std::move(times)), step(step) {
        priority = 0;
    }
    bool Start() override { return true; }
    void Update() override {
        now = times.empty() ? now + step : times.front();
        if (!times.empty())
            times.pop_front();
        clock.SetSeconds(now);
        if (++passes == escapeAtPass)
            engine::core::Input::Get()->SetKey(27, true);
    }
    void Stop() override {}

    ScheduledClock& clock;
    std::deque<double> times;
    double step;
    double now = 0.0;
    int passes = 0;
    int escapeAtPass = -1;
};

// Runs last in every pass: which scene the timeline shows (1 to 9, 0 for none) and the time.
class SceneRecorder : public engine::core::Module {
public:
    explicit SceneRecorder(const TestScene1& timeline) : timeline(timeline) { priority = 20000; }
    bool Start() override { return true; }
    void Update() override {
        int shown = 0;
        for (int index = 0; index < TestScene1::kSceneCount; ++index)
            if (timeline.CurrentScene() != nullptr && timeline.CurrentScene() == timeline.SceneAt(index))
                shown = index + 1;
        scenes.push_back(shown);
        times.push_back(engine::GetTime());
    }
    void Stop() override {}

    const TestScene1& timeline;
    std::vector<int> scenes;
    std::vector<double> times;
};

// Runs last in every pass: how many scenes were loaded during it. Every scene graph seen is held, so
// that a new one can never take the place of one destroyed.
class LoadCounter : public engine::core::Module {
public:
    LoadCounter() { priority = 20003; }
    bool Start() override { return true; }
    void Update() override {
        int loaded = 0;
        for (int scene = 1; scene <= TestScene1::kSceneCount; ++scene)
            for (engine::gfx::DemoLoader* loader :
                 engine::gfx::LoadersOf(L"data/scene" + std::to_wstring(scene) + L".demo"))
                loaded += seen.insert(loader->GetBaseNode()).second ? 1 : 0;
        loads.push_back(loaded);
    }
    void Stop() override {}

    std::set<boost::shared_ptr<engine::gfx::Spatial>> seen;
    std::vector<int> loads;
};

class TimelineTest : public ::testing::Test {
protected:
    // Registers the driver, the timeline and the recorder and plays until the timeline quits.
    void Play(TestScene1& timeline, std::deque<double> schedule, double step, int escapeAtPass = -1,
              LoadCounter* counter = nullptr) {
        engine::core::Timer::Get()->SetClock(&clock);
        engine::WindowSettings settings;
        settings.width = settings.height = 32;
        engine::CreateTALVOWindow(settings);
        PassDriver driver(clock, std::move(schedule), step);
        driver.escapeAtPass = escapeAtPass;
        SceneRecorder recorder(timeline);
        engine::AddModule(&driver, 20001);
        engine::AddModule(&timeline, 10100);
        engine::AddModule(&recorder, 20002);
        if (counter != nullptr)
            engine::AddModule(counter, 20003);
        engine::StartApplication();
        scenes = recorder.scenes;
        times = recorder.times;
        passes = driver.passes;
    }

    ScopedLogDirectory folder;
    MessageBoxCapture boxes;
    ScheduledClock clock;
    std::vector<int> scenes;
    std::vector<double> times;
    int passes = 0;
};

TEST_F(TimelineTest, ASceneOf250FramesGivesWayAtTheFirstPassPast9Point9999998Seconds) {
    WriteDemoFixture({250, 1, 1, 1, 1, 1, 1, 1, 1});
    TestScene1 timeline;
    Play(timeline, {1.0, 9.9999997, 9.9999999, 9.99999995}, 1.0);

    ASSERT_GE(scenes.size(), 4u);
    EXPECT_EQ(scenes[0], 1);
    EXPECT_EQ(scenes[1], 1);
    EXPECT_EQ(scenes[2], 2);
    // Scene 2 (1 frame, 0.04 s) runs from the switch, not from 10 s.
    EXPECT_EQ(scenes[3], 2);
    EXPECT_EQ(boxes.boxes.size(), 0u);
}

TEST_F(TimelineTest, PlaysTheNineScenesInOrderAndQuitsAfterTheNinth) {
    WriteDemoFixture({2, 2, 2, 2, 2, 2, 2, 2, 2});
    TestScene1 timeline;
    Play(timeline, {}, 0.05);

    // The first pass comes 0.05 s after the start; from then on each 0.08 s scene is shown for two
    // passes of 0.05 s, and the pass that passes the ninth quits.
    const std::vector<int> expected{1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 0};
    EXPECT_EQ(scenes, expected);
    const std::string log = folder.CloseAndRead();
    EXPECT_TRUE(Rows(log, "WARNING").empty()) << log;
    EXPECT_TRUE(Rows(log, "ERROR").empty()) << log;
}

TEST_F(TimelineTest, EscapeQuitsInThePassItIsHeld) {
    WriteDemoFixture({100, 100, 100, 100, 100, 100, 100, 100, 100});
    TestScene1 timeline;
    Play(timeline, {}, 0.1, 3);

    // The input snapshot runs between the driver and the timeline, so the key counts as held in the pass
    // it went down; the quit stops every module at the top of the next pass.
    EXPECT_EQ(passes, 3);
    EXPECT_EQ(scenes.size(), 3u);
}

TEST_F(TimelineTest, LoopingPlaysFromTheTopWithTheClockBackAtZero) {
    WriteDemoFixture({2, 2, 2, 2, 2, 2, 2, 2, 2});
    TestScene1 timeline(1, true);
    Play(timeline, {}, 0.05, 22);

    // Eighteen passes as without looping, then scene 1 again from time 0.
    ASSERT_EQ(scenes.size(), 22u);
    EXPECT_EQ(scenes[16], 9);
    EXPECT_EQ(scenes[17], 1);
    EXPECT_NEAR(times[17], 0.0, 1e-9);
    EXPECT_NEAR(times[18], 0.05, 1e-9);
    EXPECT_EQ(boxes.boxes.size(), 0u);
}

TEST_F(TimelineTest, LoopingLoadsTheNextRoundAScenePassWhileTheNinthPlays) {
    // The ninth lasts a second, twenty passes: time enough to load the next round ahead.
    WriteDemoFixture({2, 2, 2, 2, 2, 2, 2, 2, 25});
    TestScene1 timeline(1, true);
    LoadCounter counter;
    Play(timeline, {}, 0.05, 40, &counter);

    ASSERT_EQ(scenes.size(), 40u);
    const auto again = std::find(scenes.begin() + 17, scenes.end(), 1) - scenes.begin();
    ASSERT_LT(again, 40);
    EXPECT_EQ(scenes[static_cast<std::size_t>(again) - 1], 9);
    EXPECT_NEAR(times[static_cast<std::size_t>(again)], 0.0, 1e-9);
    // The first pass counts the nine the timeline loaded as it started.
    EXPECT_EQ(counter.loads[0], 9);
    for (std::size_t pass = 1; pass < counter.loads.size(); ++pass)
        EXPECT_LE(counter.loads[pass], 1) << "pass " << pass;
    EXPECT_EQ(counter.seen.size(), 18u);
    EXPECT_EQ(boxes.boxes.size(), 0u);
}

TEST_F(TimelineTest, StartingAtSceneFiveBeginsTheClockAtItsTime) {
    WriteDemoFixture({25, 50, 75, 100, 25, 25, 25, 25, 25});
    TestScene1 timeline(5);
    Play(timeline, {}, 0.01, 2);

    ASSERT_FALSE(scenes.empty());
    EXPECT_EQ(scenes[0], 5);
    // 250 frames before it, in the single-precision frame length.
    EXPECT_NEAR(times[0], 250 * static_cast<double>(0.04f) + 0.01, 1e-9);
}

TEST_F(TimelineTest, AMissingSceneFileIsReportedAndTheDemoEndsWhereItWouldBegin) {
    WriteDemoFixture({2, 2, 2, 0, 2, 2, 2, 2, 2});
    TestScene1 timeline;
    Play(timeline, {}, 0.05);

    EXPECT_EQ(scenes, (std::vector<int>{1, 2, 2, 3, 3, 0}));
    ASSERT_EQ(boxes.boxes.size(), 1u);
    const std::string log = folder.CloseAndRead();
    EXPECT_EQ(CountRows(log, "ERROR", "No such demo file found"), 1) << log;
}

} // namespace
