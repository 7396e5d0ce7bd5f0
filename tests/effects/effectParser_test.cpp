#include "effects/effectParser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

using namespace engine::gfx;

namespace {

std::optional<EffectSource> Parse(const std::string& text, EffectDiagnostic& error) {
    return ParseEffect(text, "test.fx", error);
}

EffectSource ParseOk(const std::string& text) {
    EffectDiagnostic error;
    auto effect = Parse(text, error);
    EXPECT_TRUE(effect.has_value()) << error.Text();
    return effect ? std::move(*effect) : EffectSource{};
}

template <class T>
T ReadInitial(const ParameterSource& parameter, int index = 0) {
    T value;
    std::memcpy(&value, parameter.initialValue.data() + 4 * index, sizeof value);
    return value;
}

const char* const kMinimalCode = "-- glsl V\n"
                                 "in vec3 POSITION;\n"
                                 "void main() { gl_Position = vec4(POSITION, 1.0); }\n"
                                 "-- glsl F\n"
                                 "out vec4 colour;\n"
                                 "void main() { colour = vec4(1.0); }\n";

// A folder of the repository, wherever the build folder lies.
std::filesystem::path RepositoryFolder(const std::string& name) {
    return std::filesystem::path(QUORVEL_SOURCE_DIR) / name;
}

// The text of the first code block after a heading of the language's documentation.
std::string DocumentedCode(const std::string& heading) {
    std::ifstream in(RepositoryFolder("docs") / "effect-language.md");
    std::stringstream text;
    text << in.rdbuf();
    const std::string doc = text.str();
    const std::size_t start = doc.find("```\n", doc.find(heading));
    const std::size_t end = doc.find("```", start + 4);
    return start == std::string::npos || end == std::string::npos ? ""
                                                                  : doc.substr(start + 4, end - start - 4);
}

} // namespace

TEST(EffectParser, ReadsParametersWithTypesSemanticsAnnotationsAndValues) {
    const EffectSource effect =
        ParseOk("// a comment\n"
                "shared float4x4 ViewProjection : ViewProjection;\n"
                "float Time : Time = 0.5f;\n"
                "int Count = -3;\n"
                "bool Enabled < string help = \"say \\\"hi\\\"\"; int order = 2; > = true;\n"
                "float2 Offset = { 1, -2.5 };\n"
                "float3 Axis = { 0, 1e2, .25 };\n"
                "float4 Tint < float gain = 2; bool hidden = false; > = {1,2,3,4};\n"
                "/* block\n comment */ float4x4 M = {1,0,0,0, 0,1,0,0, 0,0,1,0, 5,6,7,1};\n"
                "texture Base : DiffuseMap { MinFilter = Linear; addressu = CLAMP;\n"
                "  MaxAnisotropy = 8; BorderColor = {1, 0, 0, 1}; };\n"
                "float Plain;\n");
    ASSERT_EQ(effect.parameters.size(), 10u);
    const ParameterSource& vp = effect.parameters[0];
    EXPECT_EQ(vp.name, "ViewProjection");
    EXPECT_EQ(vp.type, ParameterType::Float4x4);
    EXPECT_EQ(vp.semantic, "ViewProjection");
    EXPECT_TRUE(vp.shared);
    EXPECT_FALSE(vp.hasInitialValue);
    EXPECT_EQ(vp.line, 2);

    EXPECT_EQ(ReadInitial<float>(effect.parameters[1]), 0.5f);
    EXPECT_EQ(effect.parameters[1].semantic, "Time");
    EXPECT_EQ(ReadInitial<std::int32_t>(effect.parameters[2]), -3);
    EXPECT_EQ(ReadInitial<std::int32_t>(effect.parameters[3]), 1);
    std::string help;
    ASSERT_TRUE(GetString(FindAnnotation(effect.parameters[3].annotations, "help"), help));
    EXPECT_EQ(help, "say \"hi\"");
    EXPECT_EQ(std::get<int>(FindAnnotation(effect.parameters[3].annotations, "order")->value), 2);
    EXPECT_EQ(ReadInitial<float>(effect.parameters[4], 1), -2.5f);
    EXPECT_EQ(ReadInitial<float>(effect.parameters[5], 1), 100.0f);
    EXPECT_EQ(ReadInitial<float>(effect.parameters[5], 2), 0.25f);
    EXPECT_EQ(ReadInitial<float>(effect.parameters[6], 3), 4.0f);
    EXPECT_EQ(std::get<float>(FindAnnotation(effect.parameters[6].annotations, "gain")->value), 2.0f);
    EXPECT_EQ(ReadInitial<float>(effect.parameters[7], 12), 5.0f);
    EXPECT_EQ(effect.parameters[7].line, 10);

    const ParameterSource& base = effect.parameters[8];
    EXPECT_EQ(base.type, ParameterType::Texture);
    EXPECT_EQ(base.sampler.minFilter, TextureFilter::Linear);
    EXPECT_EQ(base.sampler.magFilter, TextureFilter::Point); // Direct3D's default where none is given
    EXPECT_EQ(base.sampler.mipFilter, TextureFilter::None);
    EXPECT_EQ(base.sampler.addressU, TextureAddress::Clamp);
    EXPECT_EQ(base.sampler.addressV, TextureAddress::Wrap);
    EXPECT_EQ(base.sampler.maxAnisotropy, 8);
    EXPECT_EQ(base.sampler.borderColor[0], 1.0f);
    EXPECT_EQ(ReadInitial<float>(effect.parameters[9]), 0.0f);
}

