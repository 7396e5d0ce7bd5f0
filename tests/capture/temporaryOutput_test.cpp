// Where a capture writes: under a temporary name until it is complete, nothing left behind when it is
// abandoned, and never over a folder that holds anything but an earlier capture.
#include "capture/temporaryOutput.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

using engine::capture::TemporaryOutput;
using quorvel::test::ScopedLogDirectory;
namespace fs = std::filesystem;

namespace {

TEST(TemporaryOutput, TheFinalNameAppearsOnlyWhenCompleteAndNothingStaysWhenAbandoned) {
    ScopedLogDirectory folder;
    {
        TemporaryOutput abandoned("frames", true);
        std::ofstream(abandoned.Path() / "000001.png") << "picture";
        EXPECT_FALSE(fs::exists("frames"));
    }
    EXPECT_FALSE(fs::exists("frames.part"));
    EXPECT_FALSE(fs::exists("frames"));

    TemporaryOutput video("demo.mp4", false);
    std::ofstream(video.Path()) << "video";
    EXPECT_FALSE(fs::exists("demo.mp4"));
    video.Commit();
    EXPECT_TRUE(fs::exists("demo.mp4"));
    EXPECT_FALSE(fs::exists("demo.mp4.part"));
}

TEST(TemporaryOutput, AFolderReplacesAnEarlierCaptureButNeverOtherFiles) {
    ScopedLogDirectory folder;
    fs::create_directory("earlier");
    std::ofstream("earlier/000001.png") << "old picture";
    std::ofstream("earlier/audio.wav") << "old sound";
    TemporaryOutput again("earlier", true);
    std::ofstream(again.Path() / "000001.png") << "new picture";
    again.Commit();
    EXPECT_FALSE(fs::exists("earlier/audio.wav"));
    std::ifstream picture("earlier/000001.png");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(picture), {}), "new picture");

    fs::create_directory("photos");
    std::ofstream("photos/holiday.jpg") << "keep me";
    const std::string text = folder.ExpectError([] { TemporaryOutput refused("photos", true); });
    EXPECT_NE(text.find("'photos'"), std::string::npos) << text;
    EXPECT_TRUE(fs::exists("photos/holiday.jpg"));
    EXPECT_FALSE(fs::exists("photos.part"));
}

} // namespace
