// The effect-file shader, the compiled effect resource and the effect pool on the real OpenGL device,
// offscreen: candidates chosen from material scripts, the pass protocol, semantic and script values
// reaching the effect, a full-screen quad drawn into a render target, and an effect across a reset.
// Effect files and scripts are written as text into the test's data folder.
#include "render/FXShader.h"
#include "resources/TVOMesh.h"
#include "resources/fxEffect.h"
#include "support/glRenderer.h"

#include <engine/app.h>
#include <engine/exception.h>

#include "formats/tvoWriter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace quorvel::test;
using namespace engine::gfx;
using engine::core::ResourceManager;
using engine::core::resources::FXEffect;
using engine::core::resources::RenderTargetTexture;

namespace {

constexpr int kSize = 64;

// Clip-space drawing, so no matrix is needed to put a picture on the screen, plus parameters of every
// semantic and script type for the value tests.
const char kValuesFx[] = R"(float4x4 WorldMatrix : World;
float4x4 RotationMatrix : WorldRotation;
float4x4 WorldViewMatrix : WorldView;
float4 FirstLight : Light0;
float4 ThirdLight : Light2;
float Seconds : Time;
float4 Tint = { 1.0, 0.0, 0.0, 1.0 };
float Amount = 0.125;
float Unbound = 0.5;
int Count;
bool Flag = true;
float2 Pair;
float3 Triple;
texture Picture;
texture Slot;

technique Flat { pass { VertexShader = Clip; FragmentShader = Fill; CullMode = None; ZEnable = false; } }
technique TwoPasses
{
    pass { VertexShader = Clip; FragmentShader = Fill; CullMode = None; ZEnable = false; }
    pass { VertexShader = Clip; FragmentShader = Green; CullMode = None; ZEnable = false;
           AlphaBlendEnable = true; SrcBlend = One; DestBlend = One; }
}
technique Nothing { }
technique Sample { pass { VertexShader = Clip; FragmentShader = FromPicture; CullMode = None; ZEnable = false; } }
technique Trigger < bool quad = true; string material = "post"; >
{
    pass { VertexShader = Clip; FragmentShader = Fill; ColorWriteEnable = 0; ZEnable = false; CullMode = None; }
}
technique QuadWithoutMaterial < bool quad = true; > { pass { VertexShader = Clip; FragmentShader = Fill; } }

-- glsl Clip
in vec3 POSITION;
out vec2 uv;
void main()
{
    uv = vec2(POSITION.x * 0.5 + 0.5, 0.5 - POSITION.y * 0.5);
    gl_Position = vec4(POSITION.xy, 0.5, 1.0);
}

-- glsl Fill
out vec4 colour;
void main() { colour = Tint; }

-- glsl Green
out vec4 colour;
void main() { colour = vec4(0.0, 1.0, 0.0, 1.0); }

-- glsl FromPicture
in vec2 uv;
out vec4 colour;
void main() { colour = texture(Picture, uv); }
)";

// The quad material of the Trigger technique: blue into the render target "glow", then that target
// sampled over the back buffer.
const char kPostEfx[] = R"(effect = {
    { priority = 1, pass = {
        { priority = 10, fx = "values", tec = "Flat", rtt_stex = "glow",
          params = { { "float4", "Tint", { 0, 0, 1, 1 } } }, streams = { "pos" } },
        { priority = 1000, fx = "values", tec = "Sample",
          params = { { "target", "Picture", "glow" } }, streams = { "pos" } },
    } },
}
)";

