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

struct lua_State;

namespace quorvel::build {

// Any fault in the content. The text names the file, the line where it is known, and what is wrong.
class BuildError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    lua_State* State() const { return state; }

    // Runs the file and leaves its first return value (nil when it returns nothing) on top of the
    // stack. Syntax and run-time errors and exceeded limits throw BuildError "file:line: message".
    void Run(const std::filesystem::path& file);

    struct Budget {
        std::size_t bytesInUse = 0;
        bool enforced = true;
        bool memoryExceeded = false;
        long instructions = 0;
    };

private:
    void OpenLibraries();

    engine::gfx::CLocaleScope cLocale;
    Budget budget;
    lua_State* state = nullptr;
};

} // namespace quorvel::build
