// Arithmetic on the math types, used inside the engine: component-wise vector sums and products,
// row-vector transforms (v * M) and matrix products (A * B applies A first).
#pragma once

#include <engine/math.h>

namespace engine::math {

inline Vector3f operator+(const Vector3f& a, const Vector3f& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline void operator+=(Vector3f& a, const Vector3f& b) {
    a.x += b.x;
    a.y += b.y;
    a.z += b.z;
}
inline void operator+=(Vector4f& a, const Vector4f& b) {
    a.x += b.x;
    a.y += b.y;
    a.z += b.z;
    a.w += b.w;
}
inline Vector3f operator*(const Vector3f& v, const float& s) {
    return {v.x * s, v.y * s, v.z * s};
}
inline Vector4f operator*(const Vector4f& v, const float& s) {
    return {v.x * s, v.y * s, v.z * s, v.w * s};
}
inline Vector3f operator*(const Vector3f& a, const Vector3f& b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z};
}
inline Vector4f operator*(const Vector4f& a, const Vector4f& b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z, a.w * b.w};
}

// (x, y, z, 1) * M, first three components; no division by w, so a projective matrix gives the
// undivided coordinates.
inline Vector3f operator*(const Vector3f& v, const Matrix4x4& m) {
    const float* e = m.m;
    return {v.x * e[0] + v.y * e[4] + v.z * e[8] + e[12], v.x * e[1] + v.y * e[5] + v.z * e[9] + e[13],
            v.x * e[2] + v.y * e[6] + v.z * e[10] + e[14]};
}

inline Vector3f operator*(const Vector3f& v, const Matrix3x3& r) {
    const float* e = r.m;
    return {v.x * e[0] + v.y * e[3] + v.z * e[6], v.x * e[1] + v.y * e[4] + v.z * e[7],
            v.x * e[2] + v.y * e[5] + v.z * e[8]};
}

inline Vector4f operator*(const Vector4f& v, const Matrix4x4& m) {
    const float* e = m.m;
    return {v.x * e[0] + v.y * e[4] + v.z * e[8] + v.w * e[12],
            v.x * e[1] + v.y * e[5] + v.z * e[9] + v.w * e[13],
            v.x * e[2] + v.y * e[6] + v.z * e[10] + v.w * e[14],
            v.x * e[3] + v.y * e[7] + v.z * e[11] + v.w * e[15]};
}

Matrix4x4 operator*(const Matrix4x4& a, const Matrix4x4& b);
Matrix3x3 operator*(const Matrix3x3& a, const Matrix3x3& b);

} // namespace engine::math
