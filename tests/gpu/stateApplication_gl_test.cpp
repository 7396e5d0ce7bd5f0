// The device sends states, textures and uniforms to OpenGL only when a draw needs them and only where
// OpenGL holds something else; what it believes OpenGL holds must stay true through the calls that
// change OpenGL on their own (a clear opening the write masks, a texture made on its own unit) and
// through a program's first value, whatever the program was initialised with.
#include "gpu/offscreenDevice.h"
#include "support/picture.h"

using namespace quorvel::test;

namespace {

class StateApplicationTest : public OffscreenDeviceTest {
protected:
    void Clear(gpu::Color color) {
        ASSERT_EQ(device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, color, 1.0f, 0), gpu::kOk);
    }
    gpu::Ref<gpu::Texture> SolidTexture(const char* name, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
        Picture picture{4, 4, {}};
        for (int i = 0; i < 16; ++i)
            picture.rgba.insert(picture.rgba.end(), {r, g, b, 255});
        const std::filesystem::path path = log.Root() / name;
        EXPECT_TRUE(WritePng(path, picture));
        gpu::Texture* texture = nullptr;
        EXPECT_EQ(device->CreateTextureFromFile(path.wstring(), &texture, nullptr), gpu::kOk);
        return gpu::Ref<gpu::Texture>::Adopt(texture);
    }
};

TEST_F(StateApplicationTest, AClearBetweenDrawsLeavesTheColourWritesAsTheStatesSay) {
    UseClipSpace();
    SetClipQuad(-1, -1, 1, 1);
    device->SetRenderState(gpu::RsColorWriteEnable, 0);
    Clear(0xFF000000);
    DrawIndexed(2);
    // The closed mask has reached OpenGL; the clear opens it again for itself.
    Clear(0xFF000000);
    DrawIndexed(2);
    EXPECT_TRUE(Near(Pixel(kSize / 2, kSize / 2), 0, 0, 0)) << "the clear's open mask drew the quad";

    device->SetRenderState(gpu::RsColorWriteEnable, 0xF);
    DrawIndexed(2);
    EXPECT_TRUE(Near(Pixel(kSize / 2, kSize / 2), 255, 255, 255)) << Pixel(kSize / 2, kSize / 2);
}

TEST_F(StateApplicationTest, ATextureLoadedBetweenDrawsDoesNotTakeTheNextBinding) {
    UseClipSpace();
    SetClipQuad(-1, -1, 1, 1);
    const gpu::Ref<gpu::Texture> red = SolidTexture("red.png", 255, 0, 0);
    device->SetTexture(0, red.Get());
    Clear(0xFF000000);
    DrawIndexed(2);
    ASSERT_TRUE(Near(Pixel(kSize / 2, kSize / 2), 255, 0, 0)) << Pixel(kSize / 2, kSize / 2);

    // Loading works on a unit of its own, which is OpenGL's active unit afterwards.
    const gpu::Ref<gpu::Texture> green = SolidTexture("green.png", 0, 255, 0);
    device->SetTexture(0, green.Get());
    DrawIndexed(2);
    EXPECT_TRUE(Near(Pixel(kSize / 2, kSize / 2), 0, 255, 0)) << Pixel(kSize / 2, kSize / 2);
}

TEST_F(StateApplicationTest, AUniformsFirstValueReachesTheProgramEvenWhereItMatchesNothingSentYet) {
    const gpu::ProgramSource tinted{"#version 330 core\nin vec3 inPosition;\n"
                                    "void main() { gl_Position = vec4(inPosition, 1.0); }\n",
                                    "#version 330 core\nuniform vec4 tint = vec4(1.0);\nout vec4 colour;\n"
                                    "void main() { colour = tint; }\n",
                                    {{"inPosition", gpu::UsagePosition, 0}}};
    gpu::Program* raw = nullptr;
    std::string diagnostics;
    ASSERT_EQ(device->CreateProgram(tinted, &raw, &diagnostics), gpu::kOk) << diagnostics;
    const gpu::Ref<gpu::Program> program = gpu::Ref<gpu::Program>::Adopt(raw);
    const int tint = program->FindUniform("tint");
    ASSERT_GE(tint, 0);
    UseClipSpace();
    SetClipQuad(-1, -1, 1, 1);
    device->SetProgram(program.Get());

    // All zeros: what the device's copy of the values starts as, not what the program holds.
    const float black[4] = {0, 0, 0, 0};
    ASSERT_EQ(program->SetFloats(tint, black, 4), gpu::kOk);
    Clear(0xFF808080);
    DrawIndexed(2);
    EXPECT_TRUE(Near(Pixel(kSize / 2, kSize / 2), 0, 0, 0)) << "the initial white was left in the program";

    const float green[4] = {0, 1, 0, 1};
    ASSERT_EQ(program->SetFloats(tint, green, 4), gpu::kOk);
    DrawIndexed(2);
    EXPECT_TRUE(Near(Pixel(kSize / 2, kSize / 2), 0, 255, 0)) << Pixel(kSize / 2, kSize / 2);
    device->SetProgram(nullptr);
}

} // namespace