void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class FxShaderGlTest : public GlRendererTest {
protected:
    FxShaderGlTest() : GlRendererTest(kSize, kSize, 0, kSize) {}

    void SetUp() override {
        std::filesystem::create_directories("data/fx");
        WriteText("data/fx/values.fx", kValuesFx);
        WriteText("data/fx/post.efx", kPostEfx);
        WriteQuadMesh();
        ASSERT_NO_FATAL_FAILURE(GlRendererTest::SetUp());
        scene = boost::make_shared<Submitter>();
        renderer.AttachToRoot(scene);
    }
    void TearDown() override {
        scene.reset();
        GlRendererTest::TearDown();
        const std::string text = log.CloseAndRead();
        EXPECT_EQ(text.find("GL error"), std::string::npos) << text;
    }

    // The full-screen quad: clip-space corners, positions only, drawn wireframe by default.
    static void WriteQuadMesh() {
        quorvel::formats::TVOWriter writer;
        writer.Material(2, {});
        writer.Extents({-1, -1, 0}, {1, 1, 0});
        writer.Positions({{-1, 1, 0}, {1, 1, 0}, {1, -1, 0}, {-1, -1, 0}});
        writer.Indices(2, {0, 1, 2, 0, 2, 3});
        writer.End();
        writer.Save("data/quad.tvo");
    }

    static PassDescription Pass(const std::string& technique) {
        PassDescription pass;
        pass.priority = 100;
        pass.fxFile = "values.fx";
        pass.technique = technique;
        pass.streams = {StreamPositions};
        return pass;
    }
    static boost::shared_ptr<FXShader> MakeShader(PassDescription pass) {
        return boost::make_shared<FXShader>("data/fx/" + pass.fxFile, std::move(pass));
    }

    // A full-screen object drawn with the effect, submitted every frame.
    boost::shared_ptr<RenderObject> AddObject(boost::shared_ptr<Effect> effect) {
        auto mesh = ResourceManager::Get()->GetResource<TVOMesh>(L"data/quad.tvo");
        boost::shared_ptr<RenderObject> object = mesh->CreateRenderObject();
        object->material = boost::make_shared<Material>();
        object->material->effect = std::move(effect);
        scene->objects.push_back(object);
        return object;
    }
    boost::shared_ptr<RenderObject> AddObject(boost::shared_ptr<FXShader> shader) {
        auto effect = boost::make_shared<Effect>();
        effect->AddShader(shader);
        effect->Finalize();
        return AddObject(effect);
    }

    template <typename T>
    static T Stored(FXShader& shader, const char* name) {
        ParameterHandle handle = shader.GetEffect()->Retrieve()->GetParameterByName(name);
        T value;
        std::memcpy(static_cast<void*>(&value), handle->Value().bytes.data(), sizeof value);
        return value;
    }

    boost::shared_ptr<Submitter> scene;
};

bool SameMatrix(const engine::math::Matrix4x4& a, const engine::math::Matrix4x4& b) {
    return std::memcmp(a.m, b.m, sizeof a.m) == 0;
}

// ---- the effect pool

TEST_F(FxShaderGlTest, BuiltinsAreKeyedByShaderTypeAndOtherKeysAreEmpty) {
    for (int key : {1, 2, 3}) {
        boost::shared_ptr<Effect> builtin = EffectPool::Get()->GetBuiltin(key);
        ASSERT_TRUE(builtin) << key;
        ASSERT_EQ(builtin->GetPasses().size(), 1u);
        EXPECT_EQ(builtin->GetPasses()[0]->GetType(), key);
    }
    EXPECT_FALSE(EffectPool::Get()->GetBuiltin(5));
    EXPECT_FALSE(EffectPool::Get()->GetBuiltin(0));
}

TEST_F(FxShaderGlTest, ACandidateThatFailsGivesWayToTheNextByPriority) {
    // Script order puts the usable candidate first; the priority puts the broken one first.
    WriteText("data/choice.efx", R"(effect = {
        { priority = 1, pass = { { priority = 100, fx = "values", tec = "Flat", params = {}, streams = { "pos" } } } },
        { priority = 5, pass = { { priority = 100, fx = "values", tec = "Missing", params = {}, streams = { "pos" } } } },
    })");
    boost::shared_ptr<Effect> effect = EffectPool::Get()->BuildEffect("data/choice.efx");
    ASSERT_TRUE(effect);
    ASSERT_EQ(effect->GetPasses().size(), 1u);
    auto* shader = dynamic_cast<FXShader*>(effect->GetPasses()[0].get());
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(shader->GetPass().technique, "Flat");
    EXPECT_EQ(effect->GetStreams(), (std::set<int>{StreamPositions}));
    AddObject(effect);
    Frame();
    EXPECT_TRUE(Near(Pixel(32, 32), 255, 0, 0)) << Pixel(32, 32);

    const std::string text = log.CloseAndRead();
    EXPECT_EQ(Rows(text, "ERROR"),
              (std::vector<std::string>{"No such technique Missing in data/fx/values.fx"}));
    EXPECT_EQ(Count(Rows(text, "WARNING"), "Effect data/fx/values.fx Technique Missing failed"), 1);
    EXPECT_EQ(Count(Rows(text, "WARNING"), "No effects supported in the list, falling back to wireframe"), 0);
}

