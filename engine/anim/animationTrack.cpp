#include "anim/animationTrack.h"

namespace engine::gfx {

AnimationTrack::AnimationTrack() : extrapolation(Extrapolation::Constant), value(0.0f), keyCount(0) {}

AnimationTrack::~AnimationTrack() = default;

void AnimationTrack::AddKey(float time, float keyValue) {
    keys.push_back({time, keyValue});
    player.SetKeys(&keys);
    keyCount = static_cast<int>(keys.size());
}

void AnimationTrack::SetExtrapolation(int mode) {
    extrapolation = mode;
    player.clamp = mode == Extrapolation::Constant;
}

void AnimationTrack::Step(float deltaTime) {
    player.Advance(deltaTime);
    if (keyCount == 0) {
        value = 0.0f;
        return;
    }
    value = Interpolate();
    if (extrapolation == Extrapolation::CyclicExtrapolation)
        value += (keys[keyCount - 1].value - keys[0].value) * static_cast<float>(player.cycles);
}

void AnimationTrack::SetTime(float time) {
    // Measured from the unwrapped time: against the wrapped one, every call after a wrap would count
    // one more cycle and the extrapolating cyclic mode would climb on each call.
    Step(time - player.UnwrappedTime());
}

float ConstantAnimationTrack::Interpolate() const {
    return keys[player.keyIndex].value;
}

float LinearAnimationTrack::Interpolate() const {
    const float f = player.fraction;
    return (1.0f - f) * keys[player.keyIndex].value + f * keys[(player.keyIndex + 1) % keyCount].value;
}

void BezierAnimationTrack::AddHandles(KeyPoint left, KeyPoint right) {
    leftHandles.push_back(left);
    rightHandles.push_back(right);
}

float BezierAnimationTrack::Interpolate() const {
    const int i = player.keyIndex;
    const int j = (i + 1) % keyCount;
    // A key added without handles uses itself as its handle, so it can never index past the lists.
    const float p0 = keys[i].value;
    const float p1 = i < static_cast<int>(rightHandles.size()) ? rightHandles[i].value : p0;
    const float p3 = keys[j].value;
    const float p2 = j < static_cast<int>(leftHandles.size()) ? leftHandles[j].value : p3;
    const float f = player.fraction;
    // Only the value coordinate is needed: the time coordinate of the curve is never used.
    return p0 +
           f * (3.0f * (p1 - p0) + f * (3.0f * (p0 - 2.0f * p1 + p2) + f * (p3 - p0 + 3.0f * (p1 - p2))));
}

} // namespace engine::gfx
