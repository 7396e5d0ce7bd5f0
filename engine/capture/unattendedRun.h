// What a capture and a benchmark share: both play the demo unattended, frame by frame, in a window of
// their own size that presents at once, with the particles drawn from one fixed seed, so a benchmark
// draws the pictures a capture shows; both read the music file whole and bound the sizes they take.
#pragma once

#include <engine/windowSettings.h>

#include <string>
#include <vector>

namespace engine::capture {

constexpr int kLargestSide = 16384;
constexpr int kMostFramesPerSecond = 1000;

// ERROR "The <run>'s frame rate must be between 1 and 1000, not N" or "The <run>'s size must be between
// 1 and 16384 on each side"; `run` is "capture" or "benchmark".
void CheckUnattendedShape(const std::string& run, int width, int height, int framesPerSecond);

// The asked settings at the run's size, windowed and presenting at once.
WindowSettings UnattendedWindow(const WindowSettings& asked, int width, int height);

// Particles from the fixed seed, their emission clocks from zero.
void UseUnattendedParticles();

// data/dark_ages.xm whole; ERROR "Failed to load music file. Sorry." when it is missing, empty or unreadable.
std::vector<char> ReadMusicFile();

} // namespace engine::capture