TEST(EffectParser, ReadsTechniquesPassesStatesAndSections) {
    const EffectSource effect =
        ParseOk("float4x4 W : World;\n"
                "technique Glow < bool quad = true; string material = \"blur\"; >\n"
                "{\n"
                "  pass First { VertexShader = V; FragmentShader = Common, F;\n"
                "    AlphaBlendEnable = TRUE; SrcBlend = SrcAlpha; DestBlend = InvSrcAlpha;\n"
                "    BlendOp = RevSubtract; ZEnable = false; ZFunc = GreaterEqual;\n"
                "    ZWriteEnable = false; CullMode = CW; FillMode = Wireframe;\n"
                "    ColorWriteEnable = Red | Alpha; AlphaTestEnable = true;\n"
                "    AlphaFunc = Greater; AlphaRef = 128; }\n"
                "  pass { VertexShader = V; FragmentShader = F; ColorWriteEnable = 0; }\n"
                "}\n"
                "technique Empty { }\n"
                "-- glsl Common\n"
                "uniform float unused_here;\n"
                "-- glsl V\n"
                "in vec3 POSITION;\n"
                "layout(location = 5) in vec4 TEXCOORD1;\n"
                "void main() { gl_Position = vec4(POSITION, 1.0) + TEXCOORD1; }\n"
                "--  glsl F   \r\n"
                "out vec4 colour;\n"
                "void main() { colour = vec4(1.0); }\n");
    ASSERT_EQ(effect.techniques.size(), 2u);
    const TechniqueSource& glow = effect.techniques[0];
    EXPECT_EQ(effect.FindTechnique("Glow"), &glow);
    EXPECT_EQ(effect.FindTechnique("glow"), nullptr);
    bool quad = false;
    std::string material;
    EXPECT_TRUE(GetBool(FindAnnotation(glow.annotations, "quad"), quad));
    EXPECT_TRUE(quad);
    EXPECT_TRUE(GetString(FindAnnotation(glow.annotations, "material"), material));
    EXPECT_EQ(material, "blur");
    EXPECT_FALSE(GetString(FindAnnotation(glow.annotations, "quad"), material));
    EXPECT_FALSE(GetBool(FindAnnotation(glow.annotations, "material"), quad));
    EXPECT_FALSE(GetBool(FindAnnotation(glow.annotations, "missing"), quad));

    ASSERT_EQ(glow.passes.size(), 2u);
    const PassSource& first = glow.passes[0];
    EXPECT_EQ(first.name, "First");
    EXPECT_EQ(first.line, 4);
    const RenderStates& s = first.states;
    EXPECT_EQ(s.alphaBlendEnable, true);
    EXPECT_EQ(s.srcBlend, BlendFactor::SrcAlpha);
    EXPECT_EQ(s.destBlend, BlendFactor::InvSrcAlpha);
    EXPECT_EQ(s.blendOp, BlendOp::RevSubtract);
    EXPECT_EQ(s.zEnable, false);
    EXPECT_EQ(s.zFunc, CompareFunc::GreaterEqual);
    EXPECT_EQ(s.zWriteEnable, false);
    EXPECT_EQ(s.cullMode, CullMode::CW);
    EXPECT_EQ(s.fillMode, FillMode::Wireframe);
    EXPECT_EQ(s.colorWriteEnable, kWriteRed | kWriteAlpha);
    EXPECT_EQ(s.alphaFunc, CompareFunc::Greater);
    EXPECT_EQ(s.alphaRef, 128);
    EXPECT_EQ(first.colorOutput, "colour");
    ASSERT_EQ(first.fragmentSections.size(), 2u);
    EXPECT_EQ(effect.sections[first.fragmentSections[0]].name, "Common");
    EXPECT_EQ(effect.sections[first.fragmentSections[1]].name, "F");
    ASSERT_EQ(first.vertexInputs.size(), 2u);
    EXPECT_EQ(first.vertexInputs[1].name, "TEXCOORD1");
    EXPECT_EQ(first.vertexInputs[1].input.usage, VertexUsage::TexCoord);
    EXPECT_EQ(first.vertexInputs[1].input.usageIndex, 1);

    const PassSource& second = glow.passes[1];
    EXPECT_TRUE(second.name.empty());
    EXPECT_EQ(second.states.colorWriteEnable, 0u);
    EXPECT_FALSE(second.states.alphaBlendEnable.has_value()); // unset states stay untouched
    EXPECT_TRUE(effect.techniques[1].passes.empty());

    ASSERT_EQ(effect.sections.size(), 3u);
    EXPECT_EQ(effect.sections[1].firstLine, 16);
    EXPECT_EQ(effect.sections[1].text.substr(0, 18), "in vec3 POSITION;\n");
    EXPECT_EQ(effect.sections[2].name, "F");
    EXPECT_EQ(effect.sections[2].firstLine, 20);
}

