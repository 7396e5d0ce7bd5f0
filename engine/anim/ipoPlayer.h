// The time cursor of an animation track: finds the key segment that holds the current time and how far
// into it the time lies. Times are in frames at 25 frames per second and a new cursor stands at 1.0.
#pragma once

#include <vector>

namespace engine::gfx {

// A keyframe or a Bezier handle: a value at a time.
struct KeyPoint {
    float time;
    float value;
};

// What a track does outside its keys. Plain ints, because the files and the cursor store the code.
struct Extrapolation {
    enum : int {
        Constant = 0,
        Cyclic = 2,
        // Cyclic, with each cycle raised by the difference between the last and the first key value.
        CyclicExtrapolation = 3,
    };
};

class IPOPlayer {
public:
    IPOPlayer();
    virtual ~IPOPlayer();

    // Moves the cursor by dt frames. Keys are expected in ascending time. A track with no keys only
    // keeps time; one whose first and last keys do not span a positive period rests on its first key.
    // Whatever the step, the cost is at most that of two binary searches over the keys: the curve
    // files may hold any number of keys and a cyclic cursor may be sent any number of periods ahead.
    void Advance(float dt);

    // The cursor's time before the cyclic wraps: time plus one period per wrap.
    float UnwrappedTime() const;

    // Called by the track after every added key.
    void SetKeys(const std::vector<KeyPoint>* trackKeys);

    // The key that starts the current segment.
    int keyIndex;
    // How far the time lies into the segment, within [0, 1].
    float fraction;
    float time;
    // Set for Constant extrapolation: the cursor stops at the last key instead of wrapping.
    bool clamp;
    // How often the cursor has passed the last key.
    int cycles;
    int keyCount;
    const std::vector<KeyPoint>* keys;

private:
    // The last key at or before the time among keys 0 to from; key 0 when there is none.
    int StepBack(int from) const;
    // From key `from` on, the key that starts the segment reaching the time: the first key whose
    // successor does not lie before the time, or the last key.
    int StepForward(int from) const;
    // Subtracts one period, then as many more as bring the time back to the last key or before it,
    // counting each in cycles.
    void WrapIntoPeriod();
    void ComputeFraction();
};

} // namespace engine::gfx
