#include "core/timer.h"

#include <cmath>

namespace engine::core {

namespace {
// A single pass never reports more than this, so a stall does not throw animation far ahead.
constexpr double kMaxSinceLast = 0.7;
// Counter and tick count may drift apart; beyond this they are taken to disagree and ticks win.
constexpr double kMaxClockDisagreement = 1.0;
} // namespace

Timer::Timer() : clock(&platform::SystemClock()) {
    name = L"Timer";
    priority = 50;
}

void Timer::SetClock(platform::Clock* newClock) {
    clock = newClock;
}

bool Timer::Start() {
    secondsPerCount = 1.0 / static_cast<double>(clock->Frequency());
    startSeconds = static_cast<double>(clock->Counter()) * secondsPerCount;
    startTicks = clock->Ticks();
    return true;
}

void Timer::SetTime(double seconds) {
    offset += seconds - time;
    time = seconds;
    lastTime = seconds;
}

void Timer::Update() {
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
