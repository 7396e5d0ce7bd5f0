#include "core/input.h"
#include "core/kernel.h"
#include "core/timer.h"
#include "support/logCapture.h"

#include <engine/app.h>

#include <gtest/gtest.h>

using engine::core::Input;
using engine::core::InputUpdate;
using engine::core::Timer;

namespace {

// A clock that only moves when told: counts at 1 MHz, ticks in milliseconds.
class FakeClock : public engine::platform::Clock {
public:
    std::uint64_t Counter() override { return counter; }
    std::uint64_t Frequency() override { return 1000000; }
    std::uint32_t Ticks() override { return ticks; }
    void Advance(double counterSeconds, std::uint32_t tickMilliseconds) {
        counter += static_cast<std::uint64_t>(counterSeconds * 1e6);
        ticks += tickMilliseconds;
    }
    std::uint64_t counter = 5000000;
    std::uint32_t ticks = 0xFFFFFF00u; // near the 32-bit wrap on purpose
};

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        timer = new Timer();
        timer->SetClock(&clock);
    }
    void TearDown() override { delete timer; }
    FakeClock clock;
    Timer* timer = nullptr;
};

} // namespace

TEST_F(TimerTest, ReadsZeroBeforeItStarts) {
    EXPECT_EQ(engine::GetTime(), 0.0);
    EXPECT_EQ(engine::GetSinceLast(), 0.0);
    EXPECT_EQ(timer->name, L"Timer");
    EXPECT_EQ(timer->priority, 50);
}

TEST_F(TimerTest, CountsFromStartAcrossTheTickWrap) {
    timer->Start();
    clock.Advance(0.25, 250);
    timer->Update();
    EXPECT_DOUBLE_EQ(engine::GetTime(), 0.25);
    EXPECT_DOUBLE_EQ(engine::GetSinceLast(), 0.25);
    clock.Advance(0.016, 16);
    timer->Update();
    EXPECT_NEAR(engine::GetTime(), 0.266, 1e-9);
    EXPECT_NEAR(engine::GetSinceLast(), 0.016, 1e-9);
}

TEST_F(TimerTest, LongPassIsClampedButTimeKeepsItsLength) {
    timer->Start();
    clock.Advance(2.0, 2000);
    timer->Update();
    EXPECT_DOUBLE_EQ(timer->SinceLast(), 0.7);
    EXPECT_DOUBLE_EQ(timer->Time(), 2.0);
}

TEST_F(TimerTest, CounterJumpIsCorrectedByTheTickCount) {
    timer->Start();
    clock.Advance(5.0, 20);
    timer->Update();
    EXPECT_NEAR(timer->SinceLast(), 0.02, 1e-12);
    EXPECT_DOUBLE_EQ(timer->Time(), 5.0);
}

TEST_F(TimerTest, ClocksThatAgreeWithinASecondAreNotCorrected) {
    timer->Start();
    clock.Advance(0.5, 1400);
    timer->Update();
    EXPECT_DOUBLE_EQ(timer->SinceLast(), 0.5);
}

TEST_F(TimerTest, BackwardStepIsClampedToZero) {
    timer->Start();
    clock.Advance(0.3, 300);
    timer->Update();
    clock.counter -= 100000; // 0.1 s back, ticks still
    timer->Update();
    EXPECT_EQ(timer->SinceLast(), 0.0);
}

// A long pause must neither move the time nor read as a stall when playing resumes: the tick count
// that ran on meanwhile would otherwise clamp the first pass after it to 0.7 s.
TEST_F(TimerTest, PauseHoldsTheTimeAndResumesWithoutAJump) {
    timer->Start();
    clock.Advance(1.0, 1000);
    timer->Update();
    timer->SetPaused(true);
    for (int pass = 0; pass < 50; ++pass) {
        clock.Advance(0.2, 200);
        timer->Update();
        EXPECT_EQ(timer->Time(), 1.0);
        EXPECT_EQ(timer->SinceLast(), 0.0);
    }
    timer->SetPaused(false);
    clock.Advance(0.02, 20);
    timer->Update();
    EXPECT_NEAR(timer->Time(), 1.02, 1e-9);
    EXPECT_NEAR(timer->SinceLast(), 0.02, 1e-9);
}

