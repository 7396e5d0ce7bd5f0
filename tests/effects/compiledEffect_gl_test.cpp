// The effect runtime on a real OpenGL device, offscreen: look-ups, values reaching the shaders,
// shared parameters, pass states and their restoration, vertex inputs, textures, the program cache,
// and creation failures reported with the file and line.
#include "effects/compiledEffect.h"
#include "effects/effectParser.h"
#include "gpu/offscreenDevice.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace quorvel::test;
using namespace engine::gfx;

namespace {

using EffectRef = gpu::Ref<CompiledEffect>;

const std::vector<gpu::VertexElement> kPositionUv = {{0, 0, gpu::DeclFloat3, 0, gpu::UsagePosition, 0},
                                                     {0, 12, gpu::DeclFloat2, 0, gpu::UsageTexCoord, 0}};

// A shared vertex section and one technique per value under test. Line numbers matter to the
// compiler-error test, which appends to this text.
const std::string kValues = R"(float Time : Time;
int Count;
bool Flag;
float2 Pair;
float3 Triple;
float4 Quad : Colour < string help = "a colour"; int order = 3; float weight = 0.5; bool used = true; >;
shared float4 SharedTint;
texture WrapMap { AddressV = Wrap; };
texture ClampMap { AddressV = Clamp; };

technique Scalars < bool quad = true; string material = "bloom"; > { pass { VertexShader = Clip; FragmentShader = ScalarsOut; } }
technique Float2 { pass { VertexShader = Clip; FragmentShader = Float2Out; } }
technique Float3 { pass { VertexShader = Clip; FragmentShader = Float3Out; } }
technique Float4 { pass { VertexShader = Clip; FragmentShader = Float4Out; } }
technique Shared { pass { VertexShader = Clip; FragmentShader = SharedOut; } }
technique Uv { pass { VertexShader = Clip; FragmentShader = UvOut; } }
technique Wrapped { pass { VertexShader = Clip; FragmentShader = WrapOut; } }
technique Clamped { pass { VertexShader = Clip; FragmentShader = ClampOut; } }
technique Twice
{
    pass One { VertexShader = Clip; FragmentShader = Quarter; AlphaBlendEnable = true; SrcBlend = One; DestBlend = One; }
    pass Two { VertexShader = Clip; FragmentShader = Quarter; AlphaBlendEnable = true; SrcBlend = One; DestBlend = One; }
}
technique Empty { }
technique Stateful
{
    pass { VertexShader = Clip; FragmentShader = Quarter; AlphaBlendEnable = true; SrcBlend = SrcAlpha;
           DestBlend = InvSrcAlpha; BlendOp = Max; ZEnable = false; ZFunc = Always; ZWriteEnable = false;
           CullMode = CW; FillMode = Wireframe; ColorWriteEnable = Red | Alpha; }
}

-- glsl Clip
in vec3 POSITION;
in vec2 TEXCOORD0;
out vec2 uv;
void main() { uv = TEXCOORD0; gl_Position = vec4(POSITION, 1.0); }
-- glsl ScalarsOut
out vec4 colour;
void main() { colour = vec4(Time, float(Count) / 255.0, Flag ? 1.0 : 0.0, 1.0); }
-- glsl Float2Out
out vec4 colour;
void main() { colour = vec4(Pair, 0.0, 1.0); }
-- glsl Float3Out
out vec4 colour;
void main() { colour = vec4(Triple, 1.0); }
-- glsl Float4Out
out vec4 colour;
void main() { colour = vec4(Quad.xy, Quad.z * Quad.w, 1.0); }
-- glsl SharedOut
out vec4 colour;
void main() { colour = SharedTint; }
-- glsl UvOut
in vec2 uv;
out vec4 colour;
void main() { colour = vec4(uv, 0.0, 1.0); }
-- glsl WrapOut
in vec2 uv;
out vec4 colour;
void main() { colour = texture(WrapMap, uv + vec2(0.0, 1.0)); }
-- glsl ClampOut
in vec2 uv;
out vec4 colour;
void main() { colour = texture(ClampMap, uv + vec2(0.0, 1.0)); }
-- glsl Quarter
out vec4 colour;
void main() { colour = vec4(0.25, 0.25, 0.25, 1.0); }
)";

