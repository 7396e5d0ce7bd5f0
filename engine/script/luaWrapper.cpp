#include "script/luaWrapper.h"

#include "core/logging.h"

#include <lua.hpp>

#include <cassert>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace engine::gfx {

namespace {

// Instructions between two visits of the count hook: often enough to stop a loop at once, rarely
// enough to cost nothing.
constexpr int kHookInterval = 1000;

LuaScript::Budget& BudgetOf(lua_State* state) {
    void* budget = nullptr;
    lua_getallocf(state, &budget);
    return *static_cast<LuaScript::Budget*>(budget);
}

// Count hook. It raises the error from inside the running script, so the longjmp ends in the
// protected call and crosses no frame of ours; this function holds nothing that needs destroying.
void CountInstructions(lua_State* state, lua_Debug*) {
    LuaScript::Budget& budget = BudgetOf(state);
    budget.instructions += kHookInterval;
    if (budget.instructions < kLuaInstructionLimit)
        return;
    luaL_where(state, 0);
    lua_pushfstring(state, "instruction limit of %d exceeded", static_cast<int>(kLuaInstructionLimit));
    lua_concat(state, 2);
    lua_error(state);
}

// Lua 5.1 loads precompiled chunks without verifying them, and a crafted one can corrupt memory. This
// mirrors how luaL_loadfile tells the two kinds apart: an optional first line starting with '#', then
// the signature's escape byte. A file that cannot be opened is left to luaL_loadfile to report.
bool StartsWithPrecompiledChunk(const std::string& file) {
    std::FILE* stream = std::fopen(file.c_str(), "rb");
    if (stream == nullptr)
        return false;
    int c = std::getc(stream);
    if (c == '#') {
        while (c != EOF && c != '\n')
            c = std::getc(stream);
        if (c == '\n')
            c = std::getc(stream);
    }
    std::fclose(stream);
    return c == LUA_SIGNATURE[0];
}

} // namespace

CLocaleScope::CLocaleScope() {
    // The C locale object is built into the C library: nothing is allocated or freed here.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", nullptr);
    if (cLocale != nullptr)
        previous = uselocale(cLocale);
}

CLocaleScope::~CLocaleScope() {
    if (previous != nullptr)
        uselocale(previous);
}

void LuaScript::StateCloser::operator()(lua_State* state) const {
    lua_close(state);
}

LuaScript::LuaScript(std::string file) : fileName(std::move(file)) {
    state.reset(lua_newstate(AllocateWithinBudget<LuaScript::Budget>, &budget));
    if (!state)
        LOG_ERROR("Error in lua script: " + fileName + ": cannot create a Lua state");
    if (StartsWithPrecompiledChunk(fileName))
        LOG_ERROR("Error in lua script: " + fileName + ": precompiled chunks are not accepted");
    lua_sethook(state.get(), CountInstructions, LUA_MASKCOUNT, kHookInterval);
    int status = luaL_loadfile(state.get(), fileName.c_str());
    if (status == 0)
        status = lua_pcall(state.get(), 0, 0, 0);
    if (status != 0)
        Fail(status);
    // Reading the result allocates a little (keys, numbers turned into text) outside any protected
    // call, where a refused allocation would abort the process: the limits only bound the script.
    budget.enforced = false;
    lua_sethook(state.get(), nullptr, 0, 0);
}

LuaScript::~LuaScript() = default;

void LuaScript::Fail(int status) {
    budget.enforced = false;
    std::string reason;
    if (status == LUA_ERRMEM && budget.memoryExceeded) {
        reason = fileName + ": memory limit of " + std::to_string(kLuaMemoryLimit) + " bytes exceeded";
    } else if (status == LUA_ERRMEM && budget.allocationExceeded) {
        reason = fileName + ": allocation limit of " + std::to_string(kLuaAllocationLimit) +
                 " bytes in all exceeded";
    } else {
        std::size_t length = 0;
        const char* text = lua_tolstring(state.get(), -1, &length);
        reason = text != nullptr ? std::string(text, length) : fileName + ": error object is not a string";
    }
    LOG_ERROR("Error in lua script: " + reason);
}

LuaRef LuaScript::GetGlobal(const std::string& name) {
    lua_getfield(state.get(), LUA_GLOBALSINDEX, name.c_str());
    return LuaRef(state.get(), fileName + ": " + name);
}

LuaRef::LuaRef(lua_State* state, std::string path)
    : state(state), index(lua_gettop(state)), path(std::move(path)) {}

LuaRef::LuaRef(LuaRef&& other) noexcept
    : state(std::exchange(other.state, nullptr)), index(other.index), path(std::move(other.path)) {}

LuaRef::~LuaRef() {
    if (state == nullptr)
        return;
    assert(lua_gettop(state) == index && "LuaRef popped out of order");
    lua_settop(state, -2);
}

bool LuaRef::IsTable() const {
    return lua_type(state, index) == LUA_TTABLE;
}

void LuaRef::RequireTable() const {
    if (!IsTable())
        LOG_ERROR(path + " must be a table, not a " + TypeName());
}

void LuaRef::SpendRead() const {
    if (++BudgetOf(state).reads > kLuaReadLimit)
        LOG_ERROR("Error in lua script: " + path + ": read limit of " + std::to_string(kLuaReadLimit) +
                  " table elements exceeded");
}

LuaRef LuaRef::Field(const std::string& key) const {
    assert(IsTable());
    SpendRead();
    lua_pushstring(state, key.c_str());
    lua_gettable(state, index);
    return LuaRef(state, path + "." + key);
}

LuaRef LuaRef::Element(int number) const {
    assert(IsTable());
    SpendRead();
    lua_rawgeti(state, index, number);
    return LuaRef(state, path + "[" + std::to_string(number) + "]");
}

bool LuaRef::HasElement(int number) const {
    assert(IsTable());
    SpendRead();
    lua_rawgeti(state, index, number);
    bool present = lua_type(state, -1) != LUA_TNIL;
    lua_settop(state, -2);
    return present;
}

std::string LuaRef::ToString() const {
    switch (lua_type(state, index)) {
    case LUA_TNIL:
        return {};
    case LUA_TSTRING:
    case LUA_TNUMBER: {
        std::size_t length = 0;
        const char* text = lua_tolstring(state, index, &length);
        std::size_t& spent = BudgetOf(state).textBytes;
        if (length > kLuaTextLimit - spent)
            LOG_ERROR("Error in lua script: " + path + ": read limit of " + std::to_string(kLuaTextLimit) +
                      " bytes of text exceeded");
        spent += length;
        return std::string(text, length);
    }
    default:
        LOG_ERROR(path + " must be a string or a number, not a " + TypeName());
    }
}

double LuaRef::ToNumber() const {
    return lua_tonumber(state, index);
}

bool LuaRef::ToBoolean() const {
    return lua_toboolean(state, index) != 0;
}

std::string LuaRef::TypeName() const {
    return lua_typename(state, lua_type(state, index));
}

} // namespace engine::gfx