TEST(EffectParser, ReadsAnEffectFileAndNamesAMissingOne) {
    char folder[] = "/tmp/quorvel-effects-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/simple.fx";
    std::ofstream(path) << "technique T { pass P { VertexShader = V; FragmentShader = F; } }\n"
                        << kMinimalCode;
    EffectDiagnostic error;
    const auto effect = ReadEffectFile(path, error);
    ASSERT_TRUE(effect.has_value()) << error.Text();
    EXPECT_EQ(effect->fileName, path);
    EXPECT_FALSE(ReadEffectFile(std::string(folder) + "/missing.fx", error).has_value());
    EXPECT_EQ(error.Text(), std::string(folder) + "/missing.fx: cannot open the effect file");
    // A folder opens as a stream on Linux but is no effect file.
    EXPECT_FALSE(ReadEffectFile(folder, error).has_value());
    EXPECT_EQ(error.Text(), std::string(folder) + ": cannot open the effect file");
    std::filesystem::remove_all(folder);
}

// Whatever effect files the demo ships, each parses into techniques that all have passes.
TEST(EffectParser, ParsesEveryShippedEffect) {
    const std::filesystem::path folder = std::filesystem::path(QUORVEL_SOURCE_DIR) / "content" / "fx";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".fx")
            continue;
        ++files;
        EffectDiagnostic error;
        const auto effect = ReadEffectFile(entry.path().string(), error);
        ASSERT_TRUE(effect.has_value()) << error.Text();
        EXPECT_FALSE(effect->techniques.empty()) << entry.path();
        for (const TechniqueSource& technique : effect->techniques)
            EXPECT_FALSE(technique.passes.empty()) << entry.path() << " " << technique.name;
    }
    EXPECT_GT(files, 0) << "no effect files in " << folder;
}

TEST(EffectParser, ParsesTheExamplesOfTheDocumentation) {
    for (const char* heading : {"## A file at a glance", "## A complete example"}) {
        const std::string code = DocumentedCode(heading);
        ASSERT_FALSE(code.empty()) << heading;
        EffectDiagnostic error;
        const auto effect = Parse(code, error);
        ASSERT_TRUE(effect.has_value()) << heading << ": " << error.Text();
        EXPECT_FALSE(effect->techniques.empty());
    }
}

