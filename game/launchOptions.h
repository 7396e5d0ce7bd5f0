// The demo program's command line: what a player may ask for instead of, or on top of, the settings
// dialog, where to start, whether to play again from the top, a capture to a video or to pictures in
// place of playing, the benchmark, the audio/video measurement, the data folder, and the usual --help and
// --version.
#pragma once

#include <engine/benchmark.h>
#include <engine/capture.h>
#include <engine/windowSettings.h>

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace quorvel {

struct LaunchOptions {
    bool showDialog = true;
    // Display settings given on the command line; each one overrides the dialog's answer.
    std::optional<bool> fullscreen;
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> refreshRate;
    std::optional<bool> vsync;
    std::optional<int> antialiasing;
    bool sixteenBit = false;
    // 1 to 9.
    int firstScene = 1;
    bool loop = false;
    // --watch CONTENT_DIR: follow the content folder while playing (live editing).
    std::optional<std::string> watchFolder;
    // --capture OUT and what goes with it; a capture shows no dialog.
    std::optional<std::string> captureOutput;
    int framesPerSecond = 60;
    std::optional<std::int64_t> frameLimit;
    std::optional<double> endSeconds;
    bool serialCapture = false;
    // --from-frame: the first frame a capture writes, numbered as in a capture from the start.
    std::int64_t firstFrame = 1;
    // --join OUT PART...: join video parts captured alone into OUT, nothing played.
    std::optional<std::string> joinOutput;
    std::vector<std::string> joinParts;
    // --frame-count: print how many frames a whole capture at framesPerSecond has, nothing played.
    bool printFrameCount = false;
    // Print how far the music and the demo's clock lie apart at each scene switch and at the end.
    bool avReport = false;
    // --benchmark: frameLimit counts frames per scene and framesPerSecond defaults to 25; with --scene
    // only that scene is measured.
    bool benchmark = false;
    bool singleScene = false;
    std::optional<std::string> jsonPath;
    // --data DIR: the data folder to play instead of the one beside or installed with the program.
    std::optional<std::string> dataFolder;
};

enum class LaunchAction { Run, ExitSuccess, ExitUsageError };

// Reads argv. --help and --version print to `out` and ask for a successful exit; a bad option or value
// prints one line saying which and why, then the usage, to `err` and asks for exit code 2.
LaunchAction ParseLaunchOptions(int argc, const char* const argv[], LaunchOptions& options, std::ostream& out,
                                std::ostream& err);

// Writes the display options that were given into settings, leaving the others as they are.
void ApplyDisplayOptions(const LaunchOptions& options, engine::WindowSettings& settings);

// The capture the options ask for (only meaningful with captureOutput): 1280x720 unless --size says.
engine::CaptureSettings CaptureSettingsOf(const LaunchOptions& options);

// The benchmark the options ask for (only meaningful with benchmark): 1024x768 unless --size says.
engine::BenchmarkSettings BenchmarkSettingsOf(const LaunchOptions& options);

} // namespace quorvel
