// A capture into one video file through FFmpeg's libraries: the pictures converted to YUV 4:2:0 and
// encoded as H.264 (libx264), the sound as AAC, both muxed into MP4 or Matroska as the name says.
#pragma once

#include "capture/frameSink.h"
#include "capture/soundTrack.h"
#include "capture/temporaryOutput.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

namespace engine::capture {

class VideoEncoder final : public FrameSink {
public:
    // container: an FFmpeg muxer name, "mp4" or "matroska". firstFrame, the number of the first picture
    // in a capture from the demo's start, goes into the file's metadata (kFirstFrameTag), so that parts
    // captured alone can be joined in order and checked for gaps.
    VideoEncoder(const std::string& path, const std::string& container, int width, int height,
                 int framesPerSecond, std::int64_t firstFrame);
    ~VideoEncoder() override;

    void Picture(const std::vector<std::uint8_t>& rgba, int width, int height) override;
    void Sound(const std::vector<float>& interleaved) override;
    void Finish() override;

private:
    struct Track {
        AVCodecContext* codec = nullptr;
        AVStream* stream = nullptr;
    };

    void OpenVideo(int width, int height, int framesPerSecond);
    // Sends one picture (null: the end) to the encoder and writes every packet it gives back.
    void Encode(AVFrame* frame);
    [[noreturn]] void Fail(const std::string& step, int error) const;

    TemporaryOutput output;
    AVFormatContext* format = nullptr;
    Track video;
    std::unique_ptr<SoundTrack> sound;
    SwsContext* converter = nullptr;
    AVFrame* picture = nullptr;
    AVPacket* packet = nullptr;
    long long picturesSent = 0;
};

// The metadata key that holds a video's first frame number.
inline constexpr const char* kFirstFrameTag = "first_frame";

// What failed in OpenVideoFile: the step, for "Cannot write ... (step)", and FFmpeg's error.
struct VideoFileFailure {
    const char* step;
    int error;
};

// Opens `path` for `format` and writes the container's header: an MP4 with its index first and the
// metadata keys of our own kept, as a capture and a joining both write it.
std::optional<VideoFileFailure> OpenVideoFile(AVFormatContext& format, const std::filesystem::path& path,
                                              const std::string& container);

} // namespace engine::capture
