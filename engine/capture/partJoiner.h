// Joins videos of consecutive frame ranges, each captured alone, into one video: the pictures are
// copied packet for packet (no re-encoding), their timestamps moved on by each part's first frame, and
// the music of the whole range is rendered and encoded once, so no seam shows in either stream.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace engine::capture {

// What a part says of itself, read without decoding a picture.
struct CapturePart {
    std::string path;
    // As in a capture from the demo's start (its metadata), and the pictures it holds.
    std::int64_t firstFrame = 0;
    std::int64_t frames = 0;
    int framesPerSecond = 0;
    // The first picture's presentation time, in frames of the part's own timestamps.
    std::int64_t firstTime = 0;
    // How many pictures at most the decoder must hold before it shows one (B-frames come after the
    // pictures they are predicted from): the joined decoding times run that far behind.
    std::int64_t reorderDepth = 0;
};

// Opens a part and counts its pictures; throws Exception naming the file when it cannot be read, holds
// no video, does not say its first frame, does not start with a key frame or has pictures that are not
// one frame apart.
CapturePart ReadCapturePart(const std::string& path);

// Puts the parts in frame order and throws Exception naming the part where one leaves a gap, overlaps
// the one before or has another frame rate.
std::vector<CapturePart> InFrameOrder(std::vector<CapturePart> parts);

// Writes the joined video to `output` (.mp4 or .mkv) under a temporary name, renamed when complete.
// The music is read from data/ of the working folder, as a capture reads it.
void JoinParts(const std::string& output, const std::vector<std::string>& partPaths, bool showProgress);

} // namespace engine::capture