TEST_F(FxShaderGlTest, AMissingEffectFileFallsBackToWireframeOrThrowsWhenStrict) {
    WriteText(
        "data/missing.efx",
        R"(effect = { { priority = 1, pass = { { priority = 100, fx = "absent", tec = "T", params = {}, streams = { "pos" } } } } })");
    EXPECT_EQ(EffectPool::Get()->BuildEffect("data/missing.efx"), EffectPool::Get()->GetBuiltin(2));
    const std::string fallback = log.CloseAndRead();
    EXPECT_EQ(Rows(fallback, "ERROR"),
              (std::vector<std::string>{"Failed to create effect data/fx/absent.fx"}));
    const std::vector<std::string> warnings = Rows(fallback, "WARNING");
    ASSERT_GE(warnings.size(), 2u);
    EXPECT_EQ(warnings[warnings.size() - 2], "Effect data/fx/absent.fx Technique T failed");
    EXPECT_EQ(warnings.back(), "No effects supported in the list, falling back to wireframe");

    EXPECT_THROW(EffectPool::Get()->BuildEffectStrict("data/missing.efx"), engine::core::Exception);
    const std::vector<std::string> errors = Rows(log.CloseAndRead(), "ERROR");
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.back(), "Failed to generate an effect");
}

TEST_F(FxShaderGlTest, AnEmptyCandidateListGivesWireframeAndTheFacadeForwards) {
    WriteText("data/empty.efx", "effect = {}\n");
    EXPECT_EQ(engine::BuildEffect("data/empty.efx"), EffectPool::Get()->GetBuiltin(2));
    EXPECT_THROW(engine::BuildEffect("data/nowhere.efx"), engine::core::Exception);
}

TEST_F(FxShaderGlTest, TwoBuildsOfOneScriptShareOneCompiledEffect) {
    WriteText(
        "data/flat.efx",
        R"(effect = { { priority = 1, pass = { { priority = 100, fx = "values", tec = "Flat", params = {}, streams = { "pos" } } } } })");
    boost::shared_ptr<Effect> first = EffectPool::Get()->BuildEffect("data/flat.efx");
    boost::shared_ptr<Effect> second = EffectPool::Get()->BuildEffect("data/flat.efx");
    ASSERT_TRUE(first && second);
    EXPECT_NE(first, second);
    EXPECT_NE(first->GetPasses()[0], second->GetPasses()[0]);
    auto* a = dynamic_cast<FXShader*>(first->GetPasses()[0].get());
    auto* b = dynamic_cast<FXShader*>(second->GetPasses()[0].get());
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->GetEffect(), b->GetEffect());
    EXPECT_EQ(a->GetEffectResource(), b->GetEffectResource());
    EXPECT_EQ(a->GetTechniqueHandle(), b->GetTechniqueHandle());
    EXPECT_EQ(Count(Rows(log.CloseAndRead(), "MESSAGE"), "Creating .fx effect data/fx/values.fx"), 1);
}

// ---- the compiled effect resource

TEST_F(FxShaderGlTest, ACompilerErrorIsExplainedBeforeTheErrorRow) {
    WriteText("data/fx/broken.fx",
              "float4 Tint;\ntechnique T { pass { VertexShader = V; FragmentShader = F; } }\n"
              "-- glsl V\nin vec3 POSITION;\nvoid main() { gl_Position = vec4(POSITION, 1.0); }\n"
              "-- glsl F\nout vec4 colour;\nvoid main() { colour = undeclared; }\n");
    EXPECT_THROW(ResourceManager::Get()->GetResource<FXEffect>(L"data/fx/broken.fx"),
                 engine::core::Exception);
    // Registered before loading: asked again, it is returned as it is, without a device object.
    auto again = ResourceManager::Get()->GetResource<FXEffect>(L"data/fx/broken.fx");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Retrieve(), nullptr);
    // A shader on the broken resource reports it instead of drawing with nothing.
    EXPECT_THROW(FXShader("data/fx/broken.fx", Pass("T")), engine::core::Exception);

    const std::string text = log.CloseAndRead();
    const std::vector<std::string> warnings = Rows(text, "WARNING");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("data/fx/broken.fx:8:"), std::string::npos) << warnings[0];
    EXPECT_EQ(Rows(text, "ERROR"), (std::vector<std::string>{"Failed to create effect data/fx/broken.fx",
                                                             "Failed to create effect data/fx/broken.fx"}));
    const std::size_t warningAt = text.find("<td>WARNING</td>");
    EXPECT_LT(warningAt, text.find("<td>ERROR</td>"));
}

