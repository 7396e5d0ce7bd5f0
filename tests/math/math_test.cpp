#include "math/operators.h"
#include "math/transforms.h"

#include <engine/math.h>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace engine::math;

namespace {

constexpr float kPi = std::numbers::pi_v<float>;

void ExpectMatrixNear(const Matrix4x4& actual, const Matrix4x4& expected, float tolerance = 1e-5f) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(actual.m[i], expected.m[i], tolerance) << "element " << i;
}

void ExpectVectorNear(const Vector3f& v, float x, float y, float z, float tolerance = 1e-5f) {
    EXPECT_NEAR(v.x, x, tolerance);
    EXPECT_NEAR(v.y, y, tolerance);
    EXPECT_NEAR(v.z, z, tolerance);
}

} // namespace

TEST(Vectors, LengthsDistancesAndNormalisation) {
    Vector3f v(3.0f, 4.0f, 12.0f);
    EXPECT_FLOAT_EQ(v.MagSquared(), 169.0f);
    EXPECT_FLOAT_EQ(v.Mag(), 13.0f);
    v.Normalize();
    EXPECT_NEAR(v.Mag(), 1.0f, 1e-6f);
    EXPECT_FLOAT_EQ(Vector3f::Dist({1, 1, 1}, {4, 5, 1}), 5.0f);
    EXPECT_FLOAT_EQ(Vector4f::Dist({0, 0, 0, 0}, {1, 1, 1, 1}), 2.0f);
    Vector4f q(0.0f, 0.0f, 0.0f, 2.0f);
    q.Normalize();
    EXPECT_FLOAT_EQ(q.w, 1.0f);
}

TEST(Vectors, NormalizingZeroGivesNaN) {
    Vector3f zero;
    zero.Normalize();
    EXPECT_TRUE(std::isnan(zero.x) && std::isnan(zero.y) && std::isnan(zero.z));
}

TEST(Vectors, ArithmeticIsComponentWise) {
    Vector3f a(1, 2, 3);
    const Vector3f negated = -a;
    ExpectVectorNear(negated, -1, -2, -3);
    a.Invert();
    ExpectVectorNear(a, -1, -2, -3);
    a += Vector3f(1, 1, 1);
    ExpectVectorNear(a, 0, -1, -2);
    ExpectVectorNear(Vector3f(1, 2, 3) * Vector3f(2, 3, 4), 2, 6, 12);
    ExpectVectorNear(Vector3f(1, 2, 3) * 2.0f, 2, 4, 6);
    Vector4f b(1, 2, 3, 4);
    b += Vector4f(1, 1, 1, 1);
    const Vector4f scaled = b * 0.5f;
    EXPECT_FLOAT_EQ(scaled.w, 2.5f);
}

TEST(Matrices, IdentityIsAConstantOfTheRightShape) {
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(Matrix4x4::Identity.m[i], (i % 5 == 0) ? 1.0f : 0.0f);
}

