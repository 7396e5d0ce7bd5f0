// The timer module: seconds since the main loop began and the seconds since the previous pass, read
// from a high-resolution counter and checked against the millisecond tick count.
#pragma once

#include "platform/clock.h"

#include <engine/module.h>
#include <engine/singleton.h>

#include <cstdint>

namespace engine::core {

class Timer : public Module, public pattern::Singleton<Timer> {
public:
    Timer();

    bool Start() override;
    // Advances time; sinceLast is corrected when counter and ticks disagree and clamped to [0, 0.7].
    void Update() override;
    void Stop() override;

    // Takes effect at the next Start. The clock must outlive the timer.
    void SetClock(platform::Clock* clock);
    // Moves the time to `seconds` from now on, before or after Start; the next pass measures its time
    // since the last from here, so a jump is not mistaken for a long frame.
    void SetTime(double seconds);

    double Time() const { return time; }
    double SinceLast() const { return sinceLast; }

private:
    double secondsPerCount = 0.0;
    double startSeconds = 0.0;
    std::uint32_t startTicks = 0;
    double lastTime = 0.0;
    std::uint32_t lastElapsedTicks = 0;
    double sinceLast = 0.0;
    double time = 0.0;
    std::uint32_t elapsedTicks = 0;
    // Added to the counter's seconds since Start.
    double offset = 0.0;

    platform::Clock* clock;
};

} // namespace engine::core