class CompiledEffectTest : public OffscreenDeviceTest {
protected:
    // The depth buffer starts undefined; the quads are drawn at depth 0.5 with the default test.
    void SetUp() override {
        OffscreenDeviceTest::SetUp();
        if (device != nullptr)
            ClearTo(0xFF000000);
    }

    EffectRef Create(const std::string& text, const std::string& name = "data/fx/values.fx") {
        CompiledEffect* raw = nullptr;
        diagnostics.clear();
        const gpu::Result result = CompiledEffect::Create(device, text, name, &pool, &raw, &diagnostics);
        EXPECT_EQ(result, gpu::kOk) << DiagnosticsText(diagnostics);
        return EffectRef::Adopt(raw);
    }

    // Creation that must fail; returns every diagnostic as text.
    std::string Failure(const std::string& text, const std::string& name = "data/fx/broken.fx") {
        CompiledEffect* raw = nullptr;
        diagnostics.clear();
        EXPECT_EQ(CompiledEffect::Create(device, text, name, &pool, &raw, &diagnostics), gpu::kFail);
        EXPECT_EQ(raw, nullptr);
        return DiagnosticsText(diagnostics);
    }

    // Draws the technique over the whole target, every pass, and returns the number of passes.
    std::uint32_t DrawFullScreen(CompiledEffect* effect, const char* technique) {
        SetClipQuad(-1, -1, 1, 1);
        EXPECT_EQ(effect->SetTechnique(effect->GetTechniqueByName(technique)), gpu::kOk) << technique;
        std::uint32_t passes = 0;
        EXPECT_EQ(effect->Begin(&passes, 0), gpu::kOk);
        for (std::uint32_t pass = 0; pass < passes; ++pass) {
            EXPECT_EQ(effect->BeginPass(pass), gpu::kOk);
            EXPECT_EQ(effect->CommitChanges(), gpu::kOk);
            DrawIndexed(2);
            EXPECT_EQ(effect->EndPass(), gpu::kOk);
        }
        EXPECT_EQ(effect->End(), gpu::kOk);
        return passes;
    }

    void ClearTo(gpu::Color color) { device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, color, 1.0f, 0); }

    SharedParameterPool pool;
    std::vector<EffectDiagnostic> diagnostics;
};

TEST_F(CompiledEffectTest, FindsTechniquesParametersAndAnnotationsWithTheirTypes) {
    EffectRef effect = Create(kValues);
    ASSERT_TRUE(effect);
    const TechniqueHandle scalars = effect->GetTechniqueByName("Scalars");
    ASSERT_NE(scalars, nullptr);
    EXPECT_EQ(effect->GetCurrentTechnique(), scalars) << "the first technique is current at first";
    EXPECT_EQ(effect->GetTechniqueByName("scalars"), nullptr) << "names are matched exactly";
    for (const char* name : {"Scalars", "Float2", "Twice", "Empty", "Stateful"})
        EXPECT_EQ(effect->ValidateTechnique(effect->GetTechniqueByName(name)), gpu::kOk) << name;
    EXPECT_EQ(effect->ValidateTechnique(nullptr), gpu::kInvalidCall);

    bool flag = false;
    std::string text;
    EXPECT_EQ(effect->GetBool(effect->GetAnnotationByName(scalars, "quad"), flag), gpu::kOk);
    EXPECT_TRUE(flag);
    EXPECT_EQ(effect->GetString(effect->GetAnnotationByName(scalars, "material"), text), gpu::kOk);
    EXPECT_EQ(text, "bloom");
    EXPECT_EQ(effect->GetBool(effect->GetAnnotationByName(scalars, "material"), flag), gpu::kInvalidCall);
    EXPECT_EQ(effect->GetAnnotationByName(scalars, "missing"), nullptr);
    EXPECT_EQ(effect->GetAnnotationByName(effect->GetTechniqueByName("Float2"), "quad"), nullptr);

    const ParameterHandle quad = effect->GetParameterByName("Quad");
    ASSERT_NE(quad, nullptr);
    EXPECT_EQ(effect->GetParameterBySemantic("Colour"), quad);
    EXPECT_EQ(effect->GetParameterBySemantic("Time"), effect->GetParameterByName("Time"));
    EXPECT_EQ(effect->GetParameterBySemantic("World"), nullptr);
    EXPECT_EQ(effect->GetParameterByName("Missing"), nullptr);
    EXPECT_EQ(effect->GetString(effect->GetAnnotationByName(quad, "help"), text), gpu::kOk);
    EXPECT_EQ(text, "a colour");
    for (const char* name : {"order", "weight", "used"}) {
        flag = false;
        EXPECT_EQ(effect->GetBool(effect->GetAnnotationByName(quad, name), flag), gpu::kOk) << name;
        EXPECT_TRUE(flag) << name;
    }
    EXPECT_EQ(effect->GetString(effect->GetAnnotationByName(quad, "order"), text), gpu::kInvalidCall);

    // Handles of another effect's techniques are refused.
    EffectRef other = Create(kValues);
    EXPECT_EQ(effect->SetTechnique(other->GetTechniqueByName("Float2")), gpu::kInvalidCall);
    EXPECT_EQ(effect->GetAnnotationByName(other->GetTechniqueByName("Scalars"), "quad"), nullptr);
}

