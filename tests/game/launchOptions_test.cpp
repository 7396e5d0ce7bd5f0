// The demo program's command line: each option reaches the settings, and every mistake is refused
// with one line naming the option before the usage, and exit code 2.
#include "launchOptions.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

using quorvel::LaunchAction;
using quorvel::LaunchOptions;

namespace {

struct Parsed {
    LaunchAction action;
    LaunchOptions options;
    std::string out;
    std::string err;
};

Parsed Parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "quorvel");
    Parsed parsed;
    std::ostringstream out, err;
    parsed.action = quorvel::ParseLaunchOptions(static_cast<int>(arguments.size()), arguments.data(),
                                                parsed.options, out, err);
    parsed.out = out.str();
    parsed.err = err.str();
    return parsed;
}

TEST(LaunchOptions, EveryDisplayOptionOverridesTheSettings) {
    const Parsed parsed = Parse({"--no-dialog", "--fullscreen", "--size", "1280x720", "--refresh", "75",
                                 "--vsync", "--aa", "4", "--16bit", "--scene", "5", "--loop"});
    ASSERT_EQ(parsed.action, LaunchAction::Run) << parsed.err;
    EXPECT_FALSE(parsed.options.showDialog);
    EXPECT_EQ(parsed.options.firstScene, 5);
    EXPECT_TRUE(parsed.options.loop);

    engine::WindowSettings settings;
    quorvel::ApplyDisplayOptions(parsed.options, settings);
    EXPECT_TRUE(settings.fullscreen);
    EXPECT_EQ(settings.width, 1280);
    EXPECT_EQ(settings.height, 720);
    EXPECT_EQ(settings.refreshRate, 75);
    EXPECT_EQ(settings.presentationInterval, 2u);
    EXPECT_EQ(settings.multiSampleType, 4);
    EXPECT_EQ(settings.backBufferFormat, 23);
}

TEST(LaunchOptions, OptionsNotGivenLeaveTheDialogsAnswerAlone) {
    const Parsed parsed = Parse({"--windowed", "--no-vsync"});
    ASSERT_EQ(parsed.action, LaunchAction::Run);
    EXPECT_TRUE(parsed.options.showDialog);
    EXPECT_EQ(parsed.options.firstScene, 1);

    engine::WindowSettings settings;
    settings.fullscreen = true;
    settings.width = 800;
    settings.height = 600;
    settings.presentationInterval = 2;
    quorvel::ApplyDisplayOptions(parsed.options, settings);
    EXPECT_FALSE(settings.fullscreen);
    EXPECT_EQ(settings.width, 800);
    EXPECT_EQ(settings.presentationInterval, 0x80000000u);
    EXPECT_EQ(settings.backBufferFormat, 22);
}

TEST(LaunchOptions, WatchNamesTheContentFolder) {
    const Parsed parsed = Parse({"--watch", "content", "--scene", "3", "--loop"});
    ASSERT_EQ(parsed.action, LaunchAction::Run) << parsed.err;
    EXPECT_EQ(parsed.options.watchFolder, "content");
}

TEST(LaunchOptions, MistakesNameTheOptionAndAskForExitCodeTwo) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> mistakes{
        {{"--size", "1280"}, "--size"},
        {{"--size", "0x720"}, "--size"},
        {{"--size", "99999x720"}, "--size"},
        {{"--aa", "3"}, "--aa"},
        {{"--aa", "two"}, "aa"},
        {{"--scene", "10"}, "--scene"},
        {{"--scene", "0"}, "--scene"},
        {{"--refresh", "0"}, "--refresh"},
        {{"--windowed", "--fullscreen"}, "--windowed and --fullscreen"},
        {{"--vsync", "--no-vsync"}, "--vsync and --no-vsync"},
        {{"--bogus"}, "bogus"},
        {{"extra"}, "extra"},
        {{"--capture", "out.mp4", "--fullscreen"}, "--capture and --fullscreen"},
        {{"--capture", "out.mp4", "--av-report"}, "--capture and --av-report"},
        {{"--fps", "30"}, "--fps needs --capture"},
        {{"--capture", "out.mp4", "--fps", "0"}, "--fps"},
        {{"--capture", "out.mp4", "--frames", "0"}, "--frames"},
        {{"--capture", "out.mp4", "--size", "641x360"}, "even"},
        {{"--capture", "out.avi"}, "out.avi"},
        {{"--capture", "out.mp4", "--loop"}, "--loop"},
        {{"--watch", "content", "--capture", "out.mp4"}, "--watch and --capture"},
        {{"--json", "figures.json"}, "--json needs --benchmark"},
        {{"--benchmark", "--capture", "out.mp4"}, "--benchmark and --capture"},
        {{"--benchmark", "--loop"}, "--benchmark and --loop"},
        {{"--benchmark", "--frames", "0"}, "--frames"},
        {{"--from-frame", "10"}, "--from-frame needs --capture"},
        {{"--capture", "out.mp4", "--from-frame", "0"}, "--from-frame"},
        {{"--capture", "out.mp4", "--from-frame", "10", "--scene", "3"}, "--from-frame and --scene"},
    };
    for (const auto& [arguments, named] : mistakes) {
        const Parsed parsed = Parse(arguments);
        EXPECT_EQ(parsed.action, LaunchAction::ExitUsageError) << named;
        const std::string firstLine = parsed.err.substr(0, parsed.err.find('\n'));
        EXPECT_NE(firstLine.find(named), std::string::npos) << firstLine;
        EXPECT_NE(parsed.err.find("Usage: quorvel"), std::string::npos);
        EXPECT_TRUE(parsed.out.empty());
    }
}

