// Pipes connect one track to one channel of a node's local transform: a time remap, a location axis,
// a rotation axis or a scale axis. Each pipe owns its track and steps it once per evaluation.
#pragma once

#include "anim/animationTrack.h"
#include "scene/transform.h"

#include <engine/math.h>

#include <memory>

namespace engine::gfx {

struct AnimationPipe {
    AnimationPipe(int channel, std::unique_ptr<AnimationTrack> track);
    virtual ~AnimationPipe();

    // Steps the track by deltaTime frames and applies its value to target. A time pipe also rewrites
    // deltaTime for the pipes after it.
    virtual void Apply(float& deltaTime, Transform& target) = 0;

    // Orders the pipes of a controller; one pipe per channel.
    int channel;
    std::unique_ptr<AnimationTrack> track;
};

struct AnimationVectorPipe : AnimationPipe {
    AnimationVectorPipe(int channel, std::unique_ptr<AnimationTrack> track, math::Vector3f axis);

    math::Vector3f axis;
};

// Adds axis * value to the translation.
struct LocPipe : AnimationVectorPipe {
    using AnimationVectorPipe::AnimationVectorPipe;
    void Apply(float& deltaTime, Transform& target) override;
};

// Rotates about axis after the rotation so far; values are in units of ten degrees.
struct RotPipe : AnimationVectorPipe {
    using AnimationVectorPipe::AnimationVectorPipe;
    void Apply(float& deltaTime, Transform& target) override;
};

// Scales along each positive axis component by component * value, folded into the rotation matrix.
struct ScalePipe : AnimationVectorPipe {
    using AnimationVectorPipe::AnimationVectorPipe;
    void Apply(float& deltaTime, Transform& target) override;
};

// Remaps time: its value, in seconds, says where the node's other curves should be, so the change of
// the value since the last evaluation becomes their step.
struct TimePipe : AnimationPipe {
    using AnimationPipe::AnimationPipe;
    void Apply(float& deltaTime, Transform& target) override;

    float previous = 0.0f;
};

} // namespace engine::gfx
