// Captures made by the real program, offscreen, on fixture data: a folder capture repeats to the byte
// (pipelined or serial) with sound as long as its frames, a video holds H.264 and AAC of the asked shape, a
// capture from scene 3 begins with the picture and the sound a capture from the start has there, and an
// output that cannot be written, or options that contradict a capture, stop the program before any window.
#include "capture/captureFixture.h"
#include "capture/offlineMusic.h"
#include "capture/temporaryOutput.h"
#include "support/logCapture.h"
#include "support/programRun.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

using namespace quorvel::test;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kWavHeaderBytes = 44;
constexpr std::size_t kBytesPerSampleFrame = 4;

// Runs the program on the data/ of the current folder; its exit code, or -1 when it did not exit
// normally.
int RunProgram(const std::string& arguments) {
    return RunQuorvel("--data data " + arguments);
}

std::string Frame(const fs::path& folder, int number) {
    return ReadFile(folder / engine::capture::FrameFileName(number));
}

// The sound's sample bytes, from the first sample frame on, `count` of them (all with -1).
std::string SoundBytes(const fs::path& folder, std::int64_t first = 0, std::int64_t count = -1) {
    const std::string wav = ReadFile(folder / engine::capture::kSoundFileName);
    if (wav.size() < kWavHeaderBytes)
        return "";
    const std::string samples = wav.substr(kWavHeaderBytes);
    return samples.substr(first * kBytesPerSampleFrame,
                          count < 0 ? std::string::npos : count * kBytesPerSampleFrame);
}

// The second run reads back and writes each frame before drawing the next: a pipelined capture that
// handed on a frame out of order, too early or twice would differ from it.
TEST(Capture, AFolderCaptureRepeatsToTheBytePipelinedOrSeriallyAndItsSoundLastsItsFrames) {
    ScopedLogDirectory folder;
    // Scene 1, with its sparks, makes most of the capture.
    WriteCaptureFixture({30, 6, 6, 6, 6, 6, 6, 6, 6});
    // 24 frames a second share 44100 samples unevenly: 1837 and 1838 by turns.
    const std::string options = " --size 64x48 --fps 24 --frames 30";
    ASSERT_EQ(RunProgram("--capture first" + options), 0) << ReadFile("program.out");
    ASSERT_EQ(RunProgram("--capture second --serial-capture" + options), 0) << ReadFile("program.out");

    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator("first"))
        names.insert(entry.path().filename().string());
    ASSERT_EQ(names.size(), 31u);
    std::set<std::string> pictures;
    for (const std::string& name : names) {
        EXPECT_TRUE(ReadFile(fs::path("first") / name) == ReadFile(fs::path("second") / name)) << name;
        if (name != engine::capture::kSoundFileName)
            pictures.insert(ReadFile(fs::path("first") / name));
    }
    EXPECT_GT(pictures.size(), 20u) << "the pictures hardly change: the comparison proves little";
    EXPECT_EQ(SoundBytes("first").size(), engine::capture::SamplesAfterFrames(30, 24) * kBytesPerSampleFrame);
    EXPECT_FALSE(fs::exists("first.part"));
}

struct StreamShape {
    std::string codec;
    int width = 0, height = 0, sampleRate = 0, channels = 0;
    int packets = 0;
    double seconds = 0.0;
};

// Every stream of a video file as libavformat reads it back, its packets counted one by one.
std::vector<StreamShape> ReadStreams(const std::string& path) {
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0)
        return {};
    avformat_find_stream_info(format, nullptr);
    std::vector<StreamShape> shapes(format->nb_streams);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream& stream = *format->streams[i];
        const AVCodecParameters& codec = *stream.codecpar;
        shapes[i].codec = avcodec_get_name(codec.codec_id);
        shapes[i].width = codec.width;
        shapes[i].height = codec.height;
        shapes[i].sampleRate = codec.sample_rate;
        shapes[i].channels = codec.ch_layout.nb_channels;
        shapes[i].seconds = static_cast<double>(stream.duration) * av_q2d(stream.time_base);
    }
    AVPacket* packet = av_packet_alloc();
    while (av_read_frame(format, packet) >= 0) {
        ++shapes[packet->stream_index].packets;
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&format);
    return shapes;
}

TEST(Capture, AVideoHoldsH264AndAacOfTheAskedShape) {
    ScopedLogDirectory folder;
    WriteCaptureFixture({6, 6, 6, 6, 6, 6, 6, 6, 6});
    ASSERT_EQ(RunProgram("--capture demo.mp4 --size 64x48 --fps 25 --frames 40"), 0)
        << ReadFile("program.out");

    const std::vector<StreamShape> streams = ReadStreams("demo.mp4");
    ASSERT_EQ(streams.size(), 2u);
    EXPECT_EQ(streams[0].codec, "h264");
    EXPECT_EQ(streams[0].width, 64);
    EXPECT_EQ(streams[0].height, 48);
    EXPECT_EQ(streams[0].packets, 40);
    EXPECT_NEAR(streams[0].seconds, 1.6, 1e-6);
    EXPECT_EQ(streams[1].codec, "aac");
    EXPECT_EQ(streams[1].sampleRate, 44100);
    EXPECT_EQ(streams[1].channels, 2);
    // The sound ends with the pictures, to within one frame.
    EXPECT_NEAR(streams[1].seconds, 1.6, 0.04);
    EXPECT_FALSE(fs::exists("demo.mp4.part"));
}

