#include "anim/animationPipe.h"

#include "math/operators.h"
#include "math/transforms.h"

namespace engine::gfx {

namespace {
constexpr float kFramesPerSecond = 25.0f;
// Rotation curves count in tens of degrees: pi * 10 / 180, as two factors in single precision.
constexpr float kTenDegreesPi = 31.415928f;
constexpr float kOneOver180 = 0.0055555557f;
} // namespace

AnimationPipe::AnimationPipe(int channel, std::unique_ptr<AnimationTrack> track)
    : channel(channel), track(std::move(track)) {}

AnimationPipe::~AnimationPipe() = default;

AnimationVectorPipe::AnimationVectorPipe(int channel, std::unique_ptr<AnimationTrack> track,
                                         math::Vector3f axis)
    : AnimationPipe(channel, std::move(track)), axis(axis) {}

void LocPipe::Apply(float& deltaTime, Transform& target) {
    track->Step(deltaTime);
    target.translation += axis * track->GetValue();
    target.isIdentity = false;
}

void RotPipe::Apply(float& deltaTime, Transform& target) {
    track->Step(deltaTime);
    const float angle = track->GetValue() * kTenDegreesPi * kOneOver180;
    target.rotation = target.rotation * math::MatrixRotationAxis(axis, angle).GetRotation();
    target.isIdentity = false;
}

void ScalePipe::Apply(float& deltaTime, Transform& target) {
    track->Step(deltaTime);
    const float v = track->GetValue();
    if (axis.x > 0.0f)
        target.rotation = target.rotation * math::MatrixScaling(axis.x * v, 1.0f, 1.0f).GetRotation();
    if (axis.y > 0.0f)
        target.rotation = target.rotation * math::MatrixScaling(1.0f, axis.y * v, 1.0f).GetRotation();
    if (axis.z > 0.0f)
        target.rotation = target.rotation * math::MatrixScaling(1.0f, 1.0f, axis.z * v).GetRotation();
    target.isIdentity = false;
}

void TimePipe::Apply(float& deltaTime, Transform&) {
    track->Step(deltaTime);
    const float now = track->GetValue() * kFramesPerSecond;
    deltaTime = now - previous;
    previous = now;
}

} // namespace engine::gfx
