#include <engine/scene.h>

#include "math/operators.h"

namespace engine::gfx {

Spatial::Spatial() : parentWorld(math::Matrix4x4::Identity), parentInverse(math::Matrix4x4::Identity) {}

Spatial::~Spatial() = default;

math::Matrix4x4 Spatial::GetWorldMatrix() {
    return transform.LocalMatrix() * parentWorld;
}

math::Matrix4x4 Spatial::GetWorldInverse() {
    return transform.LocalInverse() * parentInverse;
}

math::Matrix4x4 Spatial::GetLocalMatrix() {
    return transform.LocalMatrix();
}

math::Matrix4x4 Spatial::GetLocalInverse() {
    return transform.LocalInverse();
}

void Spatial::SetLocalTransform(Transform newTransform) {
    transform = newTransform;
}

void Spatial::RefreshParentMatrices() {
    if (parent == nullptr)
        return;
    parentWorld = parent->GetWorldMatrix();
    parentInverse = parent->GetWorldInverse();
}

} // namespace engine::gfx