TEST(LaunchOptions, ACaptureSkipsTheDialogAndDefaultsTo720pAt60) {
    const Parsed plain = Parse({"--capture", "frames", "--scene", "3"});
    ASSERT_EQ(plain.action, LaunchAction::Run) << plain.err;
    EXPECT_FALSE(plain.options.showDialog);
    const engine::CaptureSettings capture = quorvel::CaptureSettingsOf(plain.options);
    EXPECT_EQ(capture.output, "frames");
    EXPECT_EQ(capture.width, 1280);
    EXPECT_EQ(capture.height, 720);
    EXPECT_EQ(capture.framesPerSecond, 60);
    EXPECT_FALSE(capture.frameLimit || capture.endSeconds);

    const Parsed given = Parse({"--capture", "x.MKV", "--size", "64x48", "--fps", "25", "--to", "12.5",
                                "--frames", "100", "--loop"});
    ASSERT_EQ(given.action, LaunchAction::Run) << given.err;
    const engine::CaptureSettings bounded = quorvel::CaptureSettingsOf(given.options);
    EXPECT_EQ(bounded.width, 64);
    EXPECT_EQ(bounded.framesPerSecond, 25);
    EXPECT_EQ(bounded.endSeconds, 12.5);
    EXPECT_EQ(bounded.frameLimit, 100);
    EXPECT_EQ(bounded.firstFrame, 1);
    EXPECT_TRUE(bounded.pipelined);

    const Parsed range =
        Parse({"--capture", "part.mp4", "--from-frame", "4000", "--frames", "100", "--serial-capture"});
    ASSERT_EQ(range.action, LaunchAction::Run) << range.err;
    const engine::CaptureSettings part = quorvel::CaptureSettingsOf(range.options);
    EXPECT_EQ(part.firstFrame, 4000);
    EXPECT_EQ(part.frameLimit, 100);
    EXPECT_FALSE(part.pipelined);
}

TEST(LaunchOptions, ABenchmarkDefaultsTo1024x768At25AndCountsFramesPerScene) {
    const Parsed plain = Parse({"--benchmark"});
    ASSERT_EQ(plain.action, LaunchAction::Run) << plain.err;
    EXPECT_FALSE(plain.options.showDialog);
    EXPECT_FALSE(plain.options.singleScene);
    const engine::BenchmarkSettings defaults = quorvel::BenchmarkSettingsOf(plain.options);
    EXPECT_EQ(defaults.width, 1024);
    EXPECT_EQ(defaults.height, 768);
    EXPECT_EQ(defaults.framesPerSecond, 25);
    EXPECT_FALSE(defaults.framesPerScene);
    EXPECT_TRUE(defaults.jsonPath.empty());

    const Parsed given = Parse({"--benchmark", "--size", "64x48", "--frames", "3", "--fps", "50", "--scene",
                                "4", "--json", "figures.json"});
    ASSERT_EQ(given.action, LaunchAction::Run) << given.err;
    EXPECT_TRUE(given.options.singleScene);
    EXPECT_EQ(given.options.firstScene, 4);
    const engine::BenchmarkSettings chosen = quorvel::BenchmarkSettingsOf(given.options);
    EXPECT_EQ(chosen.width, 64);
    EXPECT_EQ(chosen.framesPerSecond, 50);
    EXPECT_EQ(chosen.framesPerScene, 3);
    EXPECT_EQ(chosen.jsonPath, "figures.json");
}

TEST(LaunchOptions, HelpAndVersionPrintToStandardOutputAndSucceed) {
    const Parsed help = Parse({"--help"});
    EXPECT_EQ(help.action, LaunchAction::ExitSuccess);
    EXPECT_NE(help.out.find("--scene"), std::string::npos);
    const Parsed version = Parse({"--version"});
    EXPECT_EQ(version.action, LaunchAction::ExitSuccess);
    EXPECT_EQ(version.out.rfind("quorvel ", 0), 0u);
}

} // namespace
