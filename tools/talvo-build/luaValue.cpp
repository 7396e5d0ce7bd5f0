#include "luaValue.h"

#include <lua.hpp>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <utility>

namespace quorvel::build {

LuaValue::LuaValue(lua_State* state, std::string file, std::string path)
    : state(state), index(lua_gettop(state)), file(std::move(file)), path(std::move(path)) {}

LuaValue::LuaValue(LuaValue&& other) noexcept
    : state(std::exchange(other.state, nullptr)), index(other.index), file(std::move(other.file)),
      path(std::move(other.path)) {}

LuaValue::~LuaValue() {
    if (state == nullptr)
        return;
    assert(lua_gettop(state) == index && "LuaValue popped out of order");
    lua_settop(state, index - 1);
}

bool LuaValue::IsNil() const {
    return lua_isnil(state, index);
}

bool LuaValue::IsTable() const {
    return lua_istable(state, index);
}

bool LuaValue::IsString() const {
    return lua_type(state, index) == LUA_TSTRING;
}

void LuaValue::Fail(const std::string& what) const {
    throw BuildError(file + ": " + (path.empty() ? "the returned value" : path) + " " + what);
}

void LuaValue::RequireTable() const {
    if (!IsTable())
        Fail("must be a table, not " + TypeName());
}

LuaValue LuaValue::Field(const std::string& key) const {
    RequireTable();
    ChargeRead(state, file, 1);
    lua_getfield(state, index, key.c_str());
    return LuaValue(state, file, path.empty() ? key : path + "." + key);
}

LuaValue LuaValue::Element(int number) const {
    RequireTable();
    ChargeRead(state, file, 1);
    lua_rawgeti(state, index, number);
    return LuaValue(state, file, path + "[" + std::to_string(number) + "]");
}

int LuaValue::Length() const {
    RequireTable();
    int length = 0;
    for (;; ++length) {
        ChargeRead(state, file, 1);
        lua_rawgeti(state, index, length + 1);
        const bool present = !lua_isnil(state, -1);
        lua_pop(state, 1);
        if (!present)
            return length;
    }
}

std::vector<std::string> LuaValue::Keys() const {
    RequireTable();
    std::vector<std::string> keys;
    lua_pushnil(state);
    while (lua_next(state, index) != 0) {
        lua_pop(state, 1);
        if (lua_type(state, -1) != LUA_TSTRING) {
            const std::string type = luaL_typename(state, -1);
            lua_pop(state, 1);
            Fail("must use names as keys, not " + type + "s");
        }
        std::size_t keyLength = 0;
        const char* key = lua_tolstring(state, -1, &keyLength);
        try {
            ChargeRead(state, file, 1, keyLength);
        } catch (const BuildError&) {
            lua_pop(state, 1);
            throw;
        }
        keys.emplace_back(key, keyLength);
    }
    std::sort(keys.begin(), keys.end());
    return keys;
}

double LuaValue::Number() const {
    if (lua_type(state, index) != LUA_TNUMBER)
        Fail("must be a number, not " + TypeName());
    const double value = lua_tonumber(state, index);
    if (!std::isfinite(value))
        Fail("must be a finite number");
    return value;
}

int LuaValue::Integer(int min, int max) const {
    const double value = Number();
    if (!IsWholeNumberWithin(value, min, max))
        Fail("must be a whole number from " + std::to_string(min) + " to " + std::to_string(max));
    return static_cast<int>(value);
}

std::string LuaValue::String() const {
    if (lua_type(state, index) != LUA_TSTRING)
        Fail("must be a string, not " + TypeName());
    std::size_t length = 0;
    const char* text = lua_tolstring(state, index, &length);
    ChargeRead(state, file, 0, length);
    return std::string(text, length);
}

bool LuaValue::Boolean() const {
    if (lua_type(state, index) != LUA_TBOOLEAN)
        Fail("must be true or false, not " + TypeName());
    return lua_toboolean(state, index) != 0;
}

std::vector<double> LuaValue::Numbers(int n) const {
    if (!IsTable() || Length() != n)
        Fail("must be a table of " + std::to_string(n) + " numbers");
    std::vector<double> numbers;
    for (int i = 1; i <= n; ++i)
        numbers.push_back(Element(i).Number());
    return numbers;
}

std::array<float, 3> LuaValue::Vector3() const {
    const std::vector<double> numbers = Numbers(3);
    return {static_cast<float>(numbers[0]), static_cast<float>(numbers[1]), static_cast<float>(numbers[2])};
}

std::optional<double> LuaValue::OptionalNumber(const std::string& key) const {
    LuaValue field = Field(key);
    if (field.IsNil())
        return std::nullopt;
    return field.Number();
}

std::optional<std::string> LuaValue::OptionalString(const std::string& key) const {
    LuaValue field = Field(key);
    if (field.IsNil())
        return std::nullopt;
    return field.String();
}

std::string LuaValue::TypeName() const {
    return luaL_typename(state, index);
}

} // namespace quorvel::build
