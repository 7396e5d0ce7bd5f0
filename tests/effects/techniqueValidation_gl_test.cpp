// Technique validation against the device's limits, on the real OpenGL device with its caps lowered
// through the device's test hook: the textures a pass reads and the attribute locations of its vertex
// inputs, and the effect pool passing over a candidate whose technique does not validate.
#include "app/screen.h"
#include "core/kernel.h"
#include "effects/compiledEffect.h"
#include "gpu/glDevice.h"
#include "platform/window.h"
#include "render/FXShader.h"
#include "render/effect.h"
#include "render/effectPool.h"
#include "resources/resourceManager.h"
#include "scene/lightManager.h"
#include "support/logCapture.h"

#include <engine/exception.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace quorvel::test;
using namespace engine::gfx;
namespace gpu = engine::gpu;
using engine::core::CWin32Window;

namespace {

// One, three and nine textures read, a vertex input at location 6 and a technique without passes.
const char kLimitsFx[] = R"(texture A;
texture B;
texture C;
texture D;
texture E;
texture F;
texture G;
texture H;
texture I;

technique One { pass P { VertexShader = Clip; FragmentShader = OneOut; } }
technique Three { pass P { VertexShader = Clip; FragmentShader = ThreeOut; } }
technique Nine
{
    pass First { VertexShader = Clip; FragmentShader = OneOut; }
    pass Second { VertexShader = Clip; FragmentShader = NineOut; }
}
technique Tangent { pass P { VertexShader = WithTangent; FragmentShader = OneOut; } }
technique Empty { }

-- glsl Clip
in vec3 POSITION;
in vec2 TEXCOORD0;
out vec2 uv;
void main() { uv = TEXCOORD0; gl_Position = vec4(POSITION, 1.0); }
-- glsl WithTangent
in vec3 POSITION;
in vec3 TANGENT;
out vec2 uv;
void main() { uv = TANGENT.xy; gl_Position = vec4(POSITION, 1.0); }
-- glsl OneOut
in vec2 uv;
out vec4 colour;
void main() { colour = texture(A, uv); }
-- glsl ThreeOut
in vec2 uv;
out vec4 colour;
void main() { colour = texture(A, uv) + texture(B, uv) + texture(C, uv); }
-- glsl NineOut
in vec2 uv;
out vec4 colour;
void main()
{
    colour = texture(A, uv) + texture(B, uv) + texture(C, uv) + texture(D, uv) + texture(E, uv) +
             texture(F, uv) + texture(G, uv) + texture(H, uv) + texture(I, uv);
}
)";

// The three-texture candidate first by priority, the one-texture candidate second.
const char kChoiceEfx[] = R"(effect = {
    { priority = 1, pass = { { priority = 100, fx = "limits", tec = "One", params = {}, streams = { "pos", "tex" } } } },
    { priority = 2, pass = { { priority = 100, fx = "limits", tec = "Three", params = {}, streams = { "pos", "tex" } } } },
}
)";

class TechniqueValidationTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories("data/fx");
        std::ofstream("data/fx/limits.fx", std::ios::binary) << kLimitsFx;
        std::ofstream("data/choice.efx", std::ios::binary) << kChoiceEfx;
        engine::WindowSettings settings;
        settings.width = settings.height = 32;
        screen.Init(settings);
        window = CWin32Window::Get();
        ASSERT_NE(window->device, nullptr);
        device = dynamic_cast<gpu::GlDevice*>(window->device);
        ASSERT_NE(device, nullptr);
        ASSERT_EQ(device->GetDeviceCaps(realCaps), gpu::kOk);
        EffectPool::Get();

        CompiledEffect* raw = nullptr;
        std::vector<EffectDiagnostic> diagnostics;
        ASSERT_EQ(CompiledEffect::CreateFromFile(device, "data/fx/limits.fx", nullptr, &raw, &diagnostics),
                  gpu::kOk)
            << DiagnosticsText(diagnostics);
        effect = gpu::Ref<CompiledEffect>::Adopt(raw);
    }
    void TearDown() override {
        effect = {};
        delete EffectPool::mInstance;
        SetShaderContext(nullptr, nullptr);
        delete engine::core::ResourceManager::mInstance;
        delete LightManager::mInstance;
        delete engine::core::Kernel::mInstance;
        if (window != nullptr)
            window->Shutdown();
        delete CWin32Window::mInstance;
        const std::string text = log.CloseAndRead();
        EXPECT_EQ(text.find("GL error"), std::string::npos) << text;
    }

    // The device's own caps with one limit lowered.
    void LowerTextures(std::uint32_t textures) {
        gpu::Caps caps = realCaps;
        caps.maxSimultaneousTextures = textures;
        device->OverrideCaps(caps);
    }
    void LowerAttributes(std::uint32_t attributes) {
        gpu::Caps caps = realCaps;
        caps.maxVertexAttributes = attributes;
        device->OverrideCaps(caps);
    }

    // kOk or the failure's reason.
    std::string Validate(const char* technique) {
        std::string reason;
        const gpu::Result result = effect->ValidateTechnique(effect->GetTechniqueByName(technique), &reason);
        return result == gpu::kOk ? "ok" : reason;
    }

    ScopedLogDirectory log;
    MessageBoxCapture boxes;
    engine::core::CScreen screen;
    CWin32Window* window = nullptr;
    gpu::GlDevice* device = nullptr;
    gpu::Caps realCaps;
    gpu::Ref<CompiledEffect> effect;
};

