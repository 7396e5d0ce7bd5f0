// The timer module: seconds since the main loop began and the seconds since the previous pass, read
// from a high-resolution counter and checked against the millisecond tick count, or, for frame-exact
// captures, counted in whole fixed steps that do not depend on how fast the machine is.
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
    platform::Clock* GetClock() const { return clock; }
    // Moves the time to `seconds` from the clock's present reading on, before or after Start; the next
    // pass measures its time since the last from here, so a jump is not mistaken for a long frame. With
    // fixed steps the time lands on the first step at or after `seconds`.
    void SetTime(double seconds);
    // The same, counted from the moment the clock read `counter` rather than from its reading now, for a
    // clock that something else was moved against at that moment (the music, against the samples
    // played). Before Start, as SetTime.
    void SetTimeAt(double seconds, std::uint64_t counter);
    // From now on every pass advances the time by exactly one step of 1/stepsPerSecond, the first pass
    // included, and reads no clock: pass n after a move to step s sees (s + n) / stepsPerSecond, so no
    // rounding accumulates and two runs see the same times. For the timer's whole life.
    void UseFixedSteps(int stepsPerSecond);

    // Paused, a pass advances nothing: the time stands and the time since the last pass is 0. Resuming
    // goes on from the time it stood at, counted from the clock's reading now.
    void SetPaused(bool paused);
    bool Paused() const { return paused; }
    // How many seconds of demo time a second of the clock makes (live, not with fixed steps): 0.5 plays
    // at half speed. Taking effect now, from the present time on.
    void SetRate(double rate);
    double Rate() const { return rate; }
    // Reads another clock from now on, the time going on from where it is, unlike SetClock.
    void SwitchClock(platform::Clock* clock);
    // For a replay that walks a scene in fixed steps outside the main loop: what SinceLast answers until
    // the next pass measures it again.
    void SetSinceLast(double seconds) { sinceLast = seconds; }

    double Time() const { return time; }
    double SinceLast() const { return sinceLast; }
    // 0 when the timer reads its clock.
    int StepsPerSecond() const { return stepsPerSecond; }

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
    // Fixed steps: how many make a second (0: read the clock), and the step the time stands on.
    int stepsPerSecond = 0;
    std::int64_t step = 0;
    bool paused = false;
    double rate = 1.0;
    // The counter's seconds (with the offset) at the previous pass, from which a rate other than 1
    // scales what has passed since.
    double lastCounterTime = 0.0;

    platform::Clock* clock;
};

} // namespace engine::core
