// Render targets and StretchRect orientation, texture files, buffers, programs, state blocks and the
// lost-device contract.
#include "gpu/offscreenDevice.h"

#include <stb_image_write.h>

#include <filesystem>
#include <fstream>

using namespace quorvel::test;

namespace {

class ResourceTest : public OffscreenDeviceTest {
protected:
    // The back buffer: red above, green below.
    void DrawRedOverGreen() {
        UseClipSpace();
        ASSERT_EQ(device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFFFF0000, 1.0f, 0), gpu::kOk);
        SetClipQuad(-1.0f, -1.0f, 1.0f, 0.0f);
        gpu::Material green;
        device->SetRenderState(gpu::RsLighting, 1);
        device->SetRenderState(gpu::RsAmbient, 0xFFFFFFFF);
        green.ambient = {0.0f, 1.0f, 0.0f, 1.0f};
        device->SetMaterial(green);
        DrawIndexed(2);
        device->SetRenderState(gpu::RsLighting, 0);
    }

    gpu::Ref<gpu::Texture> MakeTarget(std::uint32_t size) {
        gpu::Texture* raw = nullptr;
        EXPECT_EQ(device->CreateTexture(size, size, 1, gpu::UsageRenderTarget, gpu::FormatX8R8G8B8, &raw),
                  gpu::kOk);
        return gpu::Ref<gpu::Texture>::Adopt(raw);
    }

    // Copies the back buffer into a half-size target and checks it both by reading it and by
    // drawing it back onto the screen with Direct3D texture coordinates.
    void CheckStretchIsRightSideUp() {
        DrawRedOverGreen();
        gpu::Ref<gpu::Texture> target = MakeTarget(kSize / 2);
        gpu::Surface* backBuffer = nullptr;
        gpu::Surface* level = nullptr;
        ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), gpu::kOk);
        ASSERT_EQ(target->GetSurfaceLevel(0, &level), gpu::kOk);
        ASSERT_EQ(device->StretchRect(backBuffer, level, gpu::FilterLinear), gpu::kOk);
        const std::vector<std::uint8_t> copy = Read(level);
        const std::size_t lastRow = (kSize / 2 - 1) * (kSize / 2) * 4;
        EXPECT_EQ(copy[0], 255) << "top row red";
        EXPECT_EQ(copy[lastRow + 1], 255) << "bottom row green";
        level->Release();
        backBuffer->Release();

        ASSERT_EQ(device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF000000, 1.0f, 0), gpu::kOk);
        SetClipQuad(-1.0f, -1.0f, 1.0f, 1.0f);
        device->SetTexture(0, target.Get());
        DrawIndexed(2);
        device->SetTexture(0, nullptr);
        EXPECT_TRUE(Near(Pixel(kSize / 2, 4), 255, 0, 0)) << Pixel(kSize / 2, 4);
        EXPECT_TRUE(Near(Pixel(kSize / 2, kSize - 4), 0, 255, 0)) << Pixel(kSize / 2, kSize - 4);
    }
};

TEST_F(ResourceTest, StretchRectCopiesTheBackBufferRightSideUp) {
    CheckStretchIsRightSideUp();
}

class MultisampledResourceTest : public ResourceTest {
protected:
    void SetUp() override { Open(4); }
};

TEST_F(MultisampledResourceTest, StretchRectResolvesAFourSampleBackBuffer) {
    CheckStretchIsRightSideUp();
}

TEST_F(ResourceTest, DrawingIntoATargetKeepsItsPictureTopRowFirst) {
    gpu::Ref<gpu::Texture> target = MakeTarget(32);
    gpu::Surface* level = nullptr;
    gpu::Surface* backBuffer = nullptr;
    ASSERT_EQ(target->GetSurfaceLevel(0, &level), gpu::kOk);
    ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), gpu::kOk);
    ASSERT_EQ(device->SetRenderTarget(0, level), gpu::kOk);
    DrawRedOverGreen();
    std::vector<std::uint8_t> pixels = Read(level);
    EXPECT_EQ(pixels[0], 255);
    EXPECT_EQ(pixels[(31 * 32) * 4 + 1], 255);

    // Front faces stay front faces in a target: a clockwise quad survives counter-clockwise culling.
    device->SetRenderState(gpu::RsCullMode, gpu::CullCounterClockwise);
    device->SetRenderState(gpu::RsLighting, 1);
    gpu::Material blue;
    blue.ambient = {0.0f, 0.0f, 1.0f, 1.0f};
    device->SetMaterial(blue);
    DrawIndexed(2);
    pixels = Read(level);
    EXPECT_EQ(pixels[(31 * 32) * 4 + 2], 255);
    EXPECT_EQ(pixels[2], 0);
    ASSERT_EQ(device->SetRenderTarget(0, backBuffer), gpu::kOk);
    level->Release();
    backBuffer->Release();
}