TEST_F(CompiledEffectTest, RawValuesOfEveryTypeReachTheShader) {
    EffectRef effect = Create(kValues);
    ASSERT_TRUE(effect);
    const float time = 0.4f;
    const std::int32_t count = 51;
    const bool flag = true;
    EXPECT_EQ(effect->SetRawValue(effect->GetParameterBySemantic("Time"), &time, 0, 4), gpu::kOk);
    EXPECT_EQ(effect->SetRawValue(effect->GetParameterByName("Count"), &count, 0, 4), gpu::kOk);
    EXPECT_EQ(effect->SetRawValue(effect->GetParameterByName("Flag"), &flag, 0, 1), gpu::kOk);
    ClearTo(0xFF000000);
    EXPECT_EQ(DrawFullScreen(effect.Get(), "Scalars"), 1u);
    EXPECT_TRUE(Near(Pixel(32, 32), 102, 51, 255)) << Pixel(32, 32);

    const float pair[2] = {0.2f, 0.6f}, triple[3] = {0.8f, 0.4f, 0.2f}, quad[4] = {0.6f, 0.2f, 1.0f, 0.5f};
    EXPECT_EQ(effect->SetRawValue(effect->GetParameterByName("Pair"), pair, 0, 8), gpu::kOk);
    EXPECT_EQ(effect->SetRawValue(effect->GetParameterByName("Triple"), triple, 0, 12), gpu::kOk);
    EXPECT_EQ(effect->SetRawValue(effect->GetParameterByName("Quad"), quad, 0, 16), gpu::kOk);
    DrawFullScreen(effect.Get(), "Float2");
    EXPECT_TRUE(Near(Pixel(32, 32), 51, 153, 0)) << Pixel(32, 32);
    DrawFullScreen(effect.Get(), "Float3");
    EXPECT_TRUE(Near(Pixel(32, 32), 204, 102, 51)) << Pixel(32, 32);
    DrawFullScreen(effect.Get(), "Float4");
    EXPECT_TRUE(Near(Pixel(32, 32), 153, 51, 128)) << Pixel(32, 32);

    // A null handle and a range past the parameter change nothing.
    EXPECT_EQ(effect->SetRawValue(nullptr, quad, 0, 16), gpu::kInvalidCall);
    EXPECT_EQ(effect->SetFloat(nullptr, 1.0f), gpu::kInvalidCall);
    EXPECT_EQ(effect->SetRawValue(effect->GetParameterByName("Pair"), quad, 0, 16), gpu::kInvalidCall);
    DrawFullScreen(effect.Get(), "Float2");
    EXPECT_TRUE(Near(Pixel(32, 32), 51, 153, 0)) << Pixel(32, 32);
}

TEST_F(CompiledEffectTest, ChangesInsideAPassReachTheShaderAtCommitChanges) {
    EffectRef effect = Create(kValues);
    ASSERT_TRUE(effect);
    const ParameterHandle quad = effect->GetParameterByName("Quad");
    SetClipQuad(-1, -1, 1, 1);
    effect->SetTechnique(effect->GetTechniqueByName("Float4"));
    std::uint32_t passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), gpu::kOk);
    ASSERT_EQ(effect->BeginPass(0), gpu::kOk);
    effect->SetVector(quad, {1.0f, 0.0f, 0.0f, 1.0f});
    DrawIndexed(2);
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 0, 0)) << "not committed yet: " << Pixel(32, 32);
    effect->CommitChanges();
    DrawIndexed(2);
    EXPECT_TRUE(Near(Pixel(32, 32), 255, 0, 0)) << Pixel(32, 32);
    effect->SetVector(quad, {0.0f, 1.0f, 0.0f, 1.0f});
    effect->CommitChanges();
    DrawIndexed(2);
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 255, 0)) << Pixel(32, 32);
    effect->EndPass();
    effect->End();
}