TEST_F(TimerTest, RateScalesTimeFromWhereItChangesAndSwitchingClocksKeepsTheTime) {
    timer->Start();
    clock.Advance(2.0, 2000);
    timer->Update();
    timer->SetRate(0.25);
    clock.Advance(0.4, 400);
    timer->Update();
    EXPECT_NEAR(timer->Time(), 2.1, 1e-9);
    EXPECT_NEAR(timer->SinceLast(), 0.1, 1e-9);
    timer->SetRate(1.0);
    FakeClock other;
    other.counter = 123456789;
    timer->SwitchClock(&other);
    other.Advance(0.5, 500);
    clock.Advance(3.0, 3000); // no longer read
    timer->Update();
    EXPECT_NEAR(timer->Time(), 2.6, 1e-9);
    EXPECT_NEAR(timer->SinceLast(), 0.5, 1e-9);
    timer->SwitchClock(&clock);
}

namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override { snapshot.Start(); }
    void TearDown() override { snapshot.Stop(); }
    InputUpdate snapshot;
};

} // namespace

TEST_F(InputTest, EdgesAreSeenBeforeTheSnapshotAndHoldAfterIt) {
    EXPECT_EQ(snapshot.name, L"Input");
    EXPECT_EQ(snapshot.priority, 7000);
    // Pass N: the key goes down while the window events are pumped.
    Input::Get()->SetKey(27, true);
    // A module before the snapshot sees the edge.
    EXPECT_TRUE(engine::isPressed(27));
    EXPECT_FALSE(engine::isHeld(27));
    snapshot.Update();
    // A module after the snapshot sees the key held, and no edge.
    EXPECT_TRUE(engine::isHeld(27));
    EXPECT_FALSE(engine::isPressed(27));
    // Pass N+1: modules before the snapshot now see it held too.
    EXPECT_TRUE(engine::isHeld(27));
    Input::Get()->SetKey(27, false);
    EXPECT_TRUE(engine::isReleased(27));
    snapshot.Update();
    EXPECT_FALSE(engine::isReleased(27));
    EXPECT_FALSE(engine::isHeld(27));
}

TEST_F(InputTest, KeyCodesOutsideTheTableAreIgnored) {
    Input::Get()->SetKey(-1, true);
    Input::Get()->SetKey(256, true);
    Input::Get()->SetKey(100000, true);
    EXPECT_FALSE(engine::isPressed(-1));
    EXPECT_FALSE(engine::isHeld(256));
    EXPECT_FALSE(engine::isReleased(100000));
    for (int key = 0; key < Input::kKeyCount; ++key)
        EXPECT_EQ(Input::Get()->keys[key], 0) << key;
}

TEST_F(InputTest, MouseAndButtonsAreRecordedAndClearedAtStart) {
    Input* input = Input::Get();
    input->SetMousePosition(-5, 300);
    input->SetButton(Input::Right, true);
    EXPECT_EQ(input->mouseX, -5);
    EXPECT_EQ(input->mouseY, 300);
    EXPECT_EQ(input->buttons[2], 1);
    snapshot.Update();
    EXPECT_EQ(input->previousButtons[2], 1);
    snapshot.Start();
    EXPECT_EQ(input->mouseX, 0);
    EXPECT_EQ(input->buttons[2], 0);
    EXPECT_EQ(input->previousButtons[2], 0);
}

TEST_F(InputTest, StopDeletesTheInputState) {
    Input::Get();
    snapshot.Stop();
    EXPECT_EQ(Input::mInstance, nullptr);
    snapshot.Start();
    EXPECT_NE(Input::mInstance, nullptr);
}
