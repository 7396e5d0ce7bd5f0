// The mesh and texture generators as functions of the description language: box{...}, grid{...},
// cylinder{...}, sphere{...}, leaf{...}, grassBlade{...}, screenQuad(), obj "file.obj", text{...} (3D type
// from a font file of the content folder), and
// gradient{...}, noise{...}, checker{...}, glowSprite{...}. Each call makes its mesh or picture at once
// (bad arguments are an error at the line of the call) and returns a handle the description places in
// its tables; the build reads the handles back after the description has run.
#pragma once

#include "content/content.h"
#include "luaValue.h"

#include <filesystem>
#include <optional>
#include <vector>

struct lua_State;

namespace quorvel::build {

struct GeneratedAssets {
    std::vector<content::MeshData> meshes;
    std::vector<content::Image> images;
    // Bytes made so far; the calls of one description may not make more than kGeneratedBytesLimit,
    // which the Lua memory limit does not see.
    std::size_t bytes = 0;
    // The files obj() and text() read, so that the build knows what the description's outputs are made from.
    std::vector<std::filesystem::path> filesRead;
};

// A fuzzing build sets it lower, as it does the Lua limits (script/luaWrapper.h).
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr std::size_t kGeneratedBytesLimit = std::size_t{8} << 20;
#else
constexpr std::size_t kGeneratedBytesLimit = std::size_t{256} << 20;
#endif

// Registers the generator functions as globals. obj() reads files below contentRoot only.
void RegisterGenerators(lua_State* state, GeneratedAssets& assets, const std::filesystem::path& contentRoot);

// The mesh or picture a value stands for; Fail unless the value came from a generator.
const content::MeshData& MeshOf(const LuaValue& value, const GeneratedAssets& assets);
const content::Image& ImageOf(const LuaValue& value, const GeneratedAssets& assets);

// A path a description names, relative to the content folder; nothing when it is absolute or leaves
// the folder.
std::optional<std::filesystem::path> ContentPath(const std::filesystem::path& contentRoot,
                                                 const std::string& relative);

} // namespace quorvel::build