TEST_F(ResourceTest, BuffersRoundTripAndRejectLocksOutsideThem) {
    const std::uint32_t indices32[] = {70000, 70001, 70002};
    gpu::Ref<gpu::IndexBuffer> wide = MakeIndexBuffer(indices32, sizeof indices32, gpu::FormatIndex32);
    const std::uint16_t indices16[] = {0, 1, 2, 65535};
    gpu::Ref<gpu::IndexBuffer> narrow = MakeIndexBuffer(indices16, sizeof indices16, gpu::FormatIndex16);
    void* data = nullptr;
    ASSERT_EQ(wide->Lock(4, 8, &data, gpu::LockReadOnly), gpu::kOk);
    EXPECT_EQ(static_cast<std::uint32_t*>(data)[1], 70002u);
    EXPECT_EQ(wide->Lock(0, 0, &data, 0), gpu::kInvalidCall) << "already locked";
    EXPECT_EQ(wide->Unlock(), gpu::kOk);
    ASSERT_EQ(narrow->Lock(0, 0, &data, 0), gpu::kOk);
    EXPECT_EQ(static_cast<std::uint16_t*>(data)[3], 65535);
    EXPECT_EQ(narrow->Unlock(), gpu::kOk);
    EXPECT_EQ(narrow->Lock(6, 4, &data, 0), gpu::kInvalidCall);
    EXPECT_EQ(narrow->Lock(9, 0, &data, 0), gpu::kInvalidCall);
    EXPECT_EQ(narrow->Unlock(), gpu::kInvalidCall);
    EXPECT_EQ(wide->GetFormat(), gpu::FormatIndex32);

    // A triangle that only 32-bit indices reach: vertices 70000 to 70002 of a long buffer.
    std::vector<float> vertices(70003 * 3, 0.0f);
    const float triangle[] = {-0.9f, -0.9f, 0.5f, 0.0f, 0.9f, 0.5f, 0.9f, -0.9f, 0.5f};
    std::copy(std::begin(triangle), std::end(triangle), vertices.begin() + 70000 * 3);
    SetGeometry(vertices, {0, 1, 2}, {{0, 0, gpu::DeclFloat3, 0, gpu::UsagePosition, 0}}, 12);
    device->SetIndices(wide.Get());
    UseClipSpace();
    ASSERT_EQ(device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF000000, 1.0f, 0), gpu::kOk);
    DrawIndexed(1);
    EXPECT_EQ(Pixel(kSize / 2, kSize / 2).r, 255);

    ASSERT_EQ(device->BeginScene(), gpu::kOk);
    EXPECT_EQ(device->DrawIndexedPrimitive(gpu::PrimitiveTriangleList, 0, 0, 3, 1, 1), gpu::kInvalidCall)
        << "indices past the end of the buffer";
    EXPECT_EQ(device->DrawIndexedPrimitive(99, 0, 0, 3, 0, 1), gpu::kInvalidCall);
    EXPECT_EQ(device->DrawIndexedPrimitive(gpu::PrimitiveTriangleList, 1, 0, 3, 0, 1), gpu::kInvalidCall)
        << "index 70002 + 1 is past the last vertex";
    EXPECT_EQ(device->DrawIndexedPrimitive(gpu::PrimitiveTriangleList, -70001, 0, 3, 0, 1), gpu::kInvalidCall)
        << "a vertex before the first";
    ASSERT_EQ(device->EndScene(), gpu::kOk);
    EXPECT_EQ(device->DrawIndexedPrimitive(gpu::PrimitiveTriangleList, 0, 0, 3, 0, 1), gpu::kInvalidCall)
        << "outside BeginScene/EndScene";
}