TEST_F(FxShaderGlTest, AnEffectKeepsItsParameterValuesAcrossAReset) {
    auto shader = MakeShader(Pass("Flat"));
    CompiledEffect* compiled = shader->GetEffect()->Retrieve();
    compiled->SetVector(compiled->GetParameterByName("Tint"), {0.0f, 1.0f, 0.0f, 1.0f});
    AddObject(shader);
    Frame();
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 255, 0)) << Pixel(32, 32);

    window->device->InjectDeviceLoss(1);
    Frame();
    EXPECT_TRUE(renderer.IsDeviceLost());
    for (int frame = 0; frame < 4 && renderer.IsDeviceLost(); ++frame)
        Frame();
    ASSERT_FALSE(renderer.IsDeviceLost());
    Frame();
    EXPECT_EQ(shader->GetEffect()->Retrieve(), compiled);
    EXPECT_EQ(Stored<engine::math::Vector4f>(*shader, "Tint").y, 1.0f);
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 255, 0)) << Pixel(32, 32);
}

// ---- the pass protocol

TEST_F(FxShaderGlTest, ATwoPassTechniqueBeginsOnceAndEndsAfterItsLastPass) {
    auto shader = MakeShader(Pass("TwoPasses"));
    CompiledEffect* compiled = shader->GetEffect()->Retrieve();
    EXPECT_EQ(shader->BeginPass(0), 2);
    EXPECT_EQ(FXShader::PassCount(), 2u);
    shader->EndPass();
    // Still begun between the passes: a second Begin is refused.
    std::uint32_t passes = 0;
    EXPECT_EQ(compiled->Begin(&passes, 0), gpu::kInvalidCall);
    EXPECT_EQ(shader->BeginPass(1), 2);
    EXPECT_EQ(FXShader::CurrentPass(), 1u);
    shader->EndPass();
    EXPECT_EQ(shader->BeginPass(2), 2);
    // Ended after the last pass, and pass 2 began nothing.
    ASSERT_EQ(compiled->Begin(&passes, 0), gpu::kOk);
    compiled->End();

    // Through the renderer: red, then green added on top.
    AddObject(shader);
    Frame();
    EXPECT_TRUE(Near(Pixel(32, 32), 255, 255, 0)) << Pixel(32, 32);
}

TEST_F(FxShaderGlTest, AZeroPassTechniqueDrawsNothingAndLeavesNothingBegun) {
    auto shader = MakeShader(Pass("Nothing"));
    EXPECT_EQ(shader->BeginPass(0), 0);
    std::uint32_t passes = 7;
    CompiledEffect* compiled = shader->GetEffect()->Retrieve();
    ASSERT_EQ(compiled->Begin(&passes, 0), gpu::kOk);
    compiled->End();
    AddObject(shader);
    Frame();
    Frame();
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 0, 0)) << Pixel(32, 32);
    EXPECT_TRUE(Rows(log.CloseAndRead(), "ERROR").empty());
}

// ---- values

TEST_F(FxShaderGlTest, AMissingScriptParameterWarnsOnceAndSetsNothing) {
    PassDescription pass = Pass("Flat");
    pass.params.scalarValues.push_back({"NotThere", {0, 0, 128, 63}});
    auto shader = MakeShader(pass);
    EXPECT_EQ(shader->GetPass().params.scalarHandles, (std::vector<ParameterHandle>{nullptr}));
    AddObject(shader);
    Frame();
    Frame();
    const std::string text = log.CloseAndRead();
    EXPECT_EQ(Count(Rows(text, "WARNING"), "No such parameter NotThere in shader data/fx/values.fx"), 1);
    EXPECT_TRUE(Rows(text, "ERROR").empty());
}

