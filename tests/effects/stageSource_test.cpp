#include "effects/effectParser.h"
#include "effects/stageSource.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace engine::gfx;

namespace {

const char* const kEffect =
    "float4x4 World : World;\n" // 1
    "texture Base;\n"           // 2
    "bool Flag;\n"              // 3
    "technique T {\n"           // 4
    "  pass Plain { VertexShader = V; FragmentShader = Common, F; }\n"
    "  pass Tested { VertexShader = V; FragmentShader = F;\n"
    "    AlphaTestEnable = true; AlphaFunc = GreaterEqual; AlphaRef = 128; }\n"
    "  pass Never { VertexShader = V; FragmentShader = F;\n"
    "    AlphaTestEnable = true; AlphaFunc = Never; }\n"
    "  pass Always { VertexShader = V; FragmentShader = F; AlphaTestEnable = true; }\n"
    "}\n"
    "-- glsl Common\n" // 12
    "float Half(float x) { return x * 0.5; }\n"
    "-- glsl V\n" // 14
    "in vec3 POSITION;\n"
    "void main() { gl_Position = World * vec4(POSITION, 1.0); }\n"
    "-- glsl F\n" // 17
    "out vec4 colour;\n"
    "void main() { colour = texture(Base, vec2(0.0)); }";

EffectSource ParseOk() {
    EffectDiagnostic error;
    auto effect = ParseEffect(kEffect, "stage.fx", error);
    EXPECT_TRUE(effect.has_value()) << error.Text();
    return effect ? std::move(*effect) : EffectSource{};
}

// The line a GLSL compiler gives a line of the source: #line directives set the number of the next
// line and the source string, as the GLSL 3.30 rules say.
std::pair<int, int> CompilerPosition(const std::string& source, const std::string& text) {
    std::istringstream lines(source);
    int line = 1, string = 0;
    for (std::string current; std::getline(lines, current);) {
        if (current.rfind("#line ", 0) == 0) {
            std::istringstream directive(current.substr(6));
            directive >> line >> string;
            continue;
        }
        if (current.find(text) != std::string::npos)
            return {string, line};
        ++line;
    }
    return {-1, -1};
}

} // namespace

TEST(StageSource, DeclaresEveryParameterAndKeepsTheFileLinesOfTheCode) {
    const EffectSource effect = ParseOk();
    const PassSource& plain = effect.techniques[0].passes[0];
    const std::string vertex = BuildStageSource(effect, plain, ShaderStage::Vertex);
    const std::string fragment = BuildStageSource(effect, plain, ShaderStage::Fragment);
    EXPECT_EQ(vertex.rfind("#version 330 core\n", 0), 0u);
    for (const std::string& source : {vertex, fragment}) {
        EXPECT_NE(source.find("uniform mat4 World;\n"), std::string::npos);
        EXPECT_NE(source.find("uniform sampler2D Base;\n"), std::string::npos);
        EXPECT_NE(source.find("uniform bool Flag;\n"), std::string::npos);
        EXPECT_EQ(CompilerPosition(source, "uniform bool Flag;"), std::make_pair(kGeneratedSourceString, 3));
    }
    EXPECT_EQ(CompilerPosition(vertex, "in vec3 POSITION;"), std::make_pair(0, 15));
    EXPECT_EQ(CompilerPosition(vertex, "gl_Position"), std::make_pair(0, 16));
    EXPECT_EQ(CompilerPosition(fragment, "float Half"), std::make_pair(0, 13));
    EXPECT_EQ(CompilerPosition(fragment, "colour = texture"), std::make_pair(0, 19));
    EXPECT_EQ(fragment.find("discard"), std::string::npos);
}

TEST(StageSource, CompilesTheAlphaTestIntoTheFragmentStage) {
    const EffectSource effect = ParseOk();
    const auto& passes = effect.techniques[0].passes;
    const std::string tested = BuildStageSource(effect, passes[1], ShaderStage::Fragment);
    EXPECT_NE(tested.find("#define main effectPassMain\n"), std::string::npos);
    EXPECT_NE(tested.find("floor(clamp(colour.a, 0.0, 1.0) * 255.0 + 0.5) >= 128.0"), std::string::npos);
    EXPECT_EQ(CompilerPosition(tested, "colour = texture"), std::make_pair(0, 19));
    EXPECT_EQ(CompilerPosition(tested, "#undef main").first, kGeneratedSourceString);
    EXPECT_EQ(BuildStageSource(effect, passes[1], ShaderStage::Vertex).find("discard"), std::string::npos);

    EXPECT_NE(BuildStageSource(effect, passes[2], ShaderStage::Fragment).find("if (!(false))"),
              std::string::npos);
    // Direct3D's default function, Always, lets everything through: no test is compiled.
    EXPECT_EQ(BuildStageSource(effect, passes[3], ShaderStage::Fragment).find("discard"), std::string::npos);
}

TEST(CompilerLog, MapsEachDriversMessagesToTheEffectFile) {
    const std::string log = "0:19(12): error: `colour2' undeclared\n"
                            "0(16) : warning C7050: \"x\" might be used before being initialized\n"
                            "ERROR: 0:13: 'Half' : redefinition\n"
                            "1:3(1): error: generated code failed\n"
                            "\n"
                            "error: linking failed: vertex output `uv' not written\n";
    const auto diagnostics = ParseCompilerLog(log, "data/fx/stage.fx", 6);
    ASSERT_EQ(diagnostics.size(), 5u);
    EXPECT_EQ(diagnostics[0].Text(), "data/fx/stage.fx:19: error: `colour2' undeclared");
    EXPECT_EQ(diagnostics[1].Text(),
              "data/fx/stage.fx:16: warning C7050: \"x\" might be used before being initialized");
    EXPECT_EQ(diagnostics[2].Text(), "data/fx/stage.fx:13: error: 'Half' : redefinition");
    EXPECT_EQ(diagnostics[3].Text(), "data/fx/stage.fx:6: in generated code: error: generated code failed");
    EXPECT_EQ(diagnostics[4].Text(),
              "data/fx/stage.fx:6: error: linking failed: vertex output `uv' not written");
}

TEST(CompilerLog, KeepsTheStageTheDeviceNamesForTheLinesAfterIt) {
    const std::string log = "vertex shader: 0:4(2): error: syntax error\n"
                            "0:5(1): error: another\n"
                            "fragment shader: 0:9(3): warning: unused\n"
                            "link: error: no main\n";
    const auto diagnostics = ParseCompilerLog(log, "data/fx/stage.fx", 2);
    ASSERT_EQ(diagnostics.size(), 4u);
    EXPECT_EQ(diagnostics[0].Text(), "data/fx/stage.fx:4: vertex shader: error: syntax error");
    EXPECT_EQ(diagnostics[1].Text(), "data/fx/stage.fx:5: vertex shader: error: another");
    EXPECT_EQ(diagnostics[2].Text(), "data/fx/stage.fx:9: fragment shader: warning: unused");
    EXPECT_EQ(diagnostics[3].Text(), "data/fx/stage.fx:2: link: error: no main");
}
