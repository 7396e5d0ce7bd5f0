// The benchmark's figures of a scene: the recorded frame (slowed by its recording) is left out of the
// times and the allocations, a scene runs steady from its third frame, the driver's allocations are
// told apart from the engine's, and the ratio is the engine's median over the replays'.
#include "perf/benchmarkReport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace perf = engine::perf;

namespace {

constexpr std::int64_t kMillisecond = 1000000;

perf::FrameSample Frame(std::int64_t milliseconds, std::int64_t engineAllocations,
                        std::int64_t driverAllocations, bool recorded = false) {
    perf::FrameSample frame;
    frame.nanoseconds = milliseconds * kMillisecond;
    frame.zones[static_cast<std::size_t>(perf::Zone::Device)] = milliseconds * kMillisecond / 2;
    frame.allocationsCounted = true;
    frame.allocations[static_cast<std::size_t>(perf::Zone::SceneWalk)] = engineAllocations;
    frame.allocations[static_cast<std::size_t>(perf::Zone::Device)] = driverAllocations;
    frame.recorded = recorded;
    return frame;
}

double Value(const std::string& json, const std::string& key) {
    std::smatch match;
    EXPECT_TRUE(std::regex_search(json, match, std::regex("\"" + key + "\": (-?[0-9.]+)"))) << key;
    return match.empty() ? -1.0 : std::stod(match[1].str());
}

TEST(BenchmarkReport, LeavesTheRecordedFrameOutAndTellsTheDriversAllocationsApart) {
    perf::BenchmarkFigures figures;
    perf::SceneFigures scene;
    scene.number = 3;
    scene.frames = {Frame(90, 40, 900), Frame(20, 5, 0), Frame(500, 300, 0, true), Frame(10, 0, 7),
                    Frame(30, 0, 0)};
    scene.replayFrames = {8 * kMillisecond, 10 * kMillisecond, 12 * kMillisecond};
    figures.scenes.push_back(scene);

    const std::filesystem::path path = std::filesystem::temp_directory_path() / "quorvel-report-test.json";
    ASSERT_TRUE(perf::WriteJson(figures, path.string()));
    std::stringstream content;
    content << std::ifstream(path).rdbuf();
    std::filesystem::remove(path);
    const std::string json = content.str();
    const std::string first = json.substr(json.find("\"scene\": 3"));

    EXPECT_EQ(Value(first, "frames"), 5);
    EXPECT_EQ(Value(first, "timedFrames"), 4);
    EXPECT_DOUBLE_EQ(Value(first, "medianMs"), 25.0);
    EXPECT_DOUBLE_EQ(Value(first, "p99Ms"), 90.0);
    EXPECT_DOUBLE_EQ(Value(first, "rawMedianMs"), 10.0);
    EXPECT_DOUBLE_EQ(Value(first, "ratio"), 2.5);
    EXPECT_DOUBLE_EQ(Value(first, "cpuShare"), 0.5);
    EXPECT_EQ(Value(first, "firstFrame"), 40);
    EXPECT_EQ(Value(first, "steadyFrames"), 2);
    EXPECT_EQ(Value(first, "steadyFrameMost"), 0);
    EXPECT_EQ(Value(first, "driverSteadyTotal"), 7);
}

} // namespace
