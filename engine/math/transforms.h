// Builders for the matrices the engine needs: translation, embedding of a rotation, and the helpers
// that follow Direct3D's conventions exactly (left-handed perspective with depth 0 to 1, inverse,
// product, rotation about an axis, scaling), so results match what Direct3D would compute.
#pragma once

#include <engine/math.h>

namespace engine::math {

// The 3x3 identity, used to initialise rotations.
extern const Matrix3x3 kIdentity3x3;

// Identity with the last row (x, y, z, 1).
Matrix4x4 MatrixTranslation(const Vector3f& offset);
// The rotation in the upper-left block, zeros elsewhere except element 15 = 1.
Matrix4x4 MatrixFromRotation(const Matrix3x3& rotation);
Matrix4x4 MatrixMultiply(const Matrix4x4& a, const Matrix4x4& b);
// Left-handed perspective with a vertical field of view in radians; depth maps to 0..1.
Matrix4x4 MatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);
// General inverse. Returns false and leaves out untouched when the matrix is singular.
bool MatrixInverse(const Matrix4x4& m, Matrix4x4& out, float* determinant = nullptr);
// Rotation by angle radians about axis (normalised here), clockwise looking along the axis toward the
// origin in the left-handed convention, as Direct3D does.
Matrix4x4 MatrixRotationAxis(const Vector3f& axis, float angle);
Matrix4x4 MatrixScaling(float sx, float sy, float sz);

} // namespace engine::math