TEST_F(CompiledEffectTest, SharedParameterSetThroughOneEffectIsSeenByAnother) {
    EffectRef first = Create(kValues, "data/fx/first.fx");
    EffectRef second = Create(kValues, "data/fx/second.fx");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->SetVector(first->GetParameterByName("SharedTint"), {0.0f, 0.4f, 0.8f, 1.0f}), gpu::kOk);
    DrawFullScreen(second.Get(), "Shared");
    EXPECT_TRUE(Near(Pixel(10, 10), 0, 102, 204)) << Pixel(10, 10);
    // Not shared: the other effect keeps its own value.
    first->SetVector(first->GetParameterByName("Quad"), {1.0f, 1.0f, 1.0f, 1.0f});
    DrawFullScreen(second.Get(), "Float4");
    EXPECT_TRUE(Near(Pixel(10, 10), 0, 0, 0)) << Pixel(10, 10);
}

TEST_F(CompiledEffectTest, OneFileLoadedTwiceCompilesOnceAndKeepsEachEffectsValues) {
    EffectRef first = Create(kValues);
    ASSERT_TRUE(first);
    const std::size_t compiled = EffectProgramCache::ForDevice(device)->CompileCount();
    EffectRef second = Create(kValues);
    ASSERT_TRUE(second);
    EXPECT_EQ(EffectProgramCache::ForDevice(device)->CompileCount(), compiled);

    // The two share each program but not their values: switching effects uploads again.
    first->SetVector(first->GetParameterByName("Quad"), {1.0f, 0.0f, 0.0f, 1.0f});
    second->SetVector(second->GetParameterByName("Quad"), {0.0f, 1.0f, 0.0f, 1.0f});
    DrawFullScreen(first.Get(), "Float4");
    EXPECT_TRUE(Near(Pixel(10, 10), 255, 0, 0)) << Pixel(10, 10);
    DrawFullScreen(second.Get(), "Float4");
    EXPECT_TRUE(Near(Pixel(10, 10), 0, 255, 0)) << Pixel(10, 10);
    DrawFullScreen(first.Get(), "Float4");
    EXPECT_TRUE(Near(Pixel(10, 10), 255, 0, 0)) << Pixel(10, 10);

    // A section no pass uses changes no program; changed code under the same name is compiled anew.
    EffectRef changed = Create(kValues + "-- glsl Extra\nvoid helper() {}\n");
    EXPECT_EQ(EffectProgramCache::ForDevice(device)->CompileCount(), compiled);
    EffectRef edited = Create(std::string(kValues).replace(kValues.find("0.25, 0.25"), 10, "0.50, 0.50"));
    EXPECT_GT(EffectProgramCache::ForDevice(device)->CompileCount(), compiled);
}

TEST_F(CompiledEffectTest, PassesDrawInOrderAndAnEmptyTechniqueDrawsNothing) {
    EffectRef effect = Create(kValues);
    ASSERT_TRUE(effect);
    ClearTo(0xFF000000);
    EXPECT_EQ(DrawFullScreen(effect.Get(), "Twice"), 2u);
    EXPECT_TRUE(Near(Pixel(32, 32), 128, 128, 128)) << "two additive quarters: " << Pixel(32, 32);

    ClearTo(0xFF000000);
    effect->SetTechnique(effect->GetTechniqueByName("Empty"));
    std::uint32_t passes = 99;
    EXPECT_EQ(effect->Begin(&passes, 0), gpu::kOk);
    EXPECT_EQ(passes, 0u);
    EXPECT_EQ(effect->BeginPass(0), gpu::kInvalidCall);
    EXPECT_EQ(effect->End(), gpu::kOk);
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 0, 0));
    EXPECT_EQ(effect->End(), gpu::kInvalidCall) << "nothing is left begun";
    EXPECT_EQ(DrawFullScreen(effect.Get(), "Twice"), 2u) << "a new technique begins after the empty one";

    // Calls out of order change nothing.
    EXPECT_EQ(effect->BeginPass(0), gpu::kInvalidCall);
    EXPECT_EQ(effect->CommitChanges(), gpu::kInvalidCall);
    EXPECT_EQ(effect->EndPass(), gpu::kInvalidCall);
    ASSERT_EQ(effect->Begin(&passes, 0), gpu::kOk);
    EXPECT_EQ(effect->Begin(&passes, 0), gpu::kInvalidCall);
    EXPECT_EQ(effect->SetTechnique(effect->GetTechniqueByName("Float2")), gpu::kInvalidCall);
    EXPECT_EQ(effect->BeginPass(2), gpu::kInvalidCall);
    EXPECT_EQ(effect->End(), gpu::kOk);
}

