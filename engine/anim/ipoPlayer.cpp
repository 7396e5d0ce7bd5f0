#include "anim/ipoPlayer.h"

#include <cmath>
#include <limits>

namespace engine::gfx {

namespace {

// Adds wraps to a count that stops at the largest int rather than overflow.
int AddCycles(int cycles, double wraps) {
    const double total = static_cast<double>(cycles) + wraps;
    return total >= std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                    : static_cast<int>(total);
}

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
    // A non-finite step (from corrupt curve values upstream), or one past the range of a float, would
    // leave no usable time behind.
    const float next = time + dt;
    if (!std::isfinite(next))
        return;
    const int n = keyCount;
    if (n == 0) {
        time = next;
        return;
    }
    const std::vector<KeyPoint>& k = *keys;
    // Without a positive period the cyclic modes would never end a wrap; such a track holds its first key.
    if (!(k[n - 1].time - k[0].time > 0.0f)) {
        time = next;
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
    time = next;
    const int start = StepBack(keyIndex < n ? keyIndex : n - 1);
    keyIndex = StepForward(start);
    // A cursor on the last key with the time past the first goes round once more: a cyclic one takes
    // the time back by whole periods, a clamped one walks the keys again and stops on the last, which
    // only counts the pass. A clamped cursor that has just arrived at the last key stays there.
    if (keyIndex == n - 1 && (!clamp || start == n - 1) && k[0].time < time) {
        if (clamp)
            cycles = AddCycles(cycles, 1.0);
        else
            WrapIntoPeriod();
        keyIndex = StepForward(0);
    }
    ComputeFraction();
}

// Both searches gallop from the cursor's key before they bisect: a move of d keys costs about 2 log d
// comparisons, so the usual move to a neighbouring segment costs one or two, and a far one no more
// than a search of all keys.
int IPOPlayer::StepBack(int from) const {
    const std::vector<KeyPoint>& k = *keys;
    int high = from; // a key after the time
    if (!(k[high].time > time))
        return from;
    int step = 1;
    while (high - step > 0 && k[high - step].time > time) {
        high -= step;
        step *= 2;
    }
    int low = high - step > 0 ? high - step : 0;
    for (--high; low < high;) {
        const int middle = low + (high - low + 1) / 2;
        if (k[middle].time > time)
            high = middle - 1;
        else
            low = middle;
    }
    return low;
}

int IPOPlayer::StepForward(int from) const {
    const std::vector<KeyPoint>& k = *keys;
    int low = from + 1; // every key from `from` + 1 up to here lies before the time
    int high = low;
    for (int step = 1; high < keyCount && k[high].time < time; step *= 2) {
        low = high + 1;
        high = low + step;
    }
    if (high > keyCount)
        high = keyCount;
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (k[middle].time < time)
            low = middle + 1;
        else
            high = middle;
    }
    return low - 1;
}

void IPOPlayer::WrapIntoPeriod() {
    const float first = (*keys)[0].time;
    const float last = (*keys)[keyCount - 1].time;
    const float period = last - first;
    if (time - period <= last) {
        time -= period;
        cycles = AddCycles(cycles, 1.0);
        return;
    }
    // Far past the end, one subtraction per period would cost as much as the periods are many, and
    // never ends once the period is below the precision of the time. In double precision the remainder
    // is exact, and a remainder of 0 lands on the last key, as wrapping period by period would.
    const double span = static_cast<double>(last) - first;
    const double sinceFirst = static_cast<double>(time) - first;
    double remainder = std::fmod(sinceFirst, span);
    if (remainder == 0.0)
        remainder = span;
    cycles = AddCycles(cycles, std::round((sinceFirst - remainder) / span));
    time = static_cast<float>(first + remainder);
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
