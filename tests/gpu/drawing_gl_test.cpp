// What reaches the pixels: clears, transforms and depth, culling, lighting, fill mode.
#include "gpu/offscreenDevice.h"
#include "math/operators.h"
#include "math/transforms.h"

#include <cmath>

using namespace quorvel::test;
using engine::math::Matrix4x4;
using engine::math::Vector4f;

namespace {

const std::vector<gpu::VertexElement> kPositionOnly = {{0, 0, gpu::DeclFloat3, 0, gpu::UsagePosition, 0}};

class DrawingTest : public OffscreenDeviceTest {
protected:
    void Clear(gpu::Color color, float z = 1.0f) {
        ASSERT_EQ(device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, color, z, 0), gpu::kOk);
    }
    // The pixel (from the top-left) that a view-space point lands on under `projection`.
    static std::pair<int, int> Project(float x, float y, float z, const Matrix4x4& projection) {
        using engine::math::operator*;
        const Vector4f clip = Vector4f(x, y, z, 1.0f) * projection;
        return {int((clip.x / clip.w + 1.0f) * 0.5f * kSize), int((1.0f - clip.y / clip.w) * 0.5f * kSize)};
    }
};

TEST_F(DrawingTest, ClearColourReadsBack) {
    Clear(0xFF336699);
    EXPECT_TRUE(Near(Pixel(0, 0), 0x33, 0x66, 0x99, 0)) << Pixel(0, 0);
    EXPECT_TRUE(Near(Pixel(kSize - 1, kSize - 1), 0x33, 0x66, 0x99, 0));
}

TEST_F(DrawingTest, TriangleLandsWhereTheRowVectorTransformsPutIt) {
    const Matrix4x4 projection = engine::math::MatrixPerspectiveFovLH(0.7853982f, 1.0f, 0.5f, 1000.0f);
    device->SetTransform(gpu::TransformProjection, projection);
    device->SetTransform(gpu::TransformView, Matrix4x4::Identity);
    // Translation in the last row: the triangle around the origin moves up and to the right.
    device->SetTransform(gpu::TransformWorld, engine::math::MatrixTranslation({1.0f, 1.0f, 5.0f}));
    device->SetRenderState(gpu::RsLighting, 0);
    device->SetRenderState(gpu::RsCullMode, gpu::CullNone);
    SetGeometry({-0.3f, -0.3f, 0, 0, 0.3f, 0, 0.3f, -0.3f, 0}, {0, 1, 2}, kPositionOnly, 12);
    Clear(0xFF000000);
    DrawIndexed(1);

    const auto [x, y] = Project(1.0f, 1.0f - 0.1f, 5.0f, projection);
    EXPECT_GT(x, kSize / 2);
    EXPECT_LT(y, kSize / 2);
    EXPECT_TRUE(Near(Pixel(x, y), 255, 255, 255)) << Pixel(x, y);
    EXPECT_TRUE(Near(Pixel(kSize - 1 - x, y), 0, 0, 0)) << "mirrored left-right";
    EXPECT_TRUE(Near(Pixel(x, kSize - 1 - y), 0, 0, 0)) << "mirrored upside down";
}

TEST_F(DrawingTest, DepthRunsFromZeroToOneAsInDirect3D) {
    const Matrix4x4 projection = engine::math::MatrixPerspectiveFovLH(0.7853982f, 1.0f, 0.5f, 1000.0f);
    device->SetTransform(gpu::TransformProjection, projection);
    device->SetRenderState(gpu::RsLighting, 0);
    // Depth(z) = f / (f - n) * (1 - n / z): 0.3 at z = 0.714, 0.7 at z = 1.665.
    auto drawQuadAt = [&](float z) {
        const float s = z; // wide enough to cover the centre at any distance
        SetGeometry({-s, -s, z, -s, s, z, s, s, z, s, -s, z}, {0, 1, 2, 0, 2, 3}, kPositionOnly, 12);
        DrawIndexed(2);
    };
    Clear(0xFF000000, 0.5f);
    drawQuadAt(1.665f);
    EXPECT_TRUE(Near(Pixel(kSize / 2, kSize / 2), 0, 0, 0)) << "depth 0.7 must fail against 0.5";
    drawQuadAt(0.714f);
    EXPECT_TRUE(Near(Pixel(kSize / 2, kSize / 2), 255, 255, 255)) << "depth 0.3 must pass against 0.5";
}

