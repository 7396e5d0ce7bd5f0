#include "core/timer.h"

#include <cmath>

namespace engine::core {

namespace {
// A single pass never reports more than this, so a stall does not throw animation far ahead.
constexpr double kMaxSinceLast = 0.7;
// Counter and tick count may drift apart; beyond this they are taken to disagree and ticks win.
constexpr double kMaxClockDisagreement = 1.0;
// A time that lies on a step up to this fraction of a step is taken to be on it, so that seconds
// computed as a sum of frame lengths do not skip a whole step for a rounding error.
constexpr double kStepTolerance = 1e-6;
} // namespace

Timer::Timer() : clock(&platform::SystemClock()) {
    name = L"Timer";
    priority = 50;
}

void Timer::SetClock(platform::Clock* newClock) {
    clock = newClock;
}

bool Timer::Start() {
    if (stepsPerSecond > 0)
        return true;
    secondsPerCount = 1.0 / static_cast<double>(clock->Frequency());
    startSeconds = static_cast<double>(clock->Counter()) * secondsPerCount;
    startTicks = clock->Ticks();
    return true;
}

void Timer::UseFixedSteps(int newStepsPerSecond) {
    if (newStepsPerSecond <= 0)
        return;
    stepsPerSecond = newStepsPerSecond;
    SetTime(time);
}

void Timer::SetTime(double seconds) {
    // Counted from the clock's reading now rather than from the top of the pass, so that a jump made
    // late in a pass lands where it was asked.
    const bool started = stepsPerSecond == 0 && secondsPerCount > 0.0;
    SetTimeAt(seconds, started ? clock->Counter() : 0);
}

void Timer::SetTimeAt(double seconds, std::uint64_t counter) {
    double now = time;
    if (stepsPerSecond > 0) {
        step = static_cast<std::int64_t>(std::ceil(seconds * stepsPerSecond - kStepTolerance));
        seconds = static_cast<double>(step) / stepsPerSecond;
    } else if (secondsPerCount > 0.0) {
        now = static_cast<double>(counter) * secondsPerCount - startSeconds + offset;
    }
    offset += seconds - now;
    time = seconds;
    lastTime = seconds;
    lastCounterTime = seconds;
}

void Timer::SetPaused(bool pause) {
    if (paused == pause)
        return;
    paused = pause;
    sinceLast = 0.0;
    if (!paused)
        SetTime(time);
}

void Timer::SetRate(double newRate) {
    if (!(newRate > 0.0) || newRate == rate)
        return;
    // Counted from here: what passed at the old rate stays as it was.
    SetTime(time);
    rate = newRate;
}

void Timer::SwitchClock(platform::Clock* newClock) {
    if (newClock == clock)
        return;
    clock = newClock;
    if (stepsPerSecond > 0 || secondsPerCount <= 0.0)
        return;
    secondsPerCount = 1.0 / static_cast<double>(clock->Frequency());
    startSeconds = static_cast<double>(clock->Counter()) * secondsPerCount;
    startTicks = clock->Ticks();
    lastElapsedTicks = 0;
    offset = 0.0;
    SetTime(time);
}

void Timer::Update() {
    if (paused) {
        sinceLast = 0.0;
        // The tick count goes on meanwhile; kept up with, it is not taken for a stall on resuming.
        if (stepsPerSecond == 0)
            lastElapsedTicks = clock->Ticks() - startTicks;
        return;
    }
    if (stepsPerSecond > 0) {
        ++step;
        time = static_cast<double>(step) / stepsPerSecond;
        sinceLast = 1.0 / stepsPerSecond;
        lastTime = time;
        return;
    }
    const double counterTime =
        static_cast<double>(clock->Counter()) * secondsPerCount - startSeconds + offset;
    time = rate == 1.0 ? counterTime : lastTime + (counterTime - lastCounterTime) * rate;
    lastCounterTime = counterTime;
    elapsedTicks = clock->Ticks() - startTicks;
    sinceLast = time - lastTime;
    const auto deltaTicks = static_cast<std::int32_t>(elapsedTicks - lastElapsedTicks);
    const double tickSeconds = deltaTicks * 0.001 * rate;
    if (std::fabs(sinceLast - tickSeconds) > kMaxClockDisagreement)
        sinceLast = tickSeconds;
    if (sinceLast < 0.0)
        sinceLast = 0.0;
    if (sinceLast > kMaxSinceLast)
        sinceLast = kMaxSinceLast;
    lastElapsedTicks = elapsedTicks;
    lastTime = time;
}

void Timer::Stop() {}

} // namespace engine::core
