// A capture into a folder: every frame a numbered PNG picture (RGB, the same bytes for the same
// picture on every run) and the sound in one WAV file.
#pragma once

#include "capture/frameSink.h"
#include "capture/temporaryOutput.h"
#include "capture/wavWriter.h"

namespace engine::capture {

class PngFolder final : public FrameSink {
public:
    // The first picture is named after `firstFrame`, the next one after, ...
    PngFolder(const std::string& folder, std::int64_t firstFrame);

    void Picture(const std::vector<std::uint8_t>& rgba, int width, int height) override;
    void Sound(const std::vector<float>& interleaved) override;
    void Finish() override;

private:
    TemporaryOutput output;
    WavWriter sound;
    std::int64_t frames;
    std::vector<std::uint8_t> rgb;
    std::vector<std::uint8_t> png;
};

} // namespace engine::capture
