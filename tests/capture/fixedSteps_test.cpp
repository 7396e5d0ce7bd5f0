// The timer in whole steps, as captures drive it: the time of every pass is its step over the rate,
// with nothing accumulated, so it neither drifts nor depends on where the run started; a move lands on
// the first step at or after the asked time.
#include "core/timer.h"

#include <gtest/gtest.h>

#include <memory>

using engine::core::Timer;

namespace {

std::unique_ptr<Timer> FixedStepTimer(int stepsPerSecond, double start) {
    auto timer = std::make_unique<Timer>();
    timer->UseFixedSteps(stepsPerSecond);
    timer->SetTime(start);
    timer->Start();
    return timer;
}

TEST(FixedSteps, EveryPassIsItsStepOverTheRateHoweverLongTheRun) {
    // A million passes at 60 a second: a float (or double) sum of 1/60 would be far off by now.
    const std::unique_ptr<Timer> timer = FixedStepTimer(60, 0.0);
    for (int step = 1; step <= 1'000'000; ++step) {
        timer->Update();
        if (step % 250'000 == 0 || step == 1) {
            ASSERT_EQ(timer->Time(), step / 60.0) << step;
            ASSERT_EQ(timer->SinceLast(), 1.0 / 60.0) << step;
        }
    }
    EXPECT_EQ(timer->Time(), 1'000'000 / 60.0);
}

TEST(FixedSteps, AMovedStartLandsOnTheStepAPlayedRunReachesThere) {
    // Ten seconds of 25-frame scenes summed in single-precision frame lengths fall just short of 10 s:
    // the start lands on step 600, and its passes read exactly what a run from zero reads there.
    const double sceneStart = 250 * static_cast<double>(0.04f);
    ASSERT_LT(sceneStart, 10.0);
    const std::unique_ptr<Timer> moved = FixedStepTimer(60, sceneStart);
    const std::unique_ptr<Timer> played = FixedStepTimer(60, 0.0);
    EXPECT_EQ(moved->Time(), 10.0);
    for (int step = 0; step < 600; ++step)
        played->Update();
    for (int step = 0; step < 5; ++step) {
        moved->Update();
        played->Update();
        EXPECT_EQ(moved->Time(), played->Time());
    }
    // A time between two steps waits for the next one; a move back is a move like any other.
    moved->SetTime(10.01);
    EXPECT_EQ(moved->Time(), 601 / 60.0);
    moved->SetTime(0.0);
    moved->Update();
    EXPECT_EQ(moved->Time(), 1 / 60.0);
    EXPECT_EQ(moved->SinceLast(), 1 / 60.0);
}

} // namespace
