// Vectors and matrices of 32-bit floats in the row-vector convention: p' = p * M, the translation in
// the last row, and A * B applies A first. Matrix4x4 has the Direct3D 9 memory layout, so it goes to
// the device and to effect parameters unchanged.
#pragma once

#include <engine/export.h>

namespace engine::math {

struct ENGINE_API Vector3f {
    float x, y, z;

    Vector3f() : x(0.0f), y(0.0f), z(0.0f) {}
    Vector3f(float x, float y, float z) : x(x), y(y), z(z) {}
    Vector3f(const Vector3f& other) = default;

    void Assign(float x, float y, float z);
    void operator=(const Vector3f& other);
    Vector3f operator-() const;
    void Invert();
    float MagSquared() const;
    float Mag() const;
    // Divides by the length without a zero test: a zero vector becomes all NaN.
    void Normalize();
    static float Dist(const Vector3f& a, const Vector3f& b);
};

struct ENGINE_API Vector4f {
    float x, y, z, w;

    Vector4f() : x(0.0f), y(0.0f), z(0.0f), w(0.0f) {}
    Vector4f(float x, float y, float z, float w) : x(x), y(y), z(z), w(w) {}
    Vector4f(const Vector4f& other) = default;

    void Assign(float x, float y, float z, float w);
    void operator=(const Vector4f& other);
    float MagSquared() const;
    float Mag() const;
    void Normalize();
    static float Dist(const Vector4f& a, const Vector4f& b);
};

// Row-major 3x3 rotation: element (i, j) at index 3i + j; the rows are the images of the axes.
struct ENGINE_API Matrix3x3 {
    float m[9];
};

// Row-major 4x4: element (i, j) at index 4i + j, the Direct3D 9 layout.
struct ENGINE_API Matrix4x4 {
    float m[16];

    // Leaves the elements undefined, like the Direct3D type; copy Identity where a defined value is needed.
    Matrix4x4() {}
    constexpr Matrix4x4(float m0, float m1, float m2, float m3, float m4, float m5, float m6, float m7,
                        float m8, float m9, float m10, float m11, float m12, float m13, float m14, float m15)
        : m{m0, m1, m2, m3, m4, m5, m6, m7, m8, m9, m10, m11, m12, m13, m14, m15} {}
    Matrix4x4(const Matrix4x4& other) = default;

    void operator=(const Matrix4x4& other);
    Matrix3x3 GetRotation() const;
    // Writes the upper-left 3x3 block; the last column and the translation row stay as they were.
    void SetRotation(Matrix3x3 rotation);
    Vector3f GetTranslation() const;
    void SetTranslation(Vector3f translation);
    // this = this * Rz(angle): the rotation about z is applied after the existing transform.
    void ToZRot(float angle);

    static const Matrix4x4 Identity;
};

} // namespace engine::math
