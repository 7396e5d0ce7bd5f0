#include <engine/math.h>

#include "math/operators.h"

#include <cmath>

namespace engine::math {

constinit const Matrix4x4 Matrix4x4::Identity(1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f,
                                              1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);

void Matrix4x4::operator=(const Matrix4x4& other) {
    for (int i = 0; i < 16; ++i)
        m[i] = other.m[i];
}

Matrix3x3 Matrix4x4::GetRotation() const {
    return {{m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]}};
}

void Matrix4x4::SetRotation(Matrix3x3 rotation) {
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            m[4 * row + column] = rotation.m[3 * row + column];
}

Vector3f Matrix4x4::GetTranslation() const {
    return {m[12], m[13], m[14]};
}

void Matrix4x4::SetTranslation(Vector3f translation) {
    m[12] = translation.x;
    m[13] = translation.y;
    m[14] = translation.z;
}

void Matrix4x4::ToZRot(float angle) {
    const float c = std::cos(angle);
    const float s = std::sin(angle);
    const Matrix4x4 rz(c, s, 0.0f, 0.0f, -s, c, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f, 0.0f, 0.0f, 0.0f, 0.0f, 1.0f);
    *this = *this * rz;
}

Matrix4x4 operator*(const Matrix4x4& a, const Matrix4x4& b) {
    Matrix4x4 result;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            result.m[4 * i + j] = a.m[4 * i] * b.m[j] + a.m[4 * i + 1] * b.m[4 + j] +
                                  a.m[4 * i + 2] * b.m[8 + j] + a.m[4 * i + 3] * b.m[12 + j];
    return result;
}

Matrix3x3 operator*(const Matrix3x3& a, const Matrix3x3& b) {
    Matrix3x3 result;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            result.m[3 * i + j] =
                a.m[3 * i] * b.m[j] + a.m[3 * i + 1] * b.m[3 + j] + a.m[3 * i + 2] * b.m[6 + j];
    return result;
}

} // namespace engine::math
