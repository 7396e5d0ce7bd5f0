// Video parts captured alone and joined without re-encoding, on the data the build made: three parts
// give the frame count, timestamps and duration of one whole capture, pictures within the encoder's
// noise of it, and exactly its sound; parts that leave a gap or overlap are refused by name.
#include "support/logCapture.h"
#include "support/programRun.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace quorvel::test;
namespace fs = std::filesystem;

namespace {

constexpr int kFramesPerSecond = 5;
constexpr double kLeastPsnr = 45.0;

int Capture(const std::string& output, int first, int frames) {
    return RunQuorvel("--size 64x48 --fps " + std::to_string(kFramesPerSecond) + " --capture " + output +
                      " --from-frame " + std::to_string(first) + " --frames " + std::to_string(frames));
}

// Everything the comparison needs from a video file, decoded.
struct Decoded {
    std::vector<std::int64_t> pictureTimes;          // presentation times, in frames, in decoding order
    std::vector<std::vector<std::uint8_t>> pictures; // Y, U and V planes, one after another
    std::vector<float> sound; // every channel's samples, planar frame after planar frame
    double seconds = 0.0;
};

Decoded Decode(const fs::path& path) {
    Decoded decoded;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0 ||
        avformat_find_stream_info(format, nullptr) < 0) {
        ADD_FAILURE() << "cannot open " << path;
        return decoded;
    }
    decoded.seconds = static_cast<double>(format->duration) / AV_TIME_BASE;
    std::vector<AVCodecContext*> decoders(format->nb_streams, nullptr);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVCodec* codec = avcodec_find_decoder(format->streams[i]->codecpar->codec_id);
        decoders[i] = avcodec_alloc_context3(codec);
        avcodec_parameters_to_context(decoders[i], format->streams[i]->codecpar);
        avcodec_open2(decoders[i], codec, nullptr);
    }
    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto drain = [&](AVCodecContext* decoder) {
        while (avcodec_receive_frame(decoder, frame) == 0) {
            if (decoder->codec_type == AVMEDIA_TYPE_VIDEO) {
                std::vector<std::uint8_t> planes;
                for (int plane = 0; plane < 3; ++plane) {
                    const int rows = plane == 0 ? frame->height : frame->height / 2;
                    const int columns = plane == 0 ? frame->width : frame->width / 2;
                    for (int row = 0; row < rows; ++row)
                        planes.insert(planes.end(), frame->data[plane] + row * frame->linesize[plane],
                                      frame->data[plane] + row * frame->linesize[plane] + columns);
                }
                decoded.pictures.push_back(std::move(planes));
            } else {
                for (int channel = 0; channel < frame->ch_layout.nb_channels; ++channel) {
                    const auto* samples = reinterpret_cast<const float*>(frame->data[channel]);
                    decoded.sound.insert(decoded.sound.end(), samples, samples + frame->nb_samples);
                }
            }
            av_frame_unref(frame);
        }
    };
    while (av_read_frame(format, packet) == 0) {
        const AVStream& stream = *format->streams[packet->stream_index];
        if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            decoded.pictureTimes.push_back(
                av_rescale_q(packet->pts, stream.time_base, {1, kFramesPerSecond}));
        avcodec_send_packet(decoders[packet->stream_index], packet);
        drain(decoders[packet->stream_index]);
        av_packet_unref(packet);
    }
    for (AVCodecContext* decoder : decoders) {
        avcodec_send_packet(decoder, nullptr);
        drain(decoder);
        avcodec_free_context(&decoder);
    }
    av_frame_free(&frame);
    av_packet_free(&packet);
    avformat_close_input(&format);
    return decoded;
}

double Psnr(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    double squares = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i)
        squares += (a[i] - b[i]) * (a[i] - b[i]);
    return squares == 0.0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 * a.size() / squares);
}

TEST(JoinedCapture, ThreePartsJoinedAreOneWholeCapture) {
    ScopedLogDirectory folder;
    fs::copy(QUORVEL_DATA_DIR, "data", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    ASSERT_EQ(Capture("whole.mp4", 1, 12), 0) << ReadFile("program.out");
    ASSERT_EQ(Capture("a.mp4", 1, 4), 0) << ReadFile("program.out");
    // Matroska keeps no decoding times: the joining makes them.
    ASSERT_EQ(Capture("b.mkv", 5, 4), 0) << ReadFile("program.out");
    ASSERT_EQ(Capture("c.mp4", 9, 4), 0) << ReadFile("program.out");
    // In any order: the parts say which frames they hold.
    ASSERT_EQ(RunQuorvel("--join joined.mp4 c.mp4 a.mp4 b.mkv"), 0) << ReadFile("program.out");

    const Decoded whole = Decode("whole.mp4");
    const Decoded joined = Decode("joined.mp4");
    ASSERT_EQ(whole.pictures.size(), 12u);
    ASSERT_EQ(joined.pictures.size(), whole.pictures.size());
    std::vector<std::int64_t> sortedTimes = joined.pictureTimes;
    std::sort(sortedTimes.begin(), sortedTimes.end());
    for (std::size_t i = 0; i < sortedTimes.size(); ++i)
        EXPECT_EQ(sortedTimes[i], static_cast<std::int64_t>(i)) << "the pictures are 1/fps apart";
    EXPECT_DOUBLE_EQ(joined.seconds, whole.seconds);
    for (std::size_t i = 0; i < whole.pictures.size(); ++i)
        EXPECT_GE(Psnr(joined.pictures[i], whole.pictures[i]), kLeastPsnr) << "frame " << i + 1;
    ASSERT_EQ(joined.sound.size(), whole.sound.size());
    EXPECT_TRUE(joined.sound == whole.sound) << "the music is rendered once, as the whole capture has it";
    EXPECT_NE(std::count(whole.sound.begin(), whole.sound.end(), 0.0f), static_cast<long>(whole.sound.size()))
        << "silence proves little";

    EXPECT_NE(RunQuorvel("--join gap.mp4 a.mp4 c.mp4"), 0);
    EXPECT_NE(ReadFile("program.out").find("'" + fs::absolute("c.mp4").string() + "'"), std::string::npos)
        << ReadFile("program.out");
    EXPECT_NE(ReadFile("program.out").find("frames 5-8 are missing"), std::string::npos)
        << ReadFile("program.out");
    EXPECT_NE(RunQuorvel("--join overlap.mp4 a.mp4 whole.mp4"), 0);
    EXPECT_NE(ReadFile("program.out").find("overlap"), std::string::npos) << ReadFile("program.out");
    EXPECT_FALSE(fs::exists("gap.mp4") || fs::exists("overlap.mp4") || fs::exists("gap.mp4.part"));
}

} // namespace
