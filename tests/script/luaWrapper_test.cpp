#include "script/luaWrapper.h"
#include "scriptFixture.h"

#include <gtest/gtest.h>

#include <lua.hpp>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

using engine::gfx::EffectCandidate;
using engine::gfx::LuaRef;
using engine::gfx::LuaScript;
using quorvel::test::MaterialScriptTest;

namespace {

int AppendChunk(lua_State*, const void* data, std::size_t size, void* buffer) {
    static_cast<std::string*>(buffer)->append(static_cast<const char*>(data), size);
    return 0;
}

// A real precompiled chunk, made by the interpreter itself.
std::string Precompile(const char* source) {
    lua_State* state = luaL_newstate();
    std::string chunk;
    if (luaL_loadstring(state, source) == 0)
        lua_dump(state, AppendChunk, &chunk);
    lua_close(state);
    return chunk;
}

// glibc keeps a copy of LOCPATH from each locale it loads through it and never frees it; that is not
// ours to report.
class GlibcLocalePathLeak {
public:
#ifdef __SANITIZE_ADDRESS__
    GlibcLocalePathLeak() {
        __lsan_disable();
    }
    ~GlibcLocalePathLeak() {
        __lsan_enable();
    }
#endif
};

bool LocaleExists(const std::string& name) {
    [[maybe_unused]] GlibcLocalePathLeak ignored;
    locale_t locale = newlocale(LC_NUMERIC_MASK, name.c_str(), nullptr);
    if (locale == nullptr)
        return false;
    freelocale(locale);
    return true;
}

// A locale whose decimal point is a comma: an installed one, or else one compiled into scratch from
// the system's locale sources. Empty when neither is possible.
std::string DecimalCommaLocale(const std::filesystem::path& scratch) {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8"})
        if (LocaleExists(name))
            return name;
    std::string command =
        "localedef -i de_DE -f UTF-8 '" + (scratch / "de_DE.UTF-8").string() + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0)
        return {};
    setenv("LOCPATH", scratch.c_str(), 1);
    return LocaleExists("de_DE.UTF-8") ? "de_DE.UTF-8" : std::string();
}

} // namespace

TEST_F(MaterialScriptTest, EndlessLoopIsStoppedByTheInstructionLimit) {
    EXPECT_EQ(ParseError("effect = {}\nwhile true do end"),
              "Error in lua script: data/test.efx:2: instruction limit of 10000000 exceeded");
}

TEST_F(MaterialScriptTest, EndlessRecursionIsAScriptError) {
    std::string row = ParseError("local function f() return 1 + f() end\neffect = f()");
    EXPECT_EQ(row.rfind("Error in lua script: data/test.efx:1: stack overflow", 0), 0u) << row;
}

TEST_F(MaterialScriptTest, GrowingStringIsStoppedByTheMemoryLimit) {
    EXPECT_EQ(ParseError("local s = 'x'\nwhile true do s = s .. s end"),
              "Error in lua script: data/test.efx: memory limit of 33554432 bytes exceeded");
}

// Little stays alive, but every step copies the whole string: found by the fuzzer, minutes of copying
// within the instruction limit before the allocation limit.
TEST_F(MaterialScriptTest, AStringJoinedToItselfByOneByteIsStoppedByTheAllocationLimit) {
    EXPECT_EQ(ParseError("local s = 'x'\nwhile true do s = s .. 2 end"),
              "Error in lua script: data/test.efx: allocation limit of 1073741824 bytes in all exceeded");
}

TEST_F(MaterialScriptTest, ManySmallTablesAreStoppedByTheMemoryLimit) {
    EXPECT_EQ(ParseError("effect = {}\nlocal i = 1\nwhile true do effect[i] = { i } i = i + 1 end"),
              "Error in lua script: data/test.efx: memory limit of 33554432 bytes exceeded");
}