TEST(Matrices, RotationAndTranslationBlocksAreIndependent) {
    Matrix4x4 m(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
    const Matrix3x3 r = {{0, 1, 0, -1, 0, 0, 0, 0, 1}};
    m.SetRotation(r);
    const Matrix3x3 back = m.GetRotation();
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(back.m[i], r.m[i]);
    EXPECT_EQ(m.m[3], 4.0f);
    EXPECT_EQ(m.m[12], 13.0f);
    EXPECT_EQ(m.m[15], 16.0f);
    m.SetTranslation(Vector3f(7, 8, 9));
    ExpectVectorNear(m.GetTranslation(), 7, 8, 9);
    EXPECT_EQ(m.m[1], 1.0f);
    EXPECT_EQ(m.m[15], 16.0f);
}

TEST(Matrices, ZRotationIsAppliedAfterTheExistingTransform) {
    Matrix4x4 m = Matrix4x4::Identity;
    m.ToZRot(0.0f);
    ExpectMatrixNear(m, Matrix4x4::Identity, 0.0f);
    m.ToZRot(kPi / 2);
    ExpectVectorNear(Vector3f(1, 0, 0) * m, 0, 1, 0);
    ExpectVectorNear(Vector3f(0, 1, 0) * m, -1, 0, 0);
    // Translate first, then rotate: the translated point is rotated too.
    Matrix4x4 moved = MatrixTranslation(Vector3f(1, 0, 0));
    moved.ToZRot(kPi / 2);
    ExpectVectorNear(Vector3f(0, 0, 0) * moved, 0, 1, 0);
}

TEST(Matrices, ProductsApplyTheLeftMatrixFirst) {
    const Matrix4x4 scale = MatrixScaling(2, 2, 2);
    const Matrix4x4 shift = MatrixTranslation(Vector3f(1, 0, 0));
    ExpectVectorNear(Vector3f(1, 0, 0) * (scale * shift), 3, 0, 0);
    ExpectVectorNear(Vector3f(1, 0, 0) * (shift * scale), 4, 0, 0);
    ExpectMatrixNear(MatrixMultiply(scale, shift), scale * shift, 0.0f);
    const Matrix3x3 quarter = {{0, 1, 0, -1, 0, 0, 0, 0, 1}};
    const Matrix3x3 half = quarter * quarter;
    ExpectVectorNear(Vector3f(1, 0, 0) * half, -1, 0, 0);
}

TEST(Matrices, PointTransformIgnoresTheLastColumn) {
    const Matrix4x4 projective(1, 0, 0, 5, 0, 1, 0, 6, 0, 0, 1, 7, 0, 0, 0, 8);
    ExpectVectorNear(Vector3f(1, 2, 3) * projective, 1, 2, 3);
    const Vector4f full = Vector4f(1, 2, 3, 1) * projective;
    EXPECT_FLOAT_EQ(full.w, 5 + 12 + 21 + 8);
}

TEST(Matrices, InverseOfARigidTransform) {
    Matrix4x4 rigid = MatrixRotationAxis(Vector3f(1, 2, 3), 0.7f);
    rigid.SetTranslation(Vector3f(4, -5, 6));
    Matrix4x4 inverse;
    ASSERT_TRUE(MatrixInverse(rigid, inverse));
    ExpectMatrixNear(rigid * inverse, Matrix4x4::Identity);
    // A rigid inverse is the transposed rotation with the rotated, negated translation.
    const Matrix3x3 r = rigid.GetRotation();
    EXPECT_NEAR(inverse.m[1], r.m[3], 1e-6f);
    ExpectVectorNear(Vector3f(4, -5, 6) * inverse, 0, 0, 0);
}

TEST(Matrices, InverseOfAGeneralMatrixAndOfASingularOne) {
    const Matrix4x4 general(2, 0, 0, 1, 1, 3, 0, 0, 0, 1, 4, 0, 1, 0, 0, 5);
    Matrix4x4 inverse;
    float determinant = 0.0f;
    ASSERT_TRUE(MatrixInverse(general, inverse, &determinant));
    // Hand-expanded determinant: 2*(3*4*5) - 1*det([[1,3,0],[0,1,4],[1,0,0]]) = 120 - 12 = 108.
    EXPECT_FLOAT_EQ(determinant, 108.0f);
    ExpectMatrixNear(general * inverse, Matrix4x4::Identity);
    ExpectMatrixNear(inverse * general, Matrix4x4::Identity);

    Matrix4x4 untouched = Matrix4x4::Identity;
    const Matrix4x4 singular(1, 2, 3, 4, 2, 4, 6, 8, 0, 0, 1, 0, 0, 0, 0, 1);
    EXPECT_FALSE(MatrixInverse(singular, untouched));
    ExpectMatrixNear(untouched, Matrix4x4::Identity, 0.0f);
}

TEST(Matrices, PerspectiveMatchesTheLeftHandedFormula) {
    // 800x600, pi/4, near 0.5, far 1000: yScale = 1 / tan(pi/8) = 2.4142137.
    const Matrix4x4 p = MatrixPerspectiveFovLH(0.7853982f, 800.0f / 600.0f, 0.5f, 1000.0f);
    const Matrix4x4 expected(1.8106602f, 0, 0, 0, 0, 2.4142137f, 0, 0, 0, 0, 1000.0f / 999.5f, 1, 0, 0,
                             -0.5f * 1000.0f / 999.5f, 0);
    ExpectMatrixNear(p, expected);
    // Depth runs 0 at the near plane to 1 at the far plane after the divide by w.
    for (float z : {0.5f, 1000.0f}) {
        const Vector4f clip = Vector4f(0, 0, z, 1) * p;
        EXPECT_NEAR(clip.z / clip.w, z == 0.5f ? 0.0f : 1.0f, 1e-6f);
    }
    // The value the device notes give for near 1, far 100 at z = 5.
    const Vector4f clip = Vector4f(0, 0, 5, 1) * MatrixPerspectiveFovLH(kPi / 4, 1.0f, 1.0f, 100.0f);
    EXPECT_NEAR(clip.z / clip.w, 0.80808f, 1e-5f);
}

TEST(Matrices, AxisRotationFollowsTheLeftHandedConvention) {
    // About z it agrees with ToZRot.
    Matrix4x4 z = Matrix4x4::Identity;
    z.ToZRot(0.3f);
    ExpectMatrixNear(MatrixRotationAxis(Vector3f(0, 0, 5), 0.3f), z);
    // About x by 90 degrees: y goes to z. About y by 90 degrees: z goes to x.
    ExpectVectorNear(Vector3f(0, 1, 0) * MatrixRotationAxis(Vector3f(1, 0, 0), kPi / 2), 0, 0, 1);
    ExpectVectorNear(Vector3f(0, 0, 1) * MatrixRotationAxis(Vector3f(0, 1, 0), kPi / 2), 1, 0, 0);
    // About the diagonal by 120 degrees the axes cycle.
    ExpectVectorNear(Vector3f(1, 0, 0) * MatrixRotationAxis(Vector3f(1, 1, 1), 2 * kPi / 3), 0, 1, 0);
}

TEST(Matrices, BuildersForTranslationScalingAndEmbeddedRotation) {
    ExpectVectorNear(Vector3f(1, 1, 1) * MatrixScaling(2, 3, 4), 2, 3, 4);
    const Matrix4x4 embedded = MatrixFromRotation(kIdentity3x3);
    ExpectMatrixNear(embedded, Matrix4x4::Identity, 0.0f);
    const Matrix3x3 r = {{1, 2, 3, 4, 5, 6, 7, 8, 9}};
    const Matrix4x4 m = MatrixFromRotation(r);
    EXPECT_EQ(m.m[6], 6.0f);
    EXPECT_EQ(m.m[7], 0.0f);
    EXPECT_EQ(m.m[12], 0.0f);
    EXPECT_EQ(m.m[15], 1.0f);
}