// Every cut of a real effect file, and every byte of it replaced by characters that matter to the
// parser, either parses or fails on a line of the text: nothing crashes or reads past it (the
// sanitizer build checks the reads).
TEST(EffectParser, CutOrCorruptedTextFailsOnALineOfTheText) {
    std::ifstream in(RepositoryFolder("content/fx") / "postprocess.fx");
    std::stringstream buffer;
    buffer << in.rdbuf();
    const std::string text = buffer.str();
    ASSERT_GT(text.size(), 1000u);
    const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    auto check = [&](const std::string& variant) {
        EffectDiagnostic error;
        if (!Parse(variant, error)) {
            EXPECT_GE(error.line, 1);
            EXPECT_LE(error.line, lines);
            EXPECT_FALSE(error.message.empty());
        }
    };
    for (std::size_t length = 0; length < text.size(); length += 3)
        check(text.substr(0, length));
    for (std::size_t at = 0; at < text.size(); at += 13)
        for (char c : {'{', '}', '<', '"', '\0', '\n', '-'}) {
            std::string variant = text;
            variant[at] = c;
            check(variant);
        }
}

struct BadCase {
    const char* what;
    std::string text;
    int line;
    const char* message;
};

void PrintTo(const BadCase& bad, std::ostream* out) {
    *out << bad.what;
}

class MalformedEffect : public testing::TestWithParam<BadCase> {};

TEST_P(MalformedEffect, FailsWithTheFileTheLineAndAClearMessage) {
    const BadCase& bad = GetParam();
    EffectDiagnostic error;
    EXPECT_FALSE(Parse(bad.text, error).has_value());
    EXPECT_EQ(error.file, "test.fx");
    EXPECT_EQ(error.line, bad.line) << error.Text();
    EXPECT_NE(error.message.find(bad.message), std::string::npos) << error.Text();
}

const std::string kPass = "pass P { VertexShader = V; FragmentShader = F; }";