TEST(Capture, ACaptureFromSceneThreeBeginsWithWhatACaptureFromTheStartShowsThere) {
    ScopedLogDirectory folder;
    // Scenes of four frames at 25 a second: scene 3 is first drawn in the ninth frame.
    WriteCaptureFixture({4, 4, 4, 4, 4, 4, 4, 4, 4});
    ASSERT_EQ(RunProgram("--capture whole --size 64x48 --fps 25 --frames 12"), 0) << ReadFile("program.out");
    ASSERT_EQ(RunProgram("--capture late --size 64x48 --fps 25 --frames 2 --scene 3"), 0)
        << ReadFile("program.out");

    ASSERT_FALSE(Frame("whole", 9).empty());
    EXPECT_TRUE(Frame("whole", 9) != Frame("whole", 10)) << "the pictures do not change: nothing is proven";
    EXPECT_TRUE(Frame("late", 1) == Frame("whole", 9));
    EXPECT_TRUE(Frame("late", 2) == Frame("whole", 10));
    const std::int64_t eightFrames = engine::capture::SamplesAfterFrames(8, 25);
    EXPECT_TRUE(SoundBytes("late") == SoundBytes("whole", eightFrames, 2 * eightFrames / 8));
}

TEST(Capture, ADeviceLostMidwayComesBackToThePictureOfARunWithoutTheLoss) {
    ScopedLogDirectory folder;
    WriteCaptureFixture({30, 6, 6, 6, 6, 6, 6, 6, 6});
    const std::string options = " --size 64x48 --fps 24 --frames 30";
    ASSERT_EQ(RunProgram("--capture plain" + options), 0) << ReadFile("program.out");
    // Frame 12 is drawn at half a second (frame n at n / 24 s): its Present fails, so it is never
    // shown, and the capture repeats the last picture shown until the device is back.
    setenv("QUORVEL_LOSE_DEVICE_AT", "0.5", 1);
    const int exitCode = RunProgram("--capture lost" + options);
    unsetenv("QUORVEL_LOSE_DEVICE_AT");
    ASSERT_EQ(exitCode, 0) << ReadFile("program.out");

    for (int frame = 1; frame <= 11; ++frame)
        EXPECT_TRUE(Frame("lost", frame) == Frame("plain", frame)) << frame;
    int back = 12;
    while (back <= 30 && Frame("lost", back) == Frame("plain", 11))
        ++back;
    EXPECT_GT(back, 12) << "no frame was lost";
    EXPECT_LE(back, 15) << "the device stayed lost";
    // From then on the scene is where it would be without the loss: it went on moving meanwhile.
    for (int frame = back; frame <= 30; ++frame)
        EXPECT_TRUE(Frame("lost", frame) == Frame("plain", frame)) << frame;
    EXPECT_TRUE(Frame("plain", 15) != Frame("plain", 11)) << "the pictures do not move: nothing is proven";
    const std::string log = ReadFile("data/log.html");
    EXPECT_NE(log.find("Losing the device at 0.5"), std::string::npos);
    EXPECT_NE(log.find("D3DDevice lost"), std::string::npos);
    EXPECT_NE(log.find("D3DDevice reseting"), std::string::npos);

    setenv("QUORVEL_LOSE_DEVICE_AT", "soon", 1);
    EXPECT_NE(RunProgram("--capture never" + options), 0);
    unsetenv("QUORVEL_LOSE_DEVICE_AT");
    EXPECT_NE(
        ReadFile("data/log.html").find("QUORVEL_LOSE_DEVICE_AT must be a demo time in seconds, not \"soon\""),
        std::string::npos)
        << ReadFile("program.out");
    EXPECT_FALSE(fs::exists("never"));
}

TEST(Capture, AnUnwritableOutputOrAContradictionStopsTheProgramBeforeAnyWindow) {
    ScopedLogDirectory folder;
    WriteCaptureFixture({4, 4, 4, 4, 4, 4, 4, 4, 4});

    // A file stands where a folder should be.
    EXPECT_EQ(RunProgram("--capture data/dark_ages.xm/demo.mp4 --size 64x48 --frames 2"), 1);
    const std::string said = ReadFile("program.out");
    // The program works from the folder holding the data folder, so it names the output in full.
    EXPECT_NE(said.find("Cannot write the capture to '" +
                        (fs::current_path() / "data/dark_ages.xm/demo.mp4").string() + "'"),
              std::string::npos)
        << said;
    EXPECT_EQ(RunProgram("--capture data/dark_ages.xm/frames --size 64x48 --frames 2"), 1);

    EXPECT_EQ(RunProgram("--capture demo.mp4 --fullscreen"), 2);
    EXPECT_NE(ReadFile("program.out").find("--capture and --fullscreen"), std::string::npos);
    EXPECT_EQ(ReadFile("data/log.html").find("Creating window"), std::string::npos);
    EXPECT_FALSE(fs::exists("demo.mp4"));
}

} // namespace
