// A range of frames captured alone (--from-frame) on the data the build made: the pictures and the
// sound are those of a whole capture, byte for byte, in the middle of "Rain", whose golden rain of
// particles and whose bloom, which reads the picture before through "lastFrame", make every frame
// depend on the ones before it.
#include "capture/offlineMusic.h"
#include "capture/temporaryOutput.h"
#include "support/logCapture.h"
#include "support/programRun.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

using namespace quorvel::test;
namespace fs = std::filesystem;

namespace {

constexpr std::size_t kWavHeaderBytes = 44;
constexpr std::size_t kBytesPerSampleFrame = 4;
// At 5 frames a second "Rain" runs from frame 308 to 422.
constexpr int kFramesPerSecond = 5;
constexpr int kFirst = 360;
constexpr int kCount = 3;

int Capture(const std::string& arguments) {
    return RunQuorvel("--size 64x48 --fps " + std::to_string(kFramesPerSecond) + " " + arguments);
}

std::string Picture(const fs::path& folder, int frame) {
    return ReadFile(folder / engine::capture::FrameFileName(frame));
}

TEST(RangeCapture, FramesCapturedFromTheMiddleOfASceneAreThoseOfAWholeCapture) {
    ScopedLogDirectory folder;
    fs::copy(QUORVEL_DATA_DIR, "data", fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    ASSERT_EQ(Capture("--capture whole --frames " + std::to_string(kFirst + kCount - 1)), 0)
        << ReadFile("program.out");
    ASSERT_EQ(Capture("--capture part --from-frame " + std::to_string(kFirst) + " --frames " +
                      std::to_string(kCount)),
              0)
        << ReadFile("program.out");

    std::set<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator("part"))
        names.insert(entry.path().filename().string());
    EXPECT_EQ(names, (std::set<std::string>{"000360.png", "000361.png", "000362.png", "audio.wav"}));
    for (int frame = kFirst; frame < kFirst + kCount; ++frame) {
        ASSERT_FALSE(Picture("whole", frame).empty());
        EXPECT_TRUE(Picture("part", frame) == Picture("whole", frame)) << "frame " << frame;
    }
    EXPECT_TRUE(Picture("whole", kFirst) != Picture("whole", kFirst + 1)) << "a still picture proves little";

    const std::int64_t from = engine::capture::SamplesAfterFrames(kFirst - 1, kFramesPerSecond);
    const std::int64_t to = engine::capture::SamplesAfterFrames(kFirst + kCount - 1, kFramesPerSecond);
    const std::string whole = ReadFile(fs::path("whole") / engine::capture::kSoundFileName);
    const std::string part = ReadFile(fs::path("part") / engine::capture::kSoundFileName);
    ASSERT_EQ(part.size(), kWavHeaderBytes + (to - from) * kBytesPerSampleFrame);
    EXPECT_TRUE(part.substr(kWavHeaderBytes) == whole.substr(kWavHeaderBytes + from * kBytesPerSampleFrame,
                                                             (to - from) * kBytesPerSampleFrame));
    EXPECT_NE(part.substr(kWavHeaderBytes), std::string((to - from) * kBytesPerSampleFrame, '\0'))
        << "silence proves little";

    EXPECT_NE(Capture("--capture late --from-frame 100000"), 0);
    EXPECT_NE(ReadFile("program.out").find("--from-frame 100000 lies past the demo's last frame, 732"),
              std::string::npos)
        << ReadFile("program.out");
}

} // namespace
