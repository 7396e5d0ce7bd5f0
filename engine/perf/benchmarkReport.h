// The figures of a benchmark run and their two forms: the table a person reads on standard output and
// the JSON file tools read. Times are kept in nanoseconds and shown in milliseconds.
#pragma once

#include "perf/zones.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace engine::perf {

struct FrameSample {
    std::int64_t nanoseconds = 0;
    ZoneTimes zones{};
    // Heap allocations during the frame, by zone; those of the device zone are the driver's own.
    bool allocationsCounted = false;
    ZoneCounts allocations{};
    std::int64_t zoneEntries = 0;
    // The frame recorded for the replay: the recording slows it down, so its time is left out.
    bool recorded = false;
};

// How far the replay's picture lies from the engine's, per 8-bit channel.
struct PictureDifference {
    int largest = 0;
    // Share of pixels with a channel more than a few steps apart.
    double differingShare = 0.0;
};

struct SceneFigures {
    int number = 0;
    std::vector<FrameSample> frames;
    // The replays of the frames recorded across the scene, in turn: their times, the calls and draws
    // of each recorded frame, and the largest difference of a replayed picture from the engine's.
    std::vector<std::int64_t> replayFrames;
    std::vector<std::size_t> replayCalls;
    std::vector<std::size_t> replayDraws;
    std::optional<PictureDifference> replayPicture;
};

struct StartupFigures {
    // From the process's start (the kernel's record of it, to 10 ms) to the engine's first call.
    std::int64_t programLoading = 0;
    // Window, SceneFiles, Meshes, Textures, Scripts, Effects, Music and Other (what no zone claims).
    ZoneTimes zones{};
    // From the main loop's start to the end of the first frame on the GPU.
    std::int64_t firstFrame = 0;
    std::int64_t total = 0;
    // The floor: the same programs compiled and linked with plain OpenGL, the same files read.
    std::int64_t rawCompile = 0;
    int programs = 0;
    int programFailures = 0;
    std::int64_t rawRead = 0;
    int files = 0;
    std::uint64_t bytes = 0;
};

struct BenchmarkFigures {
    int width = 0, height = 0, framesPerSecond = 0;
    std::string renderer;
    std::string videoDriver;
    // Whether Mesa's shader cache on disk could answer compilations (it is off unless asked for).
    bool driverShaderCache = false;
    // What one zone's entering and leaving costs, as measured at the start of the run.
    double zoneCostNanoseconds = 0.0;
    StartupFigures startup;
    std::vector<SceneFigures> scenes;
};

void PrintReport(const BenchmarkFigures& figures, std::ostream& out);
// False when the file cannot be written.
bool WriteJson(const BenchmarkFigures& figures, const std::string& path);

} // namespace engine::perf
