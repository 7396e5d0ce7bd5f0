#include "capture/unattendedRun.h"

#include "core/logging.h"
#include "particles/particleEngine.h"

#include <cstdint>
#include <fstream>
#include <iterator>

namespace engine::capture {

namespace {

const char kMusicFile[] = "data/dark_ages.xm";
// Any fixed number: what matters is that every run starts the particles from the same one.
constexpr std::uint32_t kParticleSeed = 0x51A7E5EDu;

} // namespace

void CheckUnattendedShape(const std::string& run, int width, int height, int framesPerSecond) {
    if (framesPerSecond < 1 || framesPerSecond > kMostFramesPerSecond)
        LOG_ERROR("The " + run + "'s frame rate must be between 1 and " +
                  std::to_string(kMostFramesPerSecond) + ", not " + std::to_string(framesPerSecond));
    if (width < 1 || height < 1 || width > kLargestSide || height > kLargestSide)
        LOG_ERROR("The " + run + "'s size must be between 1 and " + std::to_string(kLargestSide) +
                  " on each side");
}

WindowSettings UnattendedWindow(const WindowSettings& asked, int width, int height) {
    WindowSettings window = asked;
    window.width = width;
    window.height = height;
    window.fullscreen = false;
    window.presentationInterval = kPresentImmediately;
    return window;
}

void UseUnattendedParticles() {
    gfx::UseRepeatableParticles(kParticleSeed);
    gfx::ResetEmissionClocks();
}

std::vector<char> ReadMusicFile() {
    std::ifstream file(kMusicFile, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file.good() && !file.eof())
        bytes.clear();
    if (bytes.empty())
        LOG_ERROR("Failed to load music file. Sorry.");
    return bytes;
}

} // namespace engine::capture
