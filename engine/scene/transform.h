// The rigid local transform every scene node carries, and the two matrices built from it: rotate, then
// translate, and its cheap inverse, which relies on the rotation being orthonormal.
#pragma once

#include <engine/math.h>

namespace engine::gfx {

struct Transform {
    // Rows are the rotated axes. Scale curves fold their scaling into this matrix too.
    math::Matrix3x3 rotation;
    math::Vector3f translation;
    // Carried with the transform; the matrix builders do not read it.
    float scale;
    // Cleared whenever an animation pipe writes the transform; the camera reads it as "no pose yet".
    bool isIdentity;
    bool spareFlag;

    Transform();

    // L = R4 * T: the rotation in the upper-left block, the translation in the last row.
    math::Matrix4x4 LocalMatrix() const;
    // T(-translation) * transpose(R4), the inverse of LocalMatrix for an orthonormal rotation only.
    math::Matrix4x4 LocalInverse() const;
};

// Rows become columns: the inverse of an orthonormal rotation.
math::Matrix3x3 Transposed(const math::Matrix3x3& r);

} // namespace engine::gfx
