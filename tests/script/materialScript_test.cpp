#include "scriptFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

using engine::gfx::EffectCandidate;
using engine::gfx::PassDescription;
using quorvel::test::CountRows;
using quorvel::test::MaterialScriptTest;

namespace {

template <typename T>
T FromBytes(const std::array<std::uint8_t, 4>& bytes) {
    T value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

const char kFullScript[] = R"(
effect = {
  { priority = 3,
    pass = {
      { priority = 7.8, fx = "lit", tec = "Textured", rtt_stex = "glow",
        params = {
          { "float4", "tint", { 1, 2, 3, 4 } },
          { "float3", "axis", { 0.5, "0.25", {} } },
          { "float2", "offset", { 7 } },
          { "int", "count", 2.9 },
          { "float", "gain", 0.5 },
          { "ipo", "fade", "fadeCurve" },
          { "ipo", "other", "noSuchCurve" },
          { "bool", "zeroIsTrue", 0 },
          { "bool", "off", false },
          { "bool", "unset" },
          { "tex", "slot", "tex3" },
          { "tex", "file", "data/Tex3" },
          { "target", "previous", "lastFrame" },
          { "tex", "top", "tex6" },
        },
        streams = { "pos", "normal", "pos", "tex", "tbn" } },
      { fx = 12, params = {}, streams = {} },
    } },
}
)";

} // namespace

TEST_F(MaterialScriptTest, FullScriptFillsEveryListInScriptOrder) {
    resources.curveValues["fadeCurve"] = 0.75f;
    std::vector<EffectCandidate> candidates = Parse(kFullScript);
    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].priority, 3);
    ASSERT_EQ(candidates[0].passes.size(), 2u);

    const PassDescription& pass = candidates[0].passes[0];
    EXPECT_EQ(pass.priority, 7);
    EXPECT_EQ(pass.fxFile, "lit.fx");
    EXPECT_EQ(pass.technique, "Textured");
    EXPECT_TRUE(pass.renderToTexture);
    EXPECT_EQ(pass.renderTarget, "glow");
    EXPECT_EQ(pass.streams, (std::set<int>{0, 1, 2, 3}));

    const auto& p = pass.params;
    ASSERT_EQ(p.float4Values.size(), 1u);
    EXPECT_EQ(p.float4Values[0].first, "tint");
    EXPECT_EQ(p.float4Values[0].second.w, 4.0f);
    ASSERT_EQ(p.float3Values.size(), 1u);
    EXPECT_EQ(p.float3Values[0].second.x, 0.5f);
    EXPECT_EQ(p.float3Values[0].second.y, 0.25f); // a string holding a number
    EXPECT_EQ(p.float3Values[0].second.z, 0.0f);  // anything else reads as 0
    ASSERT_EQ(p.float2Values.size(), 1u);
    EXPECT_EQ(p.float2Values[0].second, (std::array<float, 2>{7.0f, 0.0f}));

    ASSERT_EQ(p.scalarValues.size(), 2u);
    EXPECT_EQ(p.scalarValues[0].first, "count");
    EXPECT_EQ(FromBytes<int>(p.scalarValues[0].second), 2);
    EXPECT_EQ(p.scalarValues[1].first, "gain");
    EXPECT_EQ(FromBytes<float>(p.scalarValues[1].second), 0.5f);

    ASSERT_EQ(p.curveValues.size(), 2u);
    EXPECT_EQ(p.curveValues[0].second, &resources.curveValues["fadeCurve"]);
    EXPECT_EQ(p.curveValues[1].second, nullptr);
    EXPECT_EQ(resources.curves, (std::vector<std::string>{"fadeCurve", "noSuchCurve"}));

    ASSERT_EQ(p.boolValues.size(), 3u);
    EXPECT_TRUE(p.boolValues[0].second);
    EXPECT_FALSE(p.boolValues[1].second);
    EXPECT_FALSE(p.boolValues[2].second);

    // "tex3" binds a material slot; any other text is a file path, loaded at once.
    ASSERT_EQ(p.slotValues.size(), 2u);
    EXPECT_EQ(p.slotValues[0], (std::pair<std::string, int>{"slot", 3}));
    EXPECT_EQ(p.slotValues[1], (std::pair<std::string, int>{"top", 6}));
    ASSERT_EQ(p.textureValues.size(), 2u);
    EXPECT_EQ(p.textureValues[0].first, "file");
    EXPECT_EQ(p.textureValues[1].first, "previous");
    EXPECT_EQ(resources.textures, (std::vector<std::wstring>{L"data/Tex3"}));
    // The pass's own target is requested before the target parameter.
    EXPECT_EQ(resources.targets, (std::vector<std::wstring>{L"glow", L"lastFrame"}));

    const PassDescription& second = candidates[0].passes[1];
    EXPECT_EQ(second.priority, 0);
    EXPECT_EQ(second.fxFile, "12.fx");
    EXPECT_EQ(second.technique, "");
    EXPECT_FALSE(second.renderToTexture);
    EXPECT_TRUE(second.streams.empty());

    EXPECT_EQ(CountRows(dir.CloseAndRead(), "MESSAGE", "Parsing material script data/test.efx"), 1);
}

