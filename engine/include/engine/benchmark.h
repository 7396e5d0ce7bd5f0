// The benchmark: the demo played on the fixed-step clock with no vertical sync and no sound, every
// frame timed up to the end of its drawing on the GPU, the time split between the engine's steps,
// and set against the same frames drawn with plain OpenGL in the same run; start-up is split the same
// way and set against compiling the same programs and reading the same files. A program asks for it
// before it creates the window, and StartApplication then measures instead of playing.
#pragma once

#include <engine/export.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace engine {

struct BenchmarkSettings {
    int width = 1024;
    int height = 768;
    // The clock's steps; 25 is the demo's own grid, on which every animation key falls on a frame.
    int framesPerSecond = 25;
    // Measure only this many frames of each scene, then move on to the next one; all of it without.
    std::optional<std::int64_t> framesPerScene;
    // Where to write the figures as JSON as well; none when empty.
    std::string jsonPath;
    // Heap allocations made in the process so far, counted by the program (a replaced operator new);
    // without it allocations are not reported.
    std::uint64_t (*allocationCount)() = nullptr;
};

struct BenchmarkScene {
    // As the report names it.
    int number = 0;
    // How long the scene plays.
    double seconds = 0.0;
};

// Turns the coming run into a benchmark. Call it before CreateTALVOWindow: the window is made at the
// benchmark's size, windowed, presenting at once, offscreen where there is no display; particles draw
// from a fixed seed; StartApplication loads and decodes the music (no sound plays), runs the frames,
// prints the report to standard output and writes the JSON file. Bad settings throw Exception.
ENGINE_API void UseBenchmark(const BenchmarkSettings& settings);

// The scenes the run will show, in order from the first; each new scene the renderer is given is the
// next of the list, and the run ends when one past the list is shown (or when the program quits).
// Without a list, scenes are numbered from 1 in the order they are shown.
ENGINE_API void SetBenchmarkScenes(std::vector<BenchmarkScene> scenes);

} // namespace engine
