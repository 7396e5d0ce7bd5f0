#include "capture/offlineMusic.h"

#include "audio/musicPlayer.h"
#include "core/logging.h"

#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>

namespace engine::capture {

std::int64_t SamplesAfterFrames(std::int64_t frames, int framesPerSecond) {
    return (2 * frames * OfflineMusic::kSampleRate + framesPerSecond) / (2 * std::int64_t{framesPerSecond});
}

OfflineMusic::OfflineMusic(std::vector<char> moduleBytes, int framesPerSecond, double startSeconds,
                           std::int64_t framesBefore)
    : bytes(std::move(moduleBytes)), framesPerSecond(framesPerSecond), framesDone(framesBefore),
      samplesWritten(SamplesAfterFrames(framesBefore, framesPerSecond)) {
    Seek(framesBefore > 0 ? static_cast<double>(samplesWritten) / kSampleRate : startSeconds);
}

OfflineMusic::~OfflineMusic() = default;

void OfflineMusic::Seek(double seconds) {
    module = audio::OpenModule(bytes, seconds, kSampleRate);
    if (!module)
        LOG_ERROR("Failed to load music file. Sorry.");
}

const std::vector<float>& OfflineMusic::NextFrame() {
    const std::int64_t end = SamplesAfterFrames(framesDone + 1, framesPerSecond);
    const auto count = static_cast<std::size_t>(end - samplesWritten);
    frame.assign(count * kChannels, 0.0f);
    std::size_t done = 0;
    try {
        while (done < count) {
            const std::size_t read =
                module->read_interleaved_stereo(kSampleRate, count - done, frame.data() + done * kChannels);
            if (read == 0)
                break;
            done += read;
        }
    } catch (const openmpt::exception& failure) {
        LOG_ERROR(std::string("The music could not be rendered: ") + failure.what());
    }
    ++framesDone;
    samplesWritten = end;
    return frame;
}

} // namespace engine::capture
