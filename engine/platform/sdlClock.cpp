#include "platform/clock.h"

#include <SDL.h>

namespace engine::platform {

namespace {

class SdlClock final : public Clock {
public:
    std::uint64_t Counter() override { return SDL_GetPerformanceCounter(); }
    std::uint64_t Frequency() override { return SDL_GetPerformanceFrequency(); }
    // Truncated to 32 bits on purpose: elapsed ticks are computed with wrap-around arithmetic.
    std::uint32_t Ticks() override { return static_cast<std::uint32_t>(SDL_GetTicks64()); }
};

} // namespace

Clock& SystemClock() {
    static SdlClock clock;
    return clock;
}

} // namespace engine::platform