TEST_F(FxShaderGlTest, ScriptValuesKeepTheirBytesAndCurvesAreReadEveryFrame) {
    float curve = 0.25f;
    PassDescription pass = Pass("Flat");
    pass.params.curveValues = {{"Amount", &curve}, {"Unbound", nullptr}};
    const std::int32_t count = 42;
    std::array<std::uint8_t, 4> countBytes;
    std::memcpy(countBytes.data(), &count, 4);
    pass.params.scalarValues = {{"Count", countBytes}};
    pass.params.boolValues = {{"Flag", false}};
    pass.params.float2Values = {{"Pair", {1.5f, -2.0f}}};
    pass.params.float3Values = {{"Triple", {1, 2, 3}}};
    pass.params.float4Values = {{"Tint", {0.0f, 0.0f, 1.0f, 1.0f}}};
    auto shader = MakeShader(pass);
    AddObject(shader);
    Frame();
    EXPECT_EQ(Stored<float>(*shader, "Amount"), 0.25f);
    // A curve entry without a curve leaves the parameter as it was.
    EXPECT_EQ(Stored<float>(*shader, "Unbound"), 0.5f);
    EXPECT_EQ(Stored<std::int32_t>(*shader, "Count"), 42);
    EXPECT_EQ(Stored<std::int32_t>(*shader, "Flag"), 0);
    using Float2 = std::array<float, 2>;
    using Float3 = std::array<float, 3>;
    EXPECT_EQ(Stored<Float2>(*shader, "Pair"), (Float2{1.5f, -2.0f}));
    EXPECT_EQ(Stored<Float3>(*shader, "Triple"), (Float3{1, 2, 3}));
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 0, 255)) << Pixel(32, 32);

    curve = 0.75f;
    Frame();
    EXPECT_EQ(Stored<float>(*shader, "Amount"), 0.75f);
}

TEST_F(FxShaderGlTest, TexturesComeFromTheirResourceOrTheMaterialSlotAndAnEmptyEntrySetsNothing) {
    PassDescription pass = Pass("Sample");
    pass.params.textureValues = {{"Picture", {}}};
    pass.params.slotValues = {{"Slot", 3}};
    auto shader = MakeShader(pass);
    CompiledEffect* compiled = shader->GetEffect()->Retrieve();
    ParameterHandle picture = compiled->GetParameterByName("Picture");
    compiled->SetTexture(picture, lastFrame->Retrieve());
    compiled->SetTexture(compiled->GetParameterByName("Slot"), lastFrame->Retrieve());
    AddObject(shader);
    Frame();
    EXPECT_EQ(picture->Value().texture, lastFrame->Retrieve());
    // The material has no texture in slot 3: the slot parameter is cleared, not left stale.
    EXPECT_EQ(compiled->GetParameterByName("Slot")->Value().texture, nullptr);
}

TEST_F(FxShaderGlTest, SemanticsFollowTheObjectAndTheFirstLight) {
    auto shader = MakeShader(Pass("Flat"));
    LightManager::Get()->positions = {{1, 2, 3, 1}, {9, 9, 9, 1}};
    boost::shared_ptr<RenderObject> object = AddObject(shader);
    object->world = engine::math::Matrix4x4::Identity;
    object->world.SetTranslation({5, 6, 7});
    Frame();
    const auto light0 = Stored<engine::math::Vector4f>(*shader, "FirstLight");
    const auto light2 = Stored<engine::math::Vector4f>(*shader, "ThirdLight");
    EXPECT_EQ(std::memcmp(&light0, &light2, sizeof light0), 0);
    EXPECT_EQ(light2.x, 1.0f);
    EXPECT_EQ(light2.z, 3.0f);
    EXPECT_TRUE(SameMatrix(Stored<engine::math::Matrix4x4>(*shader, "WorldMatrix"), object->world));
    EXPECT_TRUE(SameMatrix(Stored<engine::math::Matrix4x4>(*shader, "RotationMatrix"),
                           engine::math::Matrix4x4::Identity));
    EXPECT_EQ(Stored<float>(*shader, "Seconds"), static_cast<float>(engine::core::Timer::Get()->Time()));
}

