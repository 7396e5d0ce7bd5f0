#include "scene/transform.h"

#include "math/operators.h"
#include "math/transforms.h"

namespace engine::gfx {

Transform::Transform()
    : rotation(math::kIdentity3x3), translation(0.0f, 0.0f, 0.0f), scale(1.0f), isIdentity(true),
      spareFlag(false) {}

math::Matrix4x4 Transform::LocalMatrix() const {
    math::Matrix4x4 local = math::MatrixFromRotation(rotation);
    local.SetTranslation(translation);
    return local;
}

math::Matrix4x4 Transform::LocalInverse() const {
    return math::MatrixTranslation(-translation) * math::MatrixFromRotation(Transposed(rotation));
}

math::Matrix3x3 Transposed(const math::Matrix3x3& r) {
    return {{r.m[0], r.m[3], r.m[6], r.m[1], r.m[4], r.m[7], r.m[2], r.m[5], r.m[8]}};
}

} // namespace engine::gfx