TEST_F(CompiledEffectTest, EndRestoresTheStatesThePassesChanged) {
    EffectRef effect = Create(kValues);
    ASSERT_TRUE(effect);
    const std::pair<gpu::RenderState, std::uint32_t> before[] = {{gpu::RsAlphaBlendEnable, 0},
                                                                 {gpu::RsSrcBlend, gpu::BlendOne},
                                                                 {gpu::RsDestBlend, gpu::BlendZero},
                                                                 {gpu::RsBlendOp, gpu::BlendOpAdd},
                                                                 {gpu::RsZEnable, 1},
                                                                 {gpu::RsZFunc, gpu::CmpLessEqual},
                                                                 {gpu::RsZWriteEnable, 1},
                                                                 {gpu::RsCullMode, gpu::CullCounterClockwise},
                                                                 {gpu::RsFillMode, gpu::FillSolid},
                                                                 {gpu::RsColorWriteEnable, 15}};
    for (const auto& [state, value] : before)
        device->SetRenderState(state, value);
    effect->SetTechnique(effect->GetTechniqueByName("Stateful"));
    std::uint32_t passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), gpu::kOk);
    ASSERT_EQ(effect->BeginPass(0), gpu::kOk);
    std::uint32_t value = 0;
    device->GetRenderState(gpu::RsCullMode, value);
    EXPECT_EQ(value, gpu::CullClockwise);
    device->GetRenderState(gpu::RsBlendOp, value);
    EXPECT_EQ(value, gpu::BlendOpMax);
    device->GetRenderState(gpu::RsColorWriteEnable, value);
    EXPECT_EQ(value, 9u);
    effect->EndPass();
    effect->End();
    for (const auto& [state, expected] : before) {
        device->GetRenderState(state, value);
        EXPECT_EQ(value, expected) << "render state " << state;
    }

    // Without saving, the pass's states stay.
    ASSERT_EQ(effect->Begin(&passes, kEffectDoNotSaveState), gpu::kOk);
    effect->BeginPass(0);
    effect->EndPass();
    effect->End();
    device->GetRenderState(gpu::RsZEnable, value);
    EXPECT_EQ(value, 0u);
}

TEST_F(CompiledEffectTest, VertexInputsFollowUsageWhateverTheDeclarationLayout) {
    EffectRef effect = Create(kValues);
    ASSERT_TRUE(effect);
    DrawFullScreen(effect.Get(), "Uv");
    const Rgba expected = Pixel(8, 56);
    EXPECT_TRUE(Near(expected, 36, 227, 0, 8)) << "u grows right, v grows down: " << expected;

    // Texture coordinates first and the position last, with a colour nobody reads in between.
    SetGeometry({0, 0, 9, 9, 9, 9, -1, 1,  0.5f, 1, 0, 9, 9, 9, 9, 1,  1,  0.5f,
                 1, 1, 9, 9, 9, 9, 1,  -1, 0.5f, 0, 1, 9, 9, 9, 9, -1, -1, 0.5f},
                {0, 1, 2, 0, 2, 3},
                {{0, 0, gpu::DeclFloat2, 0, gpu::UsageTexCoord, 0},
                 {0, 8, gpu::DeclFloat4, 0, gpu::UsageColor, 0},
                 {0, 24, gpu::DeclFloat3, 0, gpu::UsagePosition, 0}},
                36);
    ClearTo(0xFF000000);
    effect->SetTechnique(effect->GetTechniqueByName("Uv"));
    std::uint32_t passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    DrawIndexed(2);
    effect->EndPass();
    effect->End();
    EXPECT_TRUE(Near(Pixel(8, 56), expected.r, expected.g, expected.b)) << Pixel(8, 56);
}

