#include "sandbox.h"

#include "contentFile.h"

#include <lua.hpp>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>

namespace quorvel::build {

namespace {

constexpr int kHookInterval = 1000;

// Whatever a generator or a description seeds, a run starts from this state, so the same file gives
// the same numbers on every machine.
constexpr std::uint64_t kRandomSeed = 0x5DEECE66DULL;

// Base functions a description may not have: file access and code loading, output, the collector, the
// environment functions, the two that catch errors, which would let a script swallow the error a
// limit raises and go on, and metatables, whose handlers would run while the result is read, after the
// limits are off.
const char* const kRemovedGlobals[] = {"dofile", "loadfile", "load",      "loadstring",   "collectgarbage",
                                       "gcinfo", "getfenv",  "setfenv",   "print",        "newproxy",
                                       "pcall",  "xpcall",   "coroutine", "setmetatable", "getmetatable"};

Sandbox::Budget& BudgetOf(lua_State* state) {
    void* budget = nullptr;
    lua_getallocf(state, &budget);
    return *static_cast<Sandbox::Budget*>(budget);
}

// Raises the error from inside the running script, so the jump ends in the protected call.
void CountInstructions(lua_State* state, lua_Debug*) {
    Sandbox::Budget& budget = BudgetOf(state);
    budget.instructions += kHookInterval;
    if (budget.instructions < engine::gfx::kLuaInstructionLimit)
        return;
    luaL_where(state, 0);
    lua_pushfstring(state, "instruction limit of %d exceeded",
                    static_cast<int>(engine::gfx::kLuaInstructionLimit));
    lua_concat(state, 2);
    lua_error(state);
}

// splitmix64 over the state kept in the closure's upvalue.
std::uint64_t NextRandom(lua_State* state) {
    auto* seed = static_cast<std::uint64_t*>(lua_touserdata(state, lua_upvalueindex(1)));
    std::uint64_t z = (*seed += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

// math.random with the standard library's three forms: [0, 1), [1, m] and [m, n].
int Random(lua_State* state) {
    const double unit = static_cast<double>(NextRandom(state) >> 11) / 9007199254740992.0;
    switch (lua_gettop(state)) {
    case 0:
        lua_pushnumber(state, unit);
        return 1;
    case 1:
    case 2: {
        const bool pair = lua_gettop(state) == 2;
        const double low = pair ? luaL_checknumber(state, 1) : 1.0;
        const double high = luaL_checknumber(state, pair ? 2 : 1);
        luaL_argcheck(state, low <= high, pair ? 2 : 1, "interval is empty");
        lua_pushnumber(state, low + static_cast<double>(static_cast<long long>(unit * (high - low + 1.0))));
        return 1;
    }
    default:
        return luaL_error(state, "wrong number of arguments");
    }
}

int RandomSeed(lua_State* state) {
    auto* seed = static_cast<std::uint64_t*>(lua_touserdata(state, lua_upvalueindex(1)));
    *seed = static_cast<std::uint64_t>(static_cast<long long>(luaL_checknumber(state, 1)));
    return 0;
}

// Lua 5.1 runs precompiled chunks without verifying them: only source text is taken.
bool Precompiled(const char* path) {
    return std::ifstream(path, std::ios::binary).peek() == LUA_SIGNATURE[0];
}

bool LibraryName(const char* name) {
    if (*name == '\0')
        return false;
    for (const char* c = name; *c != '\0'; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '_')
            return false;
    return true;
}

// The registry's table of libraries used so far, by name; a library still loading holds false.
const char kUsedLibraries[] = "quorvel.usedLibraries";

// use(name): the value lib/<name>.lua returns, run once per description. Upvalue 1 is the folder.
int Use(lua_State* state) {
    const char* name = luaL_checkstring(state, 1);
    if (!LibraryName(name))
        return luaL_error(state, "use: \"%s\" is not a library's name (letters, digits and '_', no folders)",
                          name);
    lua_getfield(state, LUA_REGISTRYINDEX, kUsedLibraries);
    const int used = lua_gettop(state);
    lua_getfield(state, used, name);
    if (lua_isboolean(state, -1) && !lua_toboolean(state, -1))
        return luaL_error(state, "use: \"%s\" is used again while it loads", name);
    if (!lua_isnil(state, -1))
        return 1;
    lua_pop(state, 1);
    lua_pushvalue(state, lua_upvalueindex(1));
    lua_pushstring(state, name);
    lua_pushliteral(state, ".lua");
    lua_concat(state, 3);
    const char* path = lua_tostring(state, -1);
    // Lua raises its errors by a long jump, which runs no destructor: the check's objects end first.
    bool refused = false;
    if (const auto problem = ContentFileProblem(
            std::filesystem::path(lua_tostring(state, lua_upvalueindex(1))).parent_path(), path)) {
        lua_pushfstring(state, "use: %s", problem->c_str());
        refused = true;
    }
    if (refused)
        return lua_error(state);
    if (Precompiled(path))
        return luaL_error(state, "use: %s: precompiled chunks are refused, only Lua source", path);
    lua_pushboolean(state, false);
    lua_setfield(state, used, name);
    if (luaL_loadfile(state, path) != 0)
        return luaL_error(state, "use: %s", lua_tostring(state, -1));
    lua_call(state, 0, 1);
    // A library that returns nothing is still loaded: true stands for it.
    if (lua_isnil(state, -1)) {
        lua_pop(state, 1);
        lua_pushboolean(state, true);
    }
    lua_pushvalue(state, -1);
    lua_setfield(state, used, name);
    return 1;
}

} // namespace

Sandbox::Sandbox() {
    state = lua_newstate(engine::gfx::AllocateWithinBudget<Sandbox::Budget>, &budget);
    if (state == nullptr)
        throw BuildError("cannot create a Lua state");
    OpenLibraries();
}

Sandbox::~Sandbox() {
    if (state != nullptr)
        lua_close(state);
}

void Sandbox::OpenLibraries() {
    for (lua_CFunction open : {luaopen_base, luaopen_math, luaopen_string, luaopen_table}) {
        lua_pushcfunction(state, open);
        lua_call(state, 0, 0);
    }
    for (const char* name : kRemovedGlobals) {
        lua_pushnil(state);
        lua_setglobal(state, name);
    }
    lua_getglobal(state, "string");
    lua_pushnil(state);
    lua_setfield(state, -2, "dump");
    lua_pop(state, 1);

    lua_getglobal(state, "math");
    *static_cast<std::uint64_t*>(lua_newuserdata(state, sizeof(std::uint64_t))) = kRandomSeed;
    lua_pushvalue(state, -1);
    lua_pushcclosure(state, Random, 1);
    lua_setfield(state, -3, "random");
    lua_pushcclosure(state, RandomSeed, 1);
    lua_setfield(state, -2, "randomseed");
    lua_pop(state, 1);
}

void Sandbox::AllowLibraries(const std::filesystem::path& folder) {
    libraryFolder = folder;
    lua_newtable(state);
    lua_setfield(state, LUA_REGISTRYINDEX, kUsedLibraries);
    lua_pushstring(state, (folder.string() + "/").c_str());
    lua_pushcclosure(state, Use, 1);
    lua_setglobal(state, "use");
}

std::vector<std::filesystem::path> Sandbox::LibrariesUsed() const {
    std::vector<std::filesystem::path> files;
    if (libraryFolder.empty())
        return files;
    lua_getfield(state, LUA_REGISTRYINDEX, kUsedLibraries);
    for (lua_pushnil(state); lua_next(state, -2) != 0; lua_pop(state, 1))
        if (lua_type(state, -2) == LUA_TSTRING)
            files.push_back(libraryFolder / (std::string(lua_tostring(state, -2)) + ".lua"));
    lua_pop(state, 1);
    std::sort(files.begin(), files.end());
    return files;
}

void Sandbox::Run(const std::filesystem::path& file) {
    const std::string name = file.string();
    budget.enforced = true;
    budget.instructions = 0;
    budget.elementsRead = 0;
    budget.textRead = 0;
    lua_sethook(state, CountInstructions, LUA_MASKCOUNT, kHookInterval);
    int status = LUA_ERRSYNTAX;
    if (Precompiled(name.c_str()))
        lua_pushstring(state, (name + ": precompiled chunks are refused, only Lua source").c_str());
    else
        status = luaL_loadfile(state, name.c_str());
    if (status == 0)
        status = lua_pcall(state, 0, 1, 0);
    lua_sethook(state, nullptr, 0, 0);
    // Reading the result allocates a little outside any protected call, where a refused allocation
    // would abort the process: the limits bound the description only.
    budget.enforced = false;
    if (status == 0)
        return;
    std::string reason;
    if (status == LUA_ERRMEM && budget.memoryExceeded) {
        reason =
            name + ": memory limit of " + std::to_string(engine::gfx::kLuaMemoryLimit) + " bytes exceeded";
    } else if (status == LUA_ERRMEM && budget.allocationExceeded) {
        reason = name + ": allocation limit of " + std::to_string(engine::gfx::kLuaAllocationLimit) +
                 " bytes in all exceeded";
    } else {
        const char* text = lua_tostring(state, -1);
        reason = text != nullptr ? text : name + ": the error raised is not a string";
    }
    lua_pop(state, 1);
    budget.memoryExceeded = false;
    budget.allocationExceeded = false;
    throw BuildError(reason);
}

void ChargeRead(lua_State* state, const std::string& file, long elements, std::size_t textBytes) {
    Sandbox::Budget& budget = BudgetOf(state);
    budget.elementsRead += elements;
    budget.textRead += textBytes;
    if (budget.elementsRead > kDescriptionReadLimit)
        throw BuildError(file + ": read limit of " + std::to_string(kDescriptionReadLimit) +
                         " table elements exceeded");
    if (budget.textRead > kDescriptionTextLimit)
        throw BuildError(file + ": read limit of " + std::to_string(kDescriptionTextLimit) +
                         " bytes of text exceeded");
}

} // namespace quorvel::build