TEST_F(ResourceTest, ImageFilesLoadWithMipsRightSideUpAndBadOnesFailWithAReason) {
    // 16 x 16: red in the top half, blue in the bottom half.
    std::vector<std::uint8_t> rgb(16 * 16 * 3, 0);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            rgb[(y * 16 + x) * 3 + (y < 8 ? 0 : 2)] = 255;
    const auto root = log.Root();
    ASSERT_NE(stbi_write_png((root / "a.png").c_str(), 16, 16, 3, rgb.data(), 16 * 3), 0);
    ASSERT_NE(stbi_write_jpg((root / "a.jpg").c_str(), 16, 16, 3, rgb.data(), 95), 0);
    ASSERT_NE(stbi_write_tga((root / "a.tga").c_str(), 16, 16, 3, rgb.data()), 0);
    ASSERT_NE(stbi_write_bmp((root / "a.bmp").c_str(), 16, 16, 3, rgb.data()), 0);
    UseClipSpace();
    SetClipQuad(-1.0f, -1.0f, 1.0f, 1.0f);
    device->SetRenderState(gpu::RsZEnable, 0);
    for (const char* name : {"a.png", "a.jpg", "a.tga", "a.bmp"}) {
        SCOPED_TRACE(name);
        gpu::Texture* raw = nullptr;
        std::string reason;
        ASSERT_EQ(device->CreateTextureFromFile((root / name).wstring(), &raw, &reason), gpu::kOk) << reason;
        gpu::Ref<gpu::Texture> texture = gpu::Ref<gpu::Texture>::Adopt(raw);
        EXPECT_EQ(texture->Width(), 16u);
        EXPECT_EQ(texture->LevelCount(), 5u);
        device->SetTexture(0, texture.Get());
        device->SetSamplerState(0, gpu::SampMipFilter, gpu::FilterLinear);
        DrawIndexed(2);
        EXPECT_TRUE(Near(Pixel(kSize / 2, 2), 255, 0, 0, 12)) << Pixel(kSize / 2, 2);
        EXPECT_TRUE(Near(Pixel(kSize / 2, kSize - 3), 0, 0, 255, 12)) << Pixel(kSize / 2, kSize - 3);
        device->SetTexture(0, nullptr);
    }

    std::ofstream(root / "broken.png") << "this is not an image";
    gpu::Texture* none = nullptr;
    std::string reason;
    EXPECT_EQ(device->CreateTextureFromFile((root / "broken.png").wstring(), &none, &reason), gpu::kFail);
    EXPECT_NE(reason.find("not a readable image"), std::string::npos) << reason;
    EXPECT_EQ(device->CreateTextureFromFile((root / "missing.png").wstring(), &none, &reason), gpu::kFail);
    EXPECT_NE(reason.find("cannot open the file"), std::string::npos) << reason;
    // One column more than the device holds: refused from the header with both sizes. A header alone,
    // with no pixels after it, shows that nothing was decoded.
    gpu::Caps caps;
    device->GetDeviceCaps(caps);
    const std::uint32_t wide = caps.maxTextureWidth + 1;
    std::vector<std::uint8_t> row(std::size_t{wide} * 3, 0);
    ASSERT_NE(stbi_write_png((root / "wide.png").c_str(), int(wide), 1, 3, row.data(), int(wide) * 3), 0);
    std::ifstream png(root / "wide.png", std::ios::binary);
    std::string header(33, '\0');
    png.read(header.data(), 33);
    std::ofstream(root / "header.png", std::ios::binary) << header;
    const std::string expected = "the image is " + std::to_string(wide) +
                                 "x1, larger than the device's largest texture, " + std::to_string(wide - 1) +
                                 "x" + std::to_string(wide - 1);
    for (const char* name : {"wide.png", "header.png"}) {
        EXPECT_EQ(device->CreateTextureFromFile((root / name).wstring(), &none, &reason), gpu::kFail);
        EXPECT_EQ(reason, expected) << name;
    }
    EXPECT_EQ(none, nullptr);
}

