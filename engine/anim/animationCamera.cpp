#include "anim/animationCamera.h"

#include "math/operators.h"
#include "math/transforms.h"

namespace engine::gfx {

AnimationCamera::AnimationCamera(Spatial* parent) : Node(parent) {}

AnimationCamera::~AnimationCamera() {
    controller.reset();
}

math::Matrix4x4 AnimationCamera::GetWorldMatrix() {
    if (transform.isIdentity)
        return parentWorld;
    const math::Matrix4x4 local =
        math::MatrixTranslation(transform.translation) * math::MatrixFromRotation(transform.rotation);
    return local * parentWorld;
}

void AnimationCamera::Update(Renderer* renderer) {
    if (parent != nullptr)
        parentWorld = parent->GetWorldMatrix();
    if (controller) {
        transform = controller->Evaluate();
        transform.translation = -transform.translation;
        transform.rotation = Transposed(transform.rotation);
    }
    UpdateChildren(renderer);
}

} // namespace engine::gfx