TEST_F(MaterialScriptTest, CandidatesSortHighestFirstAndEqualPrioritiesKeepScriptOrder) {
    std::vector<EffectCandidate> candidates = Parse(R"(
        local function candidate(p, name) return { priority = p, pass = { { tec = name, params = {}, streams = {} } } } end
        effect = { candidate(1.9, "a"), candidate(nil, "none"), candidate(1.2, "b"), candidate(-1.7, "neg"),
                   candidate(5, "top"), candidate(0/0, "nan"), candidate(1e300, "huge") }
    )");
    std::vector<std::pair<int, std::string>> order;
    for (const EffectCandidate& c : candidates)
        order.emplace_back(c.priority, c.passes.at(0).technique);
    EXPECT_EQ(order,
              (std::vector<std::pair<int, std::string>>{
                  {INT_MAX, "huge"}, {5, "top"}, {1, "a"}, {1, "b"}, {0, "none"}, {0, "nan"}, {-1, "neg"}}));
}

TEST_F(MaterialScriptTest, EmptyListsAndArraysWithHoles) {
    EXPECT_TRUE(Parse("effect = {}").empty());

    // Arrays are read from 1 up to the first nil: element 4 is never seen.
    std::vector<EffectCandidate> candidates = Parse(R"(
        local pass = { params = { { "int", "a", 1 }, nil, { "int", "b", 2 } }, streams = { "pos", nil, "normal" } }
        effect = { { priority = 1, pass = { pass } }, { priority = 2, pass = {} }, nil, { pass = 5 } }
    )");
    ASSERT_EQ(candidates.size(), 2u);
    EXPECT_TRUE(candidates[0].passes.empty());
    ASSERT_EQ(candidates[1].passes.size(), 1u);
    EXPECT_EQ(candidates[1].passes[0].params.scalarValues.size(), 1u);
    EXPECT_EQ(candidates[1].passes[0].streams, (std::set<int>{0}));
}

struct ErrorCase {
    const char* name;
    const char* script;
    const char* error;
};

class MaterialScriptErrors : public MaterialScriptTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(MaterialScriptErrors, WritesTheRowAndThrows) {
    EXPECT_EQ(ParseError(GetParam().script), GetParam().error);
}

#define PASS_WITH(fields) "effect = { { pass = { { " fields " } } } }"
#define PARAM(value) PASS_WITH("params = { " value " }, streams = {}")