TEST_F(TechniqueValidationTest, TheRealDeviceOffersEveryInputLocationAndAtMostEightTextures) {
    EXPECT_GE(realCaps.maxVertexAttributes, 16u);
    EXPECT_EQ(realCaps.maxSimultaneousTextures, gpu::kMaxTextureStages);
    for (const char* technique : {"One", "Three", "Tangent", "Empty"})
        EXPECT_EQ(Validate(technique), "ok") << technique;
    // More textures than any device of ours binds: the file still compiles, the technique does not
    // validate, and the reason names the pass that reads them.
    EXPECT_EQ(Validate("Nine"), "pass 'Second' of technique 'Nine' of data/fx/limits.fx reads 9 textures, "
                                "the device offers 8");
    EXPECT_EQ(effect->ValidateTechnique(nullptr), gpu::kInvalidCall);
}

TEST_F(TechniqueValidationTest, TexturesAreCountedAgainstTheSimultaneousTexturesOfTheCaps) {
    LowerTextures(2);
    EXPECT_EQ(Validate("One"), "ok");
    EXPECT_EQ(Validate("Three"),
              "pass 'P' of technique 'Three' of data/fx/limits.fx reads 3 textures, the device offers 2");
    EXPECT_EQ(Validate("Empty"), "ok");
    LowerTextures(3);
    EXPECT_EQ(Validate("Three"), "ok");
    // A null reason is allowed.
    LowerTextures(0);
    EXPECT_EQ(effect->ValidateTechnique(effect->GetTechniqueByName("One")), gpu::kFail);
}

TEST_F(TechniqueValidationTest, VertexInputsMustLieAmongTheAttributesTheDeviceOffers) {
    // TANGENT sits at location 6; POSITION and TEXCOORD0 at 0 and 2.
    LowerAttributes(6);
    EXPECT_EQ(Validate("Tangent"), "pass 'P' of technique 'Tangent' of data/fx/limits.fx reads TANGENT at "
                                   "attribute location 6, the device offers 6 attributes");
    EXPECT_EQ(Validate("One"), "ok");
    LowerAttributes(7);
    EXPECT_EQ(Validate("Tangent"), "ok");
    LowerAttributes(2);
    EXPECT_NE(Validate("One").find("reads TEXCOORD0 at attribute location 2"), std::string::npos);
}

TEST_F(TechniqueValidationTest, ATechniqueThatDoesNotValidateCanStillBeBegunWithoutHarm) {
    ASSERT_EQ(effect->SetTechnique(effect->GetTechniqueByName("Nine")), gpu::kOk);
    std::uint32_t passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), gpu::kOk);
    EXPECT_EQ(passes, 2u);
    EXPECT_EQ(effect->BeginPass(1), gpu::kOk);
    EXPECT_EQ(effect->CommitChanges(), gpu::kOk);
    EXPECT_EQ(effect->EndPass(), gpu::kOk);
    EXPECT_EQ(effect->End(), gpu::kOk);
}

TEST_F(TechniqueValidationTest, TheFirstCandidateWhoseTechniqueValidatesIsChosen) {
    // On the real caps the higher-priority candidate is usable and chosen.
    boost::shared_ptr<Effect> chosen = EffectPool::Get()->BuildEffect("data/choice.efx");
    ASSERT_TRUE(chosen);
    ASSERT_EQ(chosen->GetPasses().size(), 1u);
    auto* shader = dynamic_cast<FXShader*>(chosen->GetPasses()[0].get());
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(shader->GetPass().technique, "Three");
    EXPECT_TRUE(Rows(log.CloseAndRead(), "WARNING").empty());

    // On a card with two textures it does not validate and gives way to the next one.
    LowerTextures(2);
    chosen = EffectPool::Get()->BuildEffect("data/choice.efx");
    ASSERT_TRUE(chosen);
    ASSERT_EQ(chosen->GetPasses().size(), 1u);
    shader = dynamic_cast<FXShader*>(chosen->GetPasses()[0].get());
    ASSERT_NE(shader, nullptr);
    EXPECT_EQ(shader->GetPass().technique, "One");

    const std::string text = log.CloseAndRead();
    EXPECT_EQ(Rows(text, "WARNING"),
              (std::vector<std::string>{"FXShader limits.fx with technique Three not supported"}));
    EXPECT_TRUE(Rows(text, "ERROR").empty());
    const std::vector<std::string> messages = Rows(text, "MESSAGE");
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         "pass 'P' of technique 'Three' of data/fx/limits.fx reads 3 textures, the device "
                         "offers 2"),
              1);
    // The warning row names the shader's header in its file column.
    EXPECT_NE(text.find("render/FXShader.h"), std::string::npos);
}

TEST_F(TechniqueValidationTest, WhenNoCandidateValidatesTheFallbackRulesApply) {
    LowerTextures(0);
    EXPECT_EQ(EffectPool::Get()->BuildEffect("data/choice.efx"), EffectPool::Get()->GetBuiltin(2));
    EXPECT_THROW(EffectPool::Get()->BuildEffectStrict("data/choice.efx"), engine::core::Exception);
    const std::string text = log.CloseAndRead();
    const std::vector<std::string> warnings = Rows(text, "WARNING");
    EXPECT_EQ(warnings,
              (std::vector<std::string>{"FXShader limits.fx with technique Three not supported",
                                        "FXShader limits.fx with technique One not supported",
                                        "No effects supported in the list, falling back to wireframe",
                                        "FXShader limits.fx with technique Three not supported",
                                        "FXShader limits.fx with technique One not supported"}));
    EXPECT_EQ(Rows(text, "ERROR"), (std::vector<std::string>{"Failed to generate an effect"}));
}

} // namespace
