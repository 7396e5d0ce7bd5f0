// The demo's music rendered offline for a capture: each frame takes the samples of its 1/fps interval
// from the module, as continuous playback from the module's start would have produced them, so that the
// sound stays in step with the pictures over any length, and two runs give the same samples.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace openmpt {
class module;
} // namespace openmpt

namespace engine::capture {

class OfflineMusic {
public:
    static constexpr int kSampleRate = 44100;
    static constexpr int kChannels = 2;

    // The module's file bytes, from startSeconds on; throws Exception when they are not a module. With
    // framesBefore, the sound starts instead where a capture from the demo's start has it after that
    // many frames, and goes on on that capture's grid of samples.
    OfflineMusic(std::vector<char> bytes, int framesPerSecond, double startSeconds,
                 std::int64_t framesBefore = 0);
    ~OfflineMusic();

    // Continues from that many seconds into the module, exact to the sample.
    void Seek(double seconds);
    // The interleaved stereo samples of the next frame: frame n ends at sample round(n * rate / fps)
    // of the capture, counted from its first frame whatever seeks came between. Silence past the end.
    const std::vector<float>& NextFrame();
    // Where the sound handed out so far ends, in sample frames on the capture's grid.
    std::int64_t SamplesWritten() const { return samplesWritten; }

private:
    std::vector<char> bytes;
    int framesPerSecond;
    std::unique_ptr<openmpt::module> module;
    std::int64_t framesDone = 0;
    std::int64_t samplesWritten = 0;
    std::vector<float> frame;
};

// round(frames * rate / fps), in integers: where the sound of a capture ends after that many frames.
std::int64_t SamplesAfterFrames(std::int64_t frames, int framesPerSecond);

} // namespace engine::capture