TEST_F(CompiledEffectTest, RenderTargetTexturesAreSampledRightSideUpWithTheirSamplerState) {
    EffectRef effect = Create(kValues);
    ASSERT_TRUE(effect);
    gpu::Texture* rawTexture = nullptr;
    ASSERT_EQ(
        device->CreateTexture(kSize, kSize, 1, gpu::UsageRenderTarget, gpu::FormatX8R8G8B8, &rawTexture),
        gpu::kOk);
    auto texture = gpu::Ref<gpu::Texture>::Adopt(rawTexture);
    gpu::Surface *targetSurface = nullptr, *backBuffer = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &targetSurface), gpu::kOk);
    ASSERT_EQ(device->GetRenderTarget(0, &backBuffer), gpu::kOk);

    // Into the texture: green, with red over the upper half of the picture.
    device->SetRenderTarget(0, targetSurface);
    ClearTo(0xFF00FF00);
    effect->SetVector(effect->GetParameterByName("Quad"), {1.0f, 0.0f, 0.0f, 1.0f});
    SetClipQuad(-1, 0, 1, 1);
    effect->SetTechnique(effect->GetTechniqueByName("Float4"));
    std::uint32_t passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    DrawIndexed(2);
    effect->EndPass();
    effect->End();
    device->SetRenderTarget(0, backBuffer);

    // Sampled one picture height further down: wrapping comes back to the top, clamping stays at the
    // bottom row.
    effect->SetTexture(effect->GetParameterByName("WrapMap"), texture.Get());
    effect->SetTexture(effect->GetParameterByName("ClampMap"), texture.Get());
    DrawFullScreen(effect.Get(), "Wrapped");
    EXPECT_TRUE(Near(Pixel(32, 8), 255, 0, 0)) << "top of the picture: " << Pixel(32, 8);
    EXPECT_TRUE(Near(Pixel(32, 56), 0, 255, 0)) << "bottom of the picture: " << Pixel(32, 56);
    DrawFullScreen(effect.Get(), "Clamped");
    EXPECT_TRUE(Near(Pixel(32, 8), 0, 255, 0)) << "clamped to the bottom row: " << Pixel(32, 8);

    // Unbinding: the effect holds no reference, and End put the stage back as it was.
    effect->SetTexture(effect->GetParameterByName("WrapMap"), nullptr);
    effect->SetTexture(effect->GetParameterByName("ClampMap"), nullptr);
    targetSurface->Release();
    backBuffer->Release();
}

TEST_F(CompiledEffectTest, LostAndResetDeviceEndTheTechniqueAndUploadAgain) {
    EffectRef effect = Create(kValues);
    ASSERT_TRUE(effect);
    effect->SetVector(effect->GetParameterByName("Quad"), {0.0f, 0.0f, 1.0f, 1.0f});
    DrawFullScreen(effect.Get(), "Float4");
    effect->SetTechnique(effect->GetTechniqueByName("Float4"));
    std::uint32_t passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), gpu::kOk);
    ASSERT_EQ(effect->BeginPass(0), gpu::kOk);
    EXPECT_EQ(effect->OnLostDevice(), gpu::kOk);
    EXPECT_EQ(effect->End(), gpu::kInvalidCall) << "the loss ended the technique";
    EXPECT_EQ(device->Reset(parameters), gpu::kOk);
    EXPECT_EQ(effect->OnResetDevice(), gpu::kOk);
    ClearTo(0xFF000000);
    DrawFullScreen(effect.Get(), "Float4");
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 0, 255)) << "values kept across the reset: " << Pixel(32, 32);
}

