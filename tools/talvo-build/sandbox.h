// The Lua state that runs content descriptions (scenes, curves, meshes, textures): the math, string
// and table libraries and the base library's pure functions, with the instruction and memory limits of
// the engine's material scripts. Nothing reaches files, the clock or the process, nothing catches
// errors (so a limit cannot be swallowed), and math.random is seeded the same on every run, so a
// description gives the same result wherever and whenever it runs.
#pragma once

#include "script/luaWrapper.h"

#include <cstddef>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

struct lua_State;

namespace quorvel::build {

// Any fault in the content. The text names the file, the line where it is known, and what is wrong.
class BuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What reading a description's result may take, counted from each Run. Tables that refer to one another
// cost little to build and can make a reader walk them without end (a thousand objects that all name
// one curve of a million keys), and no instruction or memory limit sees the reading. Every table element
// read counts, and so does the text of every string and key copied out. The largest shipped scene reads
// about 72,000 elements and a kilobyte of text; the limits leave room for curves of several hundred
// thousand keys. A fuzzing build sets them lower, as it does the Lua limits (script/luaWrapper.h).
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr long kDescriptionReadLimit = 200'000;
constexpr std::size_t kDescriptionTextLimit = std::size_t{1} << 20;
#else
constexpr long kDescriptionReadLimit = 4'000'000;
constexpr std::size_t kDescriptionTextLimit = std::size_t{16} << 20;
#endif

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    lua_State* State() const { return state; }

    // Gives descriptions `use(name)`, which runs <folder>/<name>.lua once, within the description's
    // limits, and returns what it returned (the same value to every later call), so that descriptions
    // share their helpers. A name is letters, digits and '_': nothing outside the folder is reached.
    void AllowLibraries(const std::filesystem::path& folder);
    // The files of the libraries used so far, in name order.
    std::vector<std::filesystem::path> LibrariesUsed() const;

    // Runs the file and leaves its first return value (nil when it returns nothing) on top of the
    // stack. Syntax and run-time errors and exceeded limits throw BuildError "file:line: message".
    void Run(const std::filesystem::path& file);

    struct Budget {
        std::size_t bytesInUse = 0;
        std::size_t bytesAllocated = 0;
        bool enforced = true;
        bool memoryExceeded = false;
        bool allocationExceeded = false;
        long instructions = 0;
        long elementsRead = 0;
        std::size_t textRead = 0;
    };

private:
    void OpenLibraries();

    engine::gfx::CLocaleScope cLocale;
    Budget budget;
    lua_State* state = nullptr;
    std::filesystem::path libraryFolder;
};

// Charges reading the result of the description last run in `state`; past a limit, throws BuildError
// "file: read limit of N table elements exceeded" (or "... bytes of text ...").
void ChargeRead(lua_State* state, const std::string& file, long elements, std::size_t textBytes = 0);

} // namespace quorvel::build
