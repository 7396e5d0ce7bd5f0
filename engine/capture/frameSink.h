// Where a capture's frames and sound go, in the order they are made: one picture, then the sound of
// that frame's interval, frame after frame. Every failure throws Exception with the reason; a sink
// destroyed without Finish removes what it wrote.
#pragma once

#include <engine/capture.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine::capture {

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // RGBA bytes, top row first.
    virtual void Picture(const std::vector<std::uint8_t>& rgba, int width, int height) = 0;
    // Interleaved stereo samples at OfflineMusic::kSampleRate.
    virtual void Sound(const std::vector<float>& interleaved) = 0;
    // Completes the output and gives it its final name.
    virtual void Finish() = 0;
};

// The FFmpeg container an output name asks for: "mp4" or "matroska" for a name ending in .mp4 or .mkv
// (in any case), empty for a folder.
std::string VideoContainer(const std::string& output);

// The sink the settings name, already created under its temporary name.
std::unique_ptr<FrameSink> OpenSink(const CaptureSettings& settings);

} // namespace engine::capture