INSTANTIATE_TEST_SUITE_P(
    EffectParser, MalformedEffect,
    testing::Values(
        BadCase{"unterminated technique", "technique T {\n" + kPass + "\n" + kMinimalCode, 1,
                "technique 'T' opened here is not closed"},
        BadCase{"unterminated pass",
                "technique T {\n pass P { VertexShader = V;\n" + std::string(kMinimalCode), 2,
                "is not closed with '}'"},
        BadCase{"unterminated sampler block", "texture X {\n MinFilter = Linear;\n", 1,
                "is not closed with '}'"},
        BadCase{"unterminated comment", "float a;\n/* open\n\n", 2, "comment opened here is not closed"},
        BadCase{"unterminated string", "float a < string s = \"open; >;\n", 1, "string is not closed"},
        BadCase{"unterminated annotations", "float a < bool b = true;\n", 1, "not closed with '>'"},
        BadCase{"unknown state",
                "technique T {\n pass P { VertexShader = V;\n Blending = true; } }\n" +
                    std::string(kMinimalCode),
                3, "unknown state 'Blending'"},
        BadCase{"unknown state value", "technique T { pass P {\n CullMode = Sideways; } }", 2,
                "'Sideways' is not a value of CullMode (use None, CW, CCW)"},
        BadCase{"unknown sampler state", "texture X {\n Filter = Linear; };", 2, "unknown state 'Filter'"},
        BadCase{"state set twice", "technique T { pass P {\n ZEnable = true;\n zenable = false; } }", 3,
                "'zenable' is set twice"},
        BadCase{"bad bool state", "technique T { pass P {\n ZEnable = 1; } }", 2, "expected true or false"},
        BadCase{"alpha reference out of range", "technique T { pass P {\n AlphaRef = 300; } }", 2,
                "must be from 0 to 255"},
        BadCase{"bad annotation type", "technique T <\n double d = 1; > { }", 2, "annotation type must be"},
        BadCase{"bad annotation value", "technique T < bool quad =\n \"yes\"; > { }", 2,
                "expected true or false"},
        BadCase{"annotation twice", "technique T < bool a = true;\n bool a = false; > { }", 2, "given twice"},
        BadCase{"duplicate technique", "technique T { }\n\ntechnique T { }", 3,
                "technique 'T' is already defined on line 1"},
        BadCase{"duplicate parameter", "float a;\nint a;", 2, "parameter 'a' is already declared on line 1"},
        BadCase{"duplicate pass", "technique T {\n" + kPass + "\n" + kPass + "\n}\n" + kMinimalCode, 3,
                "pass 'P' of technique 'T' is already defined on line 2"},
        BadCase{"missing entry section",
                "technique T {\n pass P { VertexShader = V;\n FragmentShader = Missing; } }\n" +
                    std::string(kMinimalCode),
                3, "no glsl section named 'Missing'"},
        BadCase{"pass without fragment code",
                "technique T {\n pass P { VertexShader = V; } }\n" + std::string(kMinimalCode), 2,
                "names no fragment code"},
        BadCase{"vertex code without main",
                "technique T {\n pass P { VertexShader = F2; FragmentShader = F; } }\n" +
                    std::string(kMinimalCode) + "-- glsl F2\nvoid helper() {}\n",
                2, "its vertex code defines no main()"},
        BadCase{"vertex input without usage",
                "technique T { " + kPass +
                    " }\n-- glsl V\nin vec3 POSITION;\nin vec3 Normal;\n"
                    "void main() {}\n-- glsl F\nvoid main() {}\n",
                4, "vertex input 'Normal' names no vertex usage"},
        BadCase{"alpha test without one output",
                "technique T {\n pass P { VertexShader = V; FragmentShader = F;\n"
                " AlphaTestEnable = true; } }\n-- glsl V\nvoid main() {}\n-- glsl F\n"
                "out vec4 a; out vec4 b;\nvoid main() {}\n",
                2, "needs exactly one 'out vec4'"},
        BadCase{"bad int initial value", "int a =\n 1.5;", 2, "expected an integer"},
        BadCase{"bad bool initial value", "bool b = 1;", 1, "expected true or false"},
        BadCase{"too few vector components", "float3 v = { 1, 2 };", 1, "needs 3 numbers, found 2"},
        BadCase{"too many vector components", "float2 v = { 1, 2, 3 };", 1, "needs exactly 2 numbers"},
        BadCase{"number out of range", "float f = 1e99;", 1, "expected a number"},
        BadCase{"malformed number", "float f = 1.5x;", 1, "malformed number '1.5x'"},
        BadCase{"texture with initial value", "texture t = 1;", 1, "cannot have an initial value"},
        BadCase{"sampler block on a float", "float f { MinFilter = Linear; };", 1, "only a texture takes"},
        BadCase{"missing semicolon", "float a\nfloat b;", 2, "expected ';' at the end of parameter 'a'"},
        BadCase{"unknown type", "double d;", 1, "expected a parameter declaration or 'technique'"},
        BadCase{"reserved parameter name", "float gl_Thing;", 1, "reserved by GLSL"},
        BadCase{"parameter named like a GLSL keyword", "float ok;\nfloat4 uniform;", 2,
                "'uniform' is reserved by GLSL"},
        BadCase{"parameter named like an input", "float3 NORMAL;", 1, "taken by the vertex input"},
        BadCase{"stray character", "float a;\n@", 2, "unexpected character '@'"},
        BadCase{"control byte", std::string("float a;\n\x01"), 2, "unexpected byte 1"},
        BadCase{"marker without name", "-- glsl\nvoid main() {}", 1, "section marker has no name"},
        BadCase{"marker with two names", "-- glsl A B\n", 1, "must be one identifier"},
        BadCase{"section twice", "-- glsl A\n\n-- glsl A\n", 3,
                "glsl section 'A' is already defined on line 1"},
        BadCase{"version line in a section", "-- glsl A\nvoid f() {}\n  #  version 330\n", 3,
                "#version is not allowed"}),
    [](const testing::TestParamInfo<BadCase>& info) {
        std::string name = info.param.what;
        for (char& c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)))
                c = '_';
        return name;
    });