INSTANTIATE_TEST_SUITE_P(
    EveryRowOfTheTable, MaterialScriptErrors,
    ::testing::Values(
        ErrorCase{"SyntaxError", "effect = {",
                  "Error in lua script: data/test.efx:1: unexpected symbol near '<eof>'"},
        ErrorCase{"RunTimeError", "effect = nil + 1",
                  "Error in lua script: data/test.efx:1: attempt to perform arithmetic on a nil value"},
        ErrorCase{"NoLibraryIsOpened", "effect = {}\nprint(\"hello\")",
                  "Error in lua script: data/test.efx:2: attempt to call global 'print' (a nil value)"},
        ErrorCase{"EffectMissing", "effects = {}", "Effect must be a table"},
        ErrorCase{"EffectNotTable", "effect = \"lit\"", "Effect must be a table"},
        ErrorCase{"PassMissing", "effect = { { priority = 1 } }", "Pass must be a table"},
        ErrorCase{"ParamsMissing", PASS_WITH("streams = {}"), "Params must be a table"},
        ErrorCase{"DescriptionNotTable", PARAM("\"float\""), "Parameter description must be a table"},
        ErrorCase{"Float2NotTable", PARAM("{ \"float2\", \"v\", 1 }"), "float2 value must be a table"},
        ErrorCase{"Float3NotTable", PARAM("{ \"float3\", \"v\" }"), "float3 value must be a table"},
        ErrorCase{"Float4NotTable", PARAM("{ \"float4\", \"v\", \"1 2 3 4\" }"),
                  "float4 value must be a table"},
        ErrorCase{"TypeIsCaseSensitive", PARAM("{ \"Float\", \"v\", 1 }"),
                  "Unsupported parameter type( supported: int, float, bool, tex, target )"},
        ErrorCase{"TypeMissing", PARAM("{}"),
                  "Unsupported parameter type( supported: int, float, bool, tex, target )"},
        ErrorCase{"StreamsMissing", PASS_WITH("params = {}"), "Streams must be a table"},
        ErrorCase{"UnknownStream", PASS_WITH("params = {}, streams = { \"pos\", \"color\" }"),
                  "Unsupported stream type ( supported: pos, normal, tex, tbn )"},
        ErrorCase{"TextureNotLoaded", PARAM("{ \"tex\", \"t\", \"data/missing.png\" }"),
                  "Failed to create texture data/missing.png"}),
    [](const auto& info) { return std::string(info.param.name); });

// Values of the wrong Lua type are reported by where they are in the script, never left to the
// interpreter.
INSTANTIATE_TEST_SUITE_P(
    WrongLuaTypes, MaterialScriptErrors,
    ::testing::Values(
        ErrorCase{"CandidateNotTable", "effect = { { pass = {} }, 4 }",
                  "data/test.efx: effect[2] must be a table, not a number"},
        ErrorCase{"PassNotTable", "effect = { { pass = { \"lit\" } } }",
                  "data/test.efx: effect[1].pass[1] must be a table, not a string"},
        ErrorCase{"FxHoldsTable", PASS_WITH("fx = {}"),
                  "data/test.efx: effect[1].pass[1].fx must be a string or a number, not a table"},
        ErrorCase{"TechniqueHoldsFunction", PASS_WITH("tec = function() end"),
                  "data/test.efx: effect[1].pass[1].tec must be a string or a number, not a function"},
        ErrorCase{"TargetHoldsBoolean", PASS_WITH("rtt_stex = true"),
                  "data/test.efx: effect[1].pass[1].rtt_stex must be a string or a number, not a boolean"},
        ErrorCase{"ParameterNameHoldsTable", PARAM("{ \"int\", {}, 1 }"),
                  "data/test.efx: effect[1].pass[1].params[1][2] must be a string or a number, not a table"},
        ErrorCase{"CurveNameHoldsTable", PARAM("{ \"ipo\", \"c\", { \"fade\" } }"),
                  "data/test.efx: effect[1].pass[1].params[1][3] must be a string or a number, not a table"},
        ErrorCase{
            "TextureHoldsFunction", PARAM("{ \"tex\", \"t\", function() end }"),
            "data/test.efx: effect[1].pass[1].params[1][3] must be a string or a number, not a function"},
        ErrorCase{"StreamHoldsTable", PASS_WITH("params = {}, streams = { {} }"),
                  "data/test.efx: effect[1].pass[1].streams[1] must be a string or a number, not a table"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MaterialScriptTest, UnreadableFilesGiveLuasOwnMessages) {
    std::filesystem::create_directory(dir.Root() / "data/folder.efx");
    EXPECT_THROW(engine::gfx::ParseMaterialScript("data/none.efx", resources), engine::core::Exception);
    EXPECT_THROW(engine::gfx::ParseMaterialScript("data/folder.efx", resources), engine::core::Exception);
    std::vector<std::string> rows = quorvel::test::ErrorRows(dir.CloseAndRead());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], "Error in lua script: cannot open data/none.efx: No such file or directory");
    EXPECT_EQ(rows[1], "Error in lua script: cannot read data/folder.efx: Is a directory");
}

TEST_F(MaterialScriptTest, ParsingLeavesTheThreadLocaleAsItWas) {
    locale_t before = uselocale(nullptr);
    Parse("effect = {}");
    EXPECT_THROW(Parse("effect = 1"), engine::core::Exception);
    EXPECT_EQ(uselocale(nullptr), before);
}
