// The time sources the timer reads: a high-resolution counter with its frequency, and a millisecond
// tick count. The system clock reads SDL's; tests and frame-exact captures drive their own.
#pragma once

#include <cstdint>

namespace engine::platform {

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t Counter() = 0;
    virtual std::uint64_t Frequency() = 0;
    virtual std::uint32_t Ticks() = 0;
};

// SDL's performance counter and tick count.
Clock& SystemClock();

} // namespace engine::platform