TEST_F(CompiledEffectTest, GlslErrorsNameTheLineOfTheEffectFile) {
    // The broken statement is the fourth line after the shared text.
    const std::string text = kValues + "-- glsl Unused\n"
                                       "void helper()\n"
                                       "{\n"
                                       "    float x = undefinedThing;\n"
                                       "}\n";
    const std::size_t lines = std::count(kValues.begin(), kValues.end(), '\n');
    const std::string broken = std::string(text).replace(text.find("FragmentShader = Float2Out;"), 27,
                                                         "FragmentShader = Unused, Float2Out;");
    const std::string message = Failure(broken, "data/fx/broken.fx");
    EXPECT_NE(message.find("data/fx/broken.fx:" + std::to_string(lines + 4) + ": fragment shader: "),
              std::string::npos)
        << message;
    EXPECT_NE(message.find("undefinedThing"), std::string::npos) << message;
}

TEST_F(CompiledEffectTest, MissingCodeFilesAndMalformedHeadersFailWithFileAndLine) {
    const std::string code =
        "-- glsl V\nin vec3 POSITION;\nvoid main() { gl_Position = vec4(POSITION, 1.0); }\n"
        "-- glsl F\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n"
        "-- glsl H\nfloat helper() { return 1.0; }\n";
    const std::pair<std::string, std::string> cases[] = {
        {"technique T { pass { VertexShader = V; FragmentShader = Missing; } }\n",
         "data/fx/broken.fx:1: no glsl section named 'Missing'"},
        {"technique T { pass { VertexShader = V; FragmentShader = H; } }\n",
         "data/fx/broken.fx:1: pass 0 of technique 'T': its fragment code defines no main()"},
        {"technique T\n{\n  pass { VertexShader = V; FragmentShader = F; }\n",
         "data/fx/broken.fx:2: technique 'T' opened here is not closed with '}'"},
        {"technique T { pass { VertexShader = V; FragmentShader = F; Blending = true; } }\n",
         "data/fx/broken.fx:1: unknown state 'Blending'"},
        {"technique T { pass { VertexShader = V; FragmentShader = F; CullMode = Sideways; } }\n",
         "data/fx/broken.fx:1: 'Sideways' is not a value of CullMode"},
        {"float F1 < double d = 1; >;\n", "data/fx/broken.fx:1: annotation type must be"},
        {"technique T { }\n\ntechnique T { }\n",
         "data/fx/broken.fx:3: technique 'T' is already defined on line 1"},
    };
    for (const auto& [header, expected] : cases) {
        const std::string message = Failure(header + code);
        EXPECT_EQ(message.rfind(expected, 0), 0u) << header << "gave: " << message;
    }

    CompiledEffect* raw = nullptr;
    diagnostics.clear();
    EXPECT_EQ(CompiledEffect::CreateFromFile(device, "data/fx/missing.fx", &pool, &raw, &diagnostics),
              gpu::kFail);
    EXPECT_EQ(raw, nullptr);
    EXPECT_EQ(DiagnosticsText(diagnostics), "data/fx/missing.fx: cannot open the effect file\n");
}

// Every technique of every effect the demo ships, whatever the files are: each compiles and validates on
// this device.
TEST_F(CompiledEffectTest, EveryShippedEffectCompilesAndValidates) {
    const std::filesystem::path folder = std::filesystem::path(QUORVEL_SOURCE_DIR) / "content" / "fx";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".fx")
            continue;
        ++files;
        EffectDiagnostic error;
        const std::optional<EffectSource> parsed = ReadEffectFile(entry.path().string(), error);
        ASSERT_TRUE(parsed) << error.file << ":" << error.line << ": " << error.message;
        CompiledEffect* raw = nullptr;
        diagnostics.clear();
        ASSERT_EQ(CompiledEffect::CreateFromFile(device, entry.path().string(), &pool, &raw, &diagnostics),
                  gpu::kOk)
            << DiagnosticsText(diagnostics);
        EffectRef effect = EffectRef::Adopt(raw);
        EXPECT_FALSE(parsed->techniques.empty()) << entry.path();
        for (const TechniqueSource& source : parsed->techniques) {
            const TechniqueHandle technique = effect->GetTechniqueByName(source.name);
            ASSERT_NE(technique, nullptr) << entry.path() << " " << source.name;
            std::string reason;
            EXPECT_EQ(effect->ValidateTechnique(technique, &reason), gpu::kOk)
                << entry.path() << " " << source.name << ": " << reason;
        }
    }
    EXPECT_GT(files, 0) << "no effect files in " << folder;
}

} // namespace
