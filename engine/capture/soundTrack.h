// A video file's AAC sound track: interleaved stereo from the offline music, encoded in frames of the
// encoder's size (a shorter one at the end) and written into a container someone else opened. A capture
// and the joining of parts encode the same samples the same way, so both give the same packets.
#pragma once

#include <string>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

namespace engine::capture {

class SoundTrack {
public:
    // Adds the stream to `format` before its header is written. `target` names the output in errors:
    // "Cannot write <target> (step): reason".
    SoundTrack(AVFormatContext& format, std::string target);
    ~SoundTrack();
    SoundTrack(const SoundTrack&) = delete;
    SoundTrack& operator=(const SoundTrack&) = delete;

    // Call once the header is written: the muxer may have changed the stream's time base.
    void Add(const std::vector<float>& interleaved);
    // Encodes what is left and drains the encoder.
    void Finish();

private:
    void EncodeBuffered(bool last);
    void Encode(AVFrame* frame);
    [[noreturn]] void Fail(const std::string& step, int error) const;

    AVFormatContext& format;
    std::string target;
    AVCodecContext* codec = nullptr;
    AVStream* stream = nullptr;
    AVFrame* soundFrame = nullptr;
    AVPacket* packet = nullptr;
    long long samplesSent = 0;
    // Samples waiting for a whole encoder frame, one list per channel.
    std::vector<float> left;
    std::vector<float> right;
};

// FFmpeg's text for an error code.
std::string FfmpegErrorText(int error);

} // namespace engine::capture