TEST_F(DrawingTest, CullingFollowsDirect3DWinding) {
    UseClipSpace();
    // Clockwise on screen (bottom-left, top, bottom-right) is Direct3D's front face.
    const std::vector<float> clockwise = {-0.8f, -0.8f, 0.5f, 0.0f, 0.8f, 0.5f, 0.8f, -0.8f, 0.5f};
    auto drawWithCull = [&](std::uint32_t cull, const std::vector<std::uint16_t>& order) {
        device->SetRenderState(gpu::RsCullMode, cull);
        SetGeometry(clockwise, order, kPositionOnly, 12);
        Clear(0xFF000000);
        DrawIndexed(1);
        return Pixel(kSize / 2, kSize / 2).r;
    };
    EXPECT_EQ(drawWithCull(gpu::CullCounterClockwise, {0, 1, 2}), 255);
    EXPECT_EQ(drawWithCull(gpu::CullCounterClockwise, {0, 2, 1}), 0);
    EXPECT_EQ(drawWithCull(gpu::CullClockwise, {0, 1, 2}), 0);
    EXPECT_EQ(drawWithCull(gpu::CullNone, {0, 2, 1}), 255);
}

TEST_F(DrawingTest, PointLightShadesLikeTheFixedFunctionFormula) {
    device->SetTransform(gpu::TransformProjection,
                         engine::math::MatrixPerspectiveFovLH(0.7853982f, 1.0f, 0.5f, 1000.0f));
    // A quad at z = 5 facing the camera, lit by a light on its axis: every corner gets the same light.
    SetGeometry(
        {-1, -1, 5, 0, 0, -1, -1, 1, 5, 0, 0, -1, 1, 1, 5, 0, 0, -1, 1, -1, 5, 0, 0, -1}, {0, 1, 2, 0, 2, 3},
        {{0, 0, gpu::DeclFloat3, 0, gpu::UsagePosition, 0}, {0, 12, gpu::DeclFloat3, 0, gpu::UsageNormal, 0}},
        24);
    gpu::Material material;
    material.diffuse = {0.8f, 0.6f, 0.4f, 1.0f};
    material.ambient = {0.2f, 0.3f, 0.1f, 0.0f};
    device->SetMaterial(material);
    gpu::Light light;
    light.type = gpu::LightPoint;
    light.diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.position = {0.0f, 0.0f, 3.0f};
    light.range = 1000.0f;
    light.attenuation0 = 1.0f;
    light.attenuation1 = 0.1f;
    device->SetLight(0, light);
    device->LightEnable(0, true);
    device->SetRenderState(gpu::RsAmbient, 0xAAAAAAAA);

    const float d = std::sqrt(6.0f), nDotL = 2.0f / d, attenuation = 1.0f / (1.0f + 0.1f * d);
    const float ambient = 0xAA / 255.0f;
    auto expected = [&](float materialAmbient, float materialDiffuse, bool lit) {
        return int(
            std::lround(255.0f * std::min(1.0f, materialAmbient * ambient +
                                                    (lit ? materialDiffuse * nDotL * attenuation : 0.0f))));
    };
    Clear(0xFF000000);
    DrawIndexed(2);
    Rgba centre = Pixel(kSize / 2, kSize / 2);
    EXPECT_TRUE(
        Near(centre, expected(0.2f, 0.8f, true), expected(0.3f, 0.6f, true), expected(0.1f, 0.4f, true)))
        << centre;

    // Beyond its range the light gives nothing; only the global ambient remains.
    light.range = 2.0f;
    device->SetLight(0, light);
    Clear(0xFF000000);
    DrawIndexed(2);
    centre = Pixel(kSize / 2, kSize / 2);
    EXPECT_TRUE(
        Near(centre, expected(0.2f, 0.8f, false), expected(0.3f, 0.6f, false), expected(0.1f, 0.4f, false)))
        << centre;
}

TEST_F(DrawingTest, WireframeLeavesTheInteriorEmpty) {
    UseClipSpace();
    device->SetRenderState(gpu::RsFillMode, gpu::FillWireframe);
    SetGeometry({-0.9f, -0.9f, 0.5f, 0.0f, 0.9f, 0.5f, 0.9f, -0.9f, 0.5f}, {0, 1, 2}, kPositionOnly, 12);
    Clear(0xFF000000);
    DrawIndexed(1);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2).r, 0);
    gpu::Surface* target = nullptr;
    device->GetRenderTarget(0, &target);
    const std::vector<std::uint8_t> pixels = Read(target);
    target->Release();
    int lit = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4)
        lit += pixels[i] == 255;
    EXPECT_GT(lit, kSize); // the three edges
    EXPECT_LT(lit, kSize * 4);

    device->SetRenderState(gpu::RsFillMode, gpu::FillSolid);
    Clear(0xFF000000);
    DrawIndexed(1);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2).r, 255);
}

} // namespace