TEST_F(FxShaderGlTest, WorldRotationKeepsTheRotationWithoutTheTranslation) {
    auto shader = MakeShader(Pass("Flat"));
    boost::shared_ptr<RenderObject> object = AddObject(shader);
    object->world = engine::math::Matrix4x4::Identity;
    object->world.ToZRot(1.5707964f);
    object->world.SetTranslation({5, 6, 7});
    Frame();
    engine::math::Matrix4x4 expected = engine::math::Matrix4x4::Identity;
    expected.SetRotation(object->world.GetRotation());
    EXPECT_TRUE(SameMatrix(Stored<engine::math::Matrix4x4>(*shader, "RotationMatrix"), expected));
}

// ---- quads and render targets

TEST_F(FxShaderGlTest, AQuadTechniqueSubmitsItsObjectInPrepareAndDrawsIntoATarget) {
    PassDescription pass = Pass("Trigger");
    auto shader = MakeShader(pass);
    ASSERT_TRUE(shader->DrawsQuad());
    ASSERT_TRUE(shader->GetQuadMesh());
    ASSERT_TRUE(shader->GetQuadMesh()->material && shader->GetQuadMesh()->material->effect);
    EXPECT_EQ(shader->GetQuadMesh()->material->effect->GetPasses().size(), 2u);
    EXPECT_EQ(shader->GetQuadMesh()->primitiveCount, 2);
    AddObject(shader);
    Frame();
    Frame();
    auto glow = ResourceManager::Get()->GetResource<RenderTargetTexture>(L"glow");
    ASSERT_TRUE(glow);
    EXPECT_EQ(glow->GetSize(), 256);
    EXPECT_TRUE(Near(Pixel(*glow, 128, 128), 0, 0, 255)) << Pixel(*glow, 128, 128);
    // The trigger draws nothing itself; the composite shows the target over the back buffer.
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 0, 255)) << Pixel(32, 32);

    const std::string text = log.CloseAndRead();
    EXPECT_EQ(Count(Rows(text, "MESSAGE"), "Loading quad material data/fx/post.efx"), 1);
    EXPECT_TRUE(Rows(text, "ERROR").empty());
}

TEST_F(FxShaderGlTest, ATargetLostWithTheDeviceLeavesTheParametersThatSampleItAndIsSampledAfterTheReset) {
    auto shader = MakeShader(Pass("Trigger"));
    AddObject(shader);
    Frame();
    const ParameterHandle picture = shader->GetEffect()->Retrieve()->GetParameterByName("Picture");
    ASSERT_NE(picture->Value().texture, nullptr);

    window->device->InjectDeviceLoss(1);
    Frame();
    ASSERT_TRUE(renderer.IsDeviceLost());
    // The next pass to begin binds what the parameter holds: never the texture just released.
    EXPECT_EQ(picture->Value().texture, nullptr);
    for (int frame = 0; frame < 4 && renderer.IsDeviceLost(); ++frame)
        Frame();
    ASSERT_FALSE(renderer.IsDeviceLost());
    Frame();
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 0, 255)) << Pixel(32, 32);
}

TEST_F(FxShaderGlTest, TargetsAreSharedByNameAndAQuadWithoutMaterialIsOnlyAWarning) {
    PassDescription targeted = Pass("Flat");
    targeted.renderToTexture = true;
    targeted.renderTarget = "side";
    EXPECT_EQ(MakeShader(targeted)->GetRenderTarget(),
              ResourceManager::Get()->GetResource<RenderTargetTexture>(L"side"));
    EXPECT_FALSE(MakeShader(Pass("Flat"))->GetRenderTarget());

    auto lone = MakeShader(Pass("QuadWithoutMaterial"));
    EXPECT_FALSE(lone->DrawsQuad());
    EXPECT_FALSE(lone->GetQuadMesh());
    EXPECT_EQ(Count(Rows(log.CloseAndRead(), "WARNING"),
                    "Quad in effect data/fx/values.fx is true, but material not available"),
              1);
}

} // namespace
