// Scalar keyframe curves: one channel (a location axis, a rotation, a time remap, a shader value)
// that a time cursor walks and that turns the cursor's segment and fraction into a value.
#pragma once

#include "anim/ipoPlayer.h"

#include <vector>

namespace engine::gfx {

class AnimationTrack {
public:
    AnimationTrack();
    virtual ~AnimationTrack();
    // The cursor points at this track's key list, so a track never moves or copies.
    AnimationTrack(const AnimationTrack&) = delete;
    AnimationTrack& operator=(const AnimationTrack&) = delete;

    // Advances the cursor by deltaTime frames and evaluates.
    virtual void Step(float deltaTime);
    // Moves the cursor to an absolute time: a step by the difference to the cursor's unwrapped time.
    virtual void SetTime(float time);

    // Keys must arrive in ascending time, all before the first step.
    void AddKey(float time, float value);
    void SetExtrapolation(int mode);
    float GetValue() const { return value; }

    const IPOPlayer& GetPlayer() const { return player; }
    const std::vector<KeyPoint>& GetKeys() const { return keys; }

protected:
    // The value at the cursor, before the offset of the extrapolating cyclic mode.
    virtual float Interpolate() const = 0;

    int extrapolation;
    float value;
    IPOPlayer player;
    std::vector<KeyPoint> keys;
    int keyCount;
};

// Holds each key's value until the next key.
class ConstantAnimationTrack : public AnimationTrack {
protected:
    float Interpolate() const override;
};

class LinearAnimationTrack : public AnimationTrack {
protected:
    float Interpolate() const override;
};

// A cubic Bezier segment between two keys, shaped by the outgoing handle of the first and the incoming
// handle of the second. It is evaluated at the cursor's fraction as the curve parameter, not solved
// for the time coordinate.
class BezierAnimationTrack : public AnimationTrack {
public:
    // Once per key, right after AddKey.
    void AddHandles(KeyPoint left, KeyPoint right);

protected:
    float Interpolate() const override;

private:
    std::vector<KeyPoint> leftHandles;
    std::vector<KeyPoint> rightHandles;
};

} // namespace engine::gfx
