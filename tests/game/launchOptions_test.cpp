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

TEST(LaunchOptions, HelpAndVersionPrintToStandardOutputAndSucceed) {
    const Parsed help = Parse({"--help"});
    EXPECT_EQ(help.action, LaunchAction::ExitSuccess);
    EXPECT_NE(help.out.find("--scene"), std::string::npos);
    const Parsed version = Parse({"--version"});
    EXPECT_EQ(version.action, LaunchAction::ExitSuccess);
    EXPECT_EQ(version.out.rfind("quorvel ", 0), 0u);
}

} // namespace
