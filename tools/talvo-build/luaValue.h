// Reading what a description returned: a value on the sandbox's stack, named by its path inside the
// result ("objects[3].curves.RotY") so that every complaint says which field is wrong. Lua keeps no
// line numbers for table fields, so these errors name the file and the field path; faults found while
// the description runs (syntax, run-time errors, bad generator arguments) name the file and line.
#pragma once

#include "sandbox.h"

#include <array>
#include <cmath>
#include <optional>
#include <string>
#include <vector>

struct lua_State;

namespace quorvel::build {

// Pops its value when it ends, so values must end in the reverse order of their creation, as nested
// scopes make them do.
class LuaValue {
public:
    // The value on top of the stack.
    LuaValue(lua_State* state, std::string file, std::string path);
    LuaValue(LuaValue&& other) noexcept;
    LuaValue& operator=(LuaValue&&) = delete;
    ~LuaValue();

    lua_State* State() const { return state; }
    int Index() const { return index; }
    const std::string& File() const { return file; }
    const std::string& Path() const { return path; }

    bool IsNil() const;
    bool IsTable() const;
    bool IsString() const;

    // Throws BuildError "file: path what".
    [[noreturn]] void Fail(const std::string& what) const;
    void RequireTable() const;

    LuaValue Field(const std::string& key) const;
    LuaValue Element(int number) const;
    // Elements 1 up to the first nil.
    int Length() const;
    // The string keys of a table, sorted, so that whatever Lua's hash order, the output is the same;
    // a key of another type is an error.
    std::vector<std::string> Keys() const;

    double Number() const;
    // A number that fits an int; min and max bound it.
    int Integer(int min, int max) const;
    std::string String() const;
    bool Boolean() const;
    // A table of n numbers, elements 1 to n.
    std::vector<double> Numbers(int n) const;
    std::array<float, 3> Vector3() const;

    // A field that may be absent (nil).
    std::optional<double> OptionalNumber(const std::string& key) const;
    std::optional<std::string> OptionalString(const std::string& key) const;

private:
    std::string TypeName() const;

    lua_State* state;
    int index;
    std::string file;
    std::string path;
};

// Whether a Lua number is a whole number from min to max. Compared as doubles, before any conversion:
// a number past the integer's range, or NaN, has no integer to convert to.
inline bool IsWholeNumberWithin(double value, double min, double max) {
    return value >= min && value <= max && value == std::floor(value);
}

} // namespace quorvel::build
