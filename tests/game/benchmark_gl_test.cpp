// The benchmark mode of the real program on the data the build made, a few frames of every scene at a
// small size: it ends with code 0 and a clean log, reports every scene against its replay, and the
// replay draws what the engine drew: at the demo's own 25 frames a second, where the trails and glows a
// frame reads from what the one before left in its render targets differ from frame to frame, so a
// replay that did not start from the engine's render targets would draw another picture. Nothing here
// is timed.
#include "support/logCapture.h"
#include "support/programRun.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

using namespace quorvel::test;

namespace {

constexpr int kScenes = 9;
constexpr int kFrames = 5;
// The same pictures, bit for bit: the replay is the engine's frame without the engine.
constexpr int kMostPictureDifference = 0;

int Number(const std::string& line, const std::string& key) {
    std::smatch match;
    if (!std::regex_search(line, match, std::regex("\"" + key + "\": \\[?(-?[0-9]+)")))
        return -1000;
    return std::stoi(match[1].str());
}

TEST(BenchmarkMode, MeasuresEverySceneAgainstAReplayThatDrawsTheSamePictureWithoutSteadyAllocations) {
    ScopedLogDirectory folder;
    std::filesystem::copy(QUORVEL_DATA_DIR, "data",
                          std::filesystem::copy_options::recursive |
                              std::filesystem::copy_options::overwrite_existing);
    std::filesystem::remove("data/log.html");
    const std::string command = "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy '" +
                                std::string(QUORVEL_PROGRAM) + "' --data data --benchmark --frames " +
                                std::to_string(kFrames) + " --size 64x48 --json bench.json >program.out 2>&1";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << ReadFile("program.out");

    const std::string log = ReadFile("data/log.html");
    EXPECT_TRUE(Rows(log, "WARNING").empty()) << log;
    EXPECT_TRUE(Rows(log, "ERROR").empty()) << log;
    const std::string report = ReadFile("program.out");
    EXPECT_NE(report.find("Start-up:"), std::string::npos) << report;
    EXPECT_NE(report.find("floor: compiling and linking the same"), std::string::npos) << report;

    std::istringstream json(ReadFile("bench.json"));
    int scenes = 0;
    for (std::string line; std::getline(json, line);) {
        if (line.find("\"scene\": ") == std::string::npos)
            continue;
        ++scenes;
        SCOPED_TRACE(line);
        EXPECT_EQ(Number(line, "scene"), scenes);
        EXPECT_EQ(Number(line, "frames"), kFrames);
        EXPECT_GE(Number(line, "draws"), 1);
        const int difference = Number(line, "pictureLargestDifference");
        EXPECT_GE(difference, 0);
        EXPECT_LE(difference, kMostPictureDifference);
        EXPECT_EQ(Number(line, "steadyFrameMost"), 0);
    }
    EXPECT_EQ(scenes, kScenes);
}

} // namespace
