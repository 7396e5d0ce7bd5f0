#include <engine/math.h>

#include <cmath>

namespace engine::math {

void Vector3f::Assign(float newX, float newY, float newZ) {
    x = newX;
    y = newY;
    z = newZ;
}

void Vector3f::operator=(const Vector3f& other) {
    x = other.x;
    y = other.y;
    z = other.z;
}

Vector3f Vector3f::operator-() const {
    return {-x, -y, -z};
}

void Vector3f::Invert() {
    x = -x;
    y = -y;
    z = -z;
}

float Vector3f::MagSquared() const {
    return x * x + y * y + z * z;
}
float Vector3f::Mag() const {
    return std::sqrt(MagSquared());
}

void Vector3f::Normalize() {
    const float s = 1.0f / std::sqrt(MagSquared());
    x *= s;
    y *= s;
    z *= s;
}

float Vector3f::Dist(const Vector3f& a, const Vector3f& b) {
    return Vector3f(b.x - a.x, b.y - a.y, b.z - a.z).Mag();
}

void Vector4f::Assign(float newX, float newY, float newZ, float newW) {
    x = newX;
    y = newY;
    z = newZ;
    w = newW;
}

void Vector4f::operator=(const Vector4f& other) {
    x = other.x;
    y = other.y;
    z = other.z;
    w = other.w;
}

float Vector4f::MagSquared() const {
    return x * x + y * y + z * z + w * w;
}
float Vector4f::Mag() const {
    return std::sqrt(MagSquared());
}

void Vector4f::Normalize() {
    const float s = 1.0f / std::sqrt(MagSquared());
    x *= s;
    y *= s;
    z *= s;
    w *= s;
}

float Vector4f::Dist(const Vector4f& a, const Vector4f& b) {
    return Vector4f(b.x - a.x, b.y - a.y, b.z - a.z, b.w - a.w).Mag();
}

} // namespace engine::math
