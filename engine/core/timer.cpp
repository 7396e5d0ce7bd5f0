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
}

void Timer::Update() {
    if (stepsPerSecond > 0) {
        ++step;
        time = static_cast<double>(step) / stepsPerSecond;
        sinceLast = 1.0 / stepsPerSecond;
        lastTime = time;
        return;
    }
    time = static_cast<double>(clock->Counter()) * secondsPerCount - startSeconds + offset;
    elapsedTicks = clock->Ticks() - startTicks;
    sinceLast = time - lastTime;
    const auto deltaTicks = static_cast<std::int32_t>(elapsedTicks - lastElapsedTicks);
    if (std::fabs(sinceLast - deltaTicks * 0.001) > kMaxClockDisagreement)
        sinceLast = deltaTicks * 0.001;
    if (sinceLast < 0.0)
        sinceLast = 0.0;
    if (sinceLast > kMaxSinceLast)
        sinceLast = kMaxSinceLast;
    lastElapsedTicks = elapsedTicks;
    lastTime = time;
}

void Timer::Stop() {}

} // namespace engine::core