TEST_F(MaterialScriptTest, SharedTablesAreStoppedByTheReadLimits) {
    // Cheap to run, endless to read back: 400,000 passes that all are one pass whose parameters are
    // 400,000 references to one description; then two megabytes of text named by three passes, which the
    // second one takes past the limit.
    const std::string manyReads = "local d = { 'float', 'x', 1 }\nlocal params = {}\n"
                                  "for i = 1, 400000 do params[i] = d end\n"
                                  "local p = { fx = 'a', tec = 't', params = params, streams = {} }\n"
                                  "local passes = {}\nfor i = 1, 400000 do passes[i] = p end\n"
                                  "effect = { { pass = passes } }";
    std::string row = ParseError(manyReads);
    EXPECT_EQ(row.rfind("Error in lua script: data/test.efx: effect[1].pass[1].params", 0), 0u) << row;
    EXPECT_TRUE(row.ends_with(": read limit of 100000 table elements exceeded")) << row;

    const std::string muchText = "local s = 'x'\nfor i = 1, 21 do s = s .. s end\n"
                                 "local p = { fx = 'a', tec = s, params = {}, streams = {} }\n"
                                 "effect = { { pass = { p, p, p } } }";
    EXPECT_EQ(ParseError(muchText),
              "Error in lua script: data/test.efx: effect[1].pass[2].tec: read limit of 4194304 bytes of "
              "text exceeded");
}

TEST_F(MaterialScriptTest, PrecompiledChunksAreRefused) {
    std::string chunk = Precompile("effect = {}");
    ASSERT_FALSE(chunk.empty());
    const std::string refused = "Error in lua script: data/test.efx: precompiled chunks are not accepted";
    EXPECT_EQ(ParseError(chunk), refused);
}

TEST_F(MaterialScriptTest, PrecompiledChunkAfterACommentLineIsRefused) {
    EXPECT_EQ(ParseError("#!/usr/bin/lua\n" + Precompile("effect = {}")),
              "Error in lua script: data/test.efx: precompiled chunks are not accepted");
}

TEST_F(MaterialScriptTest, NumbersReadTheCWayUnderADecimalCommaLocale) {
    std::string comma = DecimalCommaLocale(dir.Root());
    if (comma.empty())
        GTEST_SKIP() << "no locale with a decimal comma is installed or can be compiled here";
    std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    {
        [[maybe_unused]] GlibcLocalePathLeak ignored;
        ASSERT_NE(std::setlocale(LC_NUMERIC, comma.c_str()), nullptr);
    }
    char text[8];
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    EXPECT_STREQ(text, "1,5");

    std::vector<EffectCandidate> candidates = Parse(R"(
        effect = { { priority = "2.5", pass = { { fx = 1.5, tec = 0.25,
            params = { { "float", "f", "0.5" }, { "float3", "v", { "1.5", 2.5, "-0.5" } } }, streams = {} } } } }
    )");
    std::snprintf(text, sizeof text, "%.1f", 1.5);
    EXPECT_STREQ(text, "1,5") << "the process locale is left as it was";
    std::setlocale(LC_NUMERIC, previous.c_str());
    unsetenv("LOCPATH");

    ASSERT_EQ(candidates.size(), 1u);
    EXPECT_EQ(candidates[0].priority, 2);
    const auto& pass = candidates[0].passes.at(0);
    EXPECT_EQ(pass.fxFile, "1.5.fx");
    EXPECT_EQ(pass.technique, "0.25");
    float f;
    std::memcpy(&f, pass.params.scalarValues.at(0).second.data(), sizeof f);
    EXPECT_EQ(f, 0.5f);
    EXPECT_EQ(pass.params.float3Values.at(0).second.x, 1.5f);
    EXPECT_EQ(pass.params.float3Values.at(0).second.z, -0.5f);
}

TEST_F(MaterialScriptTest, ReferencesReadValuesAndPopThemselves) {
    LuaScript script(Write("effect = { 'a', 2.5, true, nil, key = 'v' }\nother = 7"));
    LuaRef effect = script.GetGlobal("effect");
    ASSERT_TRUE(effect.IsTable());
    EXPECT_EQ(effect.Path(), "data/test.efx: effect");
    EXPECT_TRUE(effect.HasElement(3));
    EXPECT_FALSE(effect.HasElement(4));
    EXPECT_EQ(effect.Element(1).ToString(), "a");
    EXPECT_EQ(effect.Element(2).ToString(), "2.5");
    EXPECT_EQ(effect.Element(2).ToNumber(), 2.5);
    EXPECT_TRUE(effect.Element(3).ToBoolean());
    EXPECT_EQ(effect.Element(1).ToNumber(), 0.0);
    EXPECT_EQ(effect.Field("key").ToString(), "v");
    EXPECT_EQ(effect.Field("none").ToString(), "");
    // Each reference above was popped at the end of its statement; popping out of order would assert.
    LuaRef other = script.GetGlobal("other");
    EXPECT_EQ(other.ToNumber(), 7.0);
    EXPECT_FALSE(other.IsTable());
    EXPECT_THROW(other.RequireTable(), engine::core::Exception);
}