TEST_F(ResourceTest, ProgramsReportCompilerMessagesAndDrawWithTheirUniforms) {
    gpu::ProgramSource broken{"#version 330 core\nvoid main() { gl_Position = vec4(1.0) }\n",
                              "#version 330 core\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n",
                              {}};
    gpu::Program* program = nullptr;
    std::string diagnostics;
    EXPECT_EQ(device->CreateProgram(broken, &program, &diagnostics), gpu::kFail);
    EXPECT_NE(diagnostics.find("vertex shader"), std::string::npos) << diagnostics;

    gpu::ProgramSource flat{
        "#version 330 core\nin vec3 position;\nuniform mat4 transform;\n"
        "void main() { gl_Position = transform * vec4(position, 1.0); }\n",
        "#version 330 core\nuniform vec4 colour;\nout vec4 c;\nvoid main() { c = colour; }\n",
        {{"position", gpu::UsagePosition, 0}}};
    ASSERT_EQ(device->CreateProgram(flat, &program, &diagnostics), gpu::kOk) << diagnostics;
    gpu::Ref<gpu::Program> owned = gpu::Ref<gpu::Program>::Adopt(program);
    const int colour = program->FindUniform("colour");
    ASSERT_GE(colour, 0);
    EXPECT_EQ(program->FindUniform("absent"), -1);
    const float yellow[] = {1.0f, 1.0f, 0.0f, 1.0f};
    EXPECT_EQ(program->SetFloats(colour, yellow, 4), gpu::kOk);
    EXPECT_EQ(program->SetFloats(colour, yellow, 5), gpu::kInvalidCall);
    EXPECT_EQ(program->SetMatrix(colour, engine::math::Matrix4x4::Identity), gpu::kInvalidCall);
    EXPECT_EQ(program->SetMatrix(program->FindUniform("transform"), engine::math::Matrix4x4::Identity),
              gpu::kOk);

    UseClipSpace();
    SetClipQuad(-1.0f, -1.0f, 1.0f, 1.0f);
    device->SetProgram(program);
    ASSERT_EQ(device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF000000, 1.0f, 0), gpu::kOk);
    DrawIndexed(2);
    EXPECT_TRUE(Near(Pixel(10, 10), 255, 255, 0)) << Pixel(10, 10);
    device->SetProgram(nullptr);
    DrawIndexed(2);
    EXPECT_TRUE(Near(Pixel(10, 10), 255, 255, 255)) << "back on the fixed-function path";
}

TEST_F(ResourceTest, StateBlocksRestoreWhatAPassChanged) {
    gpu::StateBlock saved;
    device->CaptureState(saved);
    device->SetRenderState(gpu::RsAlphaBlendEnable, 1);
    device->SetRenderState(gpu::RsFillMode, gpu::FillWireframe);
    device->SetSamplerState(0, gpu::SampMagFilter, gpu::FilterLinear);
    device->ApplyState(saved);
    std::uint32_t value = 0;
    device->GetRenderState(gpu::RsAlphaBlendEnable, value);
    EXPECT_EQ(value, 0u);
    device->GetRenderState(gpu::RsFillMode, value);
    EXPECT_EQ(value, gpu::FillSolid);
}

TEST_F(ResourceTest, InjectedLossFollowsTheCooperativeLevelContract) {
    EXPECT_EQ(device->TestCooperativeLevel(), gpu::kOk);
    device->SetRenderState(gpu::RsCullMode, gpu::CullNone);
    device->InjectDeviceLoss(2);
    EXPECT_EQ(device->Present(), gpu::kDeviceLost);
    EXPECT_EQ(device->BeginScene(), gpu::kDeviceLost);
    EXPECT_EQ(device->TestCooperativeLevel(), gpu::kDeviceLost);
    EXPECT_EQ(device->Reset(parameters), gpu::kDeviceLost) << "still lost";
    EXPECT_EQ(device->TestCooperativeLevel(), gpu::kDeviceLost);
    EXPECT_EQ(device->TestCooperativeLevel(), gpu::kDeviceNotReset);
    EXPECT_EQ(device->TestCooperativeLevel(), gpu::kDeviceNotReset);
    EXPECT_EQ(device->Present(), gpu::kDeviceLost);
    EXPECT_EQ(device->Reset(parameters), gpu::kOk);
    EXPECT_EQ(device->TestCooperativeLevel(), gpu::kOk);
    std::uint32_t cull = 0;
    device->GetRenderState(gpu::RsCullMode, cull);
    EXPECT_EQ(cull, gpu::CullCounterClockwise) << "Reset restores the default state";
    ASSERT_EQ(device->BeginScene(), gpu::kOk);
    ASSERT_EQ(device->EndScene(), gpu::kOk);
    EXPECT_EQ(device->Present(), gpu::kOk);
}

TEST_F(ResourceTest, AReleasedContextLeavesADeviceThatAnswersLost) {
    gpu::Ref<gpu::Texture> target = MakeTarget(16);
    SetClipQuad(-1.0f, -1.0f, 1.0f, 1.0f);
    device->ReleaseContext();
    EXPECT_EQ(device->TestCooperativeLevel(), gpu::kDeviceLost);
    EXPECT_EQ(device->BeginScene(), gpu::kDeviceLost);
    EXPECT_EQ(device->Present(), gpu::kDeviceLost);
    EXPECT_EQ(device->Reset(parameters), gpu::kDeviceLost);
    gpu::VertexBuffer* buffer = nullptr;
    EXPECT_EQ(device->CreateVertexBuffer(16, 0, &buffer), gpu::kDeviceLost);
    EXPECT_EQ(device->SetRenderState(gpu::RsFillMode, gpu::FillWireframe), gpu::kOk);
    // Objects made before the release are freed later without touching a context.
}

} // namespace
