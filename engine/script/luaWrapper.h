// A thin wrapper over the Lua 5.1 interpreter for material scripts: one state with no standard library,
// bounded in instructions and memory and run in the C locale whatever the process locale, and
// references to the values the script left on the state's stack, bounded in what they read.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <locale.h>
#include <memory>
#include <string>

struct lua_State;

namespace engine::gfx {

class LuaRef;

// What one script may spend. Material scripts only assign a few small tables, so these are far above
// any real script and only stop endless loops and runaway allocation. A fuzzing build (fuzz/, which
// defines the macro fuzzing tools agree on) checks the same limits set lower, still above every shipped
// script and description: an input that runs into one then costs milliseconds, not a second, and the
// fuzzer spends its time on new paths.
// Besides the memory in use, the bytes allocated in all are bounded: joining a string to itself in a
// loop keeps little alive, but copies the whole string at every step, which no instruction count sees.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr long kLuaInstructionLimit = 4'000'000;
constexpr std::size_t kLuaMemoryLimit = std::size_t{4} << 20;
constexpr std::size_t kLuaAllocationLimit = std::size_t{256} << 20;
#else
constexpr long kLuaInstructionLimit = 10'000'000;
constexpr std::size_t kLuaMemoryLimit = std::size_t{32} << 20;
constexpr std::size_t kLuaAllocationLimit = std::size_t{1} << 30;
#endif
// What reading a script's result may take. A few small tables can refer to one another so often that
// walking them would never end: 1,000 passes that all name one table of 1,000 parameters take a few
// kilobytes to run and a million reads to read back. Every table element read counts, and so does the
// text of every string copied out.
constexpr long kLuaReadLimit = 100'000;
constexpr std::size_t kLuaTextLimit = std::size_t{4} << 20;

// The allocator of both Lua sandboxes (material scripts here, scene descriptions in the content
// compiler), over a budget with bytesInUse, bytesAllocated, enforced, memoryExceeded and
// allocationExceeded: while enforced, growth past either memory limit is refused, which Lua raises as a
// memory error inside the protected call. Shrinking never fails, as Lua requires.
template <typename Budget>
void* AllocateWithinBudget(void* userData, void* block, std::size_t oldSize, std::size_t newSize) {
    auto* budget = static_cast<Budget*>(userData);
    if (newSize == 0) {
        std::free(block);
        budget->bytesInUse -= oldSize;
        return nullptr;
    }
    if (budget->enforced && newSize > oldSize) {
        if (budget->bytesInUse - oldSize + newSize > kLuaMemoryLimit) {
            budget->memoryExceeded = true;
            return nullptr;
        }
        if (budget->bytesAllocated + newSize > kLuaAllocationLimit) {
            budget->allocationExceeded = true;
            return nullptr;
        }
    }
    if (newSize > oldSize)
        budget->bytesAllocated += newSize;
    void* resized = std::realloc(block, newSize);
    if (resized != nullptr)
        budget->bytesInUse = budget->bytesInUse - oldSize + newSize;
    return resized;
}

// Switches this thread to the C locale for the life of the object. Lua reads and prints numbers with
// the C library (strtod, sprintf), classifies characters with ctype and compares strings with strcoll,
// so a script means the same whatever locale the process runs in (a decimal comma breaks numbers).
class CLocaleScope {
public:
    CLocaleScope();
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous = nullptr;
};

// Owns one Lua state. The script runs in the constructor; afterwards the state is only read.
class LuaScript {
public:
    // Creates the state, loads and runs file. Any failure (missing file, syntax or run-time error,
    // a limit exceeded) is the ERROR row "Error in lua script: " followed by the reason.
    explicit LuaScript(std::string file);
    ~LuaScript();
    LuaScript(const LuaScript&) = delete;
    LuaScript& operator=(const LuaScript&) = delete;

    // Pushes the global of that name; the reference names it by its stack index.
    LuaRef GetGlobal(const std::string& name);

    // Spending of the script, reached by the allocator and the count hook through the state's
    // allocator user data.
    struct Budget {
        std::size_t bytesInUse = 0;
        std::size_t bytesAllocated = 0;
        bool enforced = true;
        bool memoryExceeded = false;
        bool allocationExceeded = false;
        long instructions = 0;
        long reads = 0;
        std::size_t textBytes = 0;
    };

private:
    struct StateCloser {
        void operator()(lua_State* state) const;
    };

    [[noreturn]] void Fail(int status);

    // Declared first so that the C locale holds from loading until the state is closed.
    CLocaleScope cLocale;
    std::string fileName;
    Budget budget;
    std::unique_ptr<lua_State, StateCloser> state;
};

// A value on a script's stack, named by its stack index. It is popped when the reference ends, so
// references must end in the reverse order of their creation, as nested scopes make them do. The path
// ("data/a.efx: effect[1].pass") names the value in error rows.
class LuaRef {
public:
    // Refers to the value on top of the stack.
    LuaRef(lua_State* state, std::string path);
    LuaRef(LuaRef&& other) noexcept;
    LuaRef& operator=(LuaRef&&) = delete;
    ~LuaRef();

    const std::string& Path() const { return path; }
    bool IsTable() const;
    // ERROR "<path> must be a table, not a <type>" unless the value is a table.
    void RequireTable() const;

    // These three need a table (test with IsTable or RequireTable first). Each read counts against the
    // script's read limit; past it, the ERROR "Error in lua script: <path>: read limit of <n> table
    // elements exceeded".
    LuaRef Field(const std::string& key) const;
    LuaRef Element(int number) const;
    // Whether element number is not nil: arrays are read from 1 up to the first nil.
    bool HasElement(int number) const;

    // nil reads as the empty string and a number as its Lua text; a table, function, boolean or other
    // value is the ERROR "<path> must be a string or a number, not a <type>". The text counts against
    // the script's text limit ("... read limit of <n> bytes of text exceeded").
    std::string ToString() const;
    // A number, or a string holding one; anything else reads as 0.
    double ToNumber() const;
    // Lua truth: everything except nil and false.
    bool ToBoolean() const;
    // Lua's name of the value's type ("nil", "number", "table" ...).
    std::string TypeName() const;

private:
    void SpendRead() const;

    lua_State* state;
    int index;
    std::string path;
};

} // namespace engine::gfx
