// A capture into one video file through FFmpeg's libraries: the pictures converted to YUV 4:2:0 and
// encoded as H.264 (libx264), the sound as AAC, both muxed into MP4 or Matroska as the name says.
#pragma once

#include "capture/frameSink.h"
#include "capture/temporaryOutput.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;
struct SwsContext;

namespace engine::capture {

class VideoEncoder final : public FrameSink {
public:
    // container: an FFmpeg muxer name, "mp4" or "matroska".
    VideoEncoder(const std::string& path, const std::string& container, int width, int height,
                 int framesPerSecond);
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
    void OpenAudio();
    // Sends one frame (null: the end) to the track's encoder and writes every packet it gives back.
    void Encode(Track& track, AVFrame* frame);
    // Encodes whole audio frames from the buffered samples; with `last`, the remainder as well.
    void EncodeBufferedSound(bool last);
    [[noreturn]] void Fail(const std::string& step, int error) const;

    TemporaryOutput output;
    AVFormatContext* format = nullptr;
    Track video;
    Track audio;
    SwsContext* converter = nullptr;
    AVFrame* picture = nullptr;
    AVFrame* soundFrame = nullptr;
    AVPacket* packet = nullptr;
    long long picturesSent = 0;
    long long samplesSent = 0;
    // Samples waiting for a whole encoder frame, one list per channel.
    std::vector<float> left;
    std::vector<float> right;
};

} // namespace engine::capture
