// Reads the global curve file (.ipo): named scalar curves with their interpolation, extrapolation and
// keys with Bezier handles. Every field is bounds-checked; a broken file ends in an ERROR row naming the
// file and the field, never in a read past its end. The track factory turns a record into a track.
#pragma once

#include "anim/animationTrack.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace engine::core {
class ByteReader;
}

namespace engine::gfx {

// The file's interpolation codes.
enum class Interpolation { Constant = 0, Linear = 1, Bezier = 2 };

struct IpoKey {
    KeyPoint left;
    KeyPoint key;
    KeyPoint right;
};

struct IpoCurve {
    std::string name;
    Interpolation interpolation;
    // The track's mode (Extrapolation), already mapped from the file's code 3, 4 or 5.
    int extrapolation;
    std::vector<IpoKey> keys;
};

// Reads the whole file at path.
std::vector<IpoCurve> ReadIpoFile(const std::string& path);
// The same on bytes already in memory; name is the file name the errors carry.
std::vector<IpoCurve> ParseIpo(std::span<const std::uint8_t> bytes, const std::string& name);
// One curve record at the reader's position; index names the curve in errors.
IpoCurve ReadIpoCurve(core::ByteReader& reader, int index);

// A filled track of the curve's interpolation and extrapolation.
std::unique_ptr<AnimationTrack> CreateTrack(const IpoCurve& curve);

const char* InterpolationName(Interpolation interpolation);
// "Constant", "Cyclic" or "Cyclic_extrapolation", the words the scene files use for the modes.
const char* ExtrapolationName(int mode);

} // namespace engine::gfx
