// Pictures for the drawing tests: PNG files in and out, reading a render target back, and comparing a
// frame with a stored reference within a tolerance. QUORVEL_UPDATE_REFERENCES=1 rewrites the reference
// from this run; a failed comparison leaves this run's picture next to the test program.
#pragma once

#include "gpu/device.h"
#include "resources/resourceTypes.h"

#include <gtest/gtest.h>
#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::test {

struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
};

inline Picture ReadPng(const std::filesystem::path& path) {
    Picture picture;
    int channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> data(
        stbi_load(path.c_str(), &picture.width, &picture.height, &channels, 4), stbi_image_free);
    if (data)
        picture.rgba.assign(data.get(), data.get() + std::size_t(picture.width) * picture.height * 4);
    return picture;
}

inline bool WritePng(const std::filesystem::path& path, const Picture& picture) {
    return stbi_write_png(path.c_str(), picture.width, picture.height, 4, picture.rgba.data(),
                          picture.width * 4) != 0;
}

// Pixels whose red, green or blue differ by more than the tolerance.
inline int DifferentPixels(const Picture& a, const Picture& b, int channelTolerance) {
    int different = 0;
    for (std::size_t at = 0; at + 3 < a.rgba.size() && at + 3 < b.rgba.size(); at += 4)
        different += std::abs(a.rgba[at] - b.rgba[at]) > channelTolerance ||
                     std::abs(a.rgba[at + 1] - b.rgba[at + 1]) > channelTolerance ||
                     std::abs(a.rgba[at + 2] - b.rgba[at + 2]) > channelTolerance;
    return different;
}

// The largest red, green or blue value of any pixel.
inline int Brightest(const Picture& picture) {
    int brightest = 0;
    for (std::size_t at = 0; at + 3 < picture.rgba.size(); at += 4)
        brightest = std::max(
            {brightest, int(picture.rgba[at]), int(picture.rgba[at + 1]), int(picture.rgba[at + 2])});
    return brightest;
}

// The share of the pixels whose brightest channel is above the level.
inline double ShareAbove(const Picture& picture, int level) {
    std::size_t above = 0;
    for (std::size_t at = 0; at + 3 < picture.rgba.size(); at += 4)
        above += std::max({picture.rgba[at], picture.rgba[at + 1], picture.rgba[at + 2]}) > level ? 1 : 0;
    return picture.rgba.empty() ? 0.0 : double(above) / double(picture.rgba.size() / 4);
}

// The target's picture, opaque: the back buffer it copies has no alpha worth comparing. Empty when the
// target has no texture.
inline Picture ReadTarget(engine::gpu::Device& device, engine::core::resources::RenderTargetTexture& target) {
    Picture picture;
    engine::gpu::Surface* surface = nullptr;
    if (target.Retrieve() == nullptr || engine::gpu::Failed(target.Retrieve()->GetSurfaceLevel(0, &surface)))
        return picture;
    picture.width = static_cast<int>(surface->Width());
    picture.height = static_cast<int>(surface->Height());
    device.ReadPixels(surface, picture.rgba);
    surface->Release();
    for (std::size_t at = 3; at < picture.rgba.size(); at += 4)
        picture.rgba[at] = 255;
    return picture;
}

// Fails the test when more than allowedDifferent pixels differ from the reference by more than the
// channel tolerance, naming both files.
inline void ExpectMatchesReference(const Picture& actual, const std::filesystem::path& reference,
                                   int channelTolerance, int allowedDifferent) {
    namespace fs = std::filesystem;
    const char* update = std::getenv("QUORVEL_UPDATE_REFERENCES");
    if (update != nullptr && std::string(update) == "1") {
        fs::create_directories(reference.parent_path());
        ASSERT_TRUE(WritePng(reference, actual)) << reference;
    }
    const Picture stored = ReadPng(reference);
    ASSERT_TRUE(stored.width == actual.width && stored.height == actual.height)
        << "no reference picture of " << actual.width << "x" << actual.height << " at " << reference
        << " (QUORVEL_UPDATE_REFERENCES=1 writes it)";
    const int different = DifferentPixels(actual, stored, channelTolerance);
    if (different > allowedDifferent) {
        const fs::path actualPath =
            fs::canonical("/proc/self/exe").parent_path() / (reference.stem().string() + ".actual.png");
        WritePng(actualPath, actual);
        ADD_FAILURE() << different << " pixels differ from " << reference << " by more than "
                      << channelTolerance << "; this run's picture is " << actualPath;
    }
}

} // namespace quorvel::test
