#include "anim/ipoPlayer.h"

#include <cmath>
#include <limits>

namespace engine::gfx {

namespace {
// Beyond this many periods past the end, a cyclic cursor wraps whole periods arithmetically: one loop
// turn per period would take too long after a far seek, and never ends once subtracting the period
// no longer changes a large time.
constexpr double kStepwiseWrapLimit = 1024.0;
} // namespace

IPOPlayer::IPOPlayer()
    : keyIndex(0), fraction(0.0f), time(1.0f), clamp(false), cycles(0), keyCount(0), keys(nullptr) {}

IPOPlayer::~IPOPlayer() = default;

void IPOPlayer::SetKeys(const std::vector<KeyPoint>* trackKeys) {
    keys = trackKeys;
    keyCount = static_cast<int>(trackKeys->size());
}

float IPOPlayer::UnwrappedTime() const {
    if (clamp || keyCount == 0)
        return time;
    const std::vector<KeyPoint>& k = *keys;
    return time + static_cast<float>(cycles) * (k[keyCount - 1].time - k[0].time);
}

void IPOPlayer::Advance(float dt) {
    // A non-finite step (from corrupt curve values upstream) would leave no usable time behind.
    if (!std::isfinite(dt))
        return;
    const int n = keyCount;
    if (n == 0) {
        time += dt;
        return;
    }
    const std::vector<KeyPoint>& k = *keys;
    const float period = k[n - 1].time - k[0].time;
    // Without a positive period the cyclic modes would loop forever; such a track holds its first key.
    if (!(period > 0.0f)) {
        time += dt;
        keyIndex = 0;
        fraction = 0.0f;
        cycles = 0;
        return;
    }
    // Stuck at the end: a clamped cursor past its last key ignores steps back.
    if (dt < 0.0f && clamp && k[n - 1].time <= time) {
        keyIndex = n - 1;
        fraction = 0.0f;
        return;
    }
    time += dt;
    StepBack();
    if (!clamp)
        SkipWholePeriods(period);
    StepForward();
    ComputeFraction();
}

void IPOPlayer::StepBack() {
    const std::vector<KeyPoint>& k = *keys;
    while (keyIndex >= 1 && k[keyIndex].time > time)
        --keyIndex;
}

void IPOPlayer::StepForward() {
    const std::vector<KeyPoint>& k = *keys;
    const int n = keyCount;
    for (;;) {
        if (!(k[(keyIndex + 1) % n].time < time))
            return;
        if (keyIndex + 1 == n) {
            if (cycles < std::numeric_limits<int>::max())
                ++cycles;
            if (!clamp) {
                time -= k[n - 1].time - k[0].time;
                keyIndex = -1;
            }
        }
        keyIndex = (keyIndex + 1) % n;
        if (keyIndex + 1 == n && clamp)
            return;
    }
}

void IPOPlayer::SkipWholePeriods(float period) {
    const std::vector<KeyPoint>& k = *keys;
    const double sinceFirst = static_cast<double>(time) - k[0].time;
    const double wraps = std::floor(sinceFirst / period);
    if (!(wraps > kStepwiseWrapLimit))
        return;
    // Leave the time one period past the first key so that the loop takes the last wrap itself and
    // ends on the same key and fraction as if it had taken every wrap.
    time = static_cast<float>(k[0].time + std::fmod(sinceFirst, static_cast<double>(period)) + period);
    const double skipped = wraps - 1.0 + cycles;
    cycles = skipped >= std::numeric_limits<int>::max() ? std::numeric_limits<int>::max() - 1
                                                        : static_cast<int>(skipped);
}

void IPOPlayer::ComputeFraction() {
    const std::vector<KeyPoint>& k = *keys;
    const int i = keyIndex;
    const int j = (keyIndex + 1) % keyCount;
    const float span = k[j].time - k[i].time;
    // Two keys at one time (a jump) make an empty segment, which starts at its first key.
    fraction = span != 0.0f ? (time - k[i].time) / span : 0.0f;
    if (fraction < 0.0f)
        fraction = 0.0f;
    if (fraction > 1.0f)
        fraction = 1.0f;
}

} // namespace engine::gfx
