// The demo program itself, run as a person would run it but with no display: on fixture data it plays
// the nine scenes to the end and exits with code 0, its log complete and free of warnings and errors;
// bad options end it with code 2 before any window opens.
#include "game/demoFixture.h"
#include "support/logCapture.h"
#include "support/programRun.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace quorvel::test;

namespace {

// Runs the program on the data/ of the current folder; its exit code, or -1 when it did not exit
// normally.
int RunProgram(const std::string& arguments) {
    return RunQuorvel("--data data " + arguments);
}

TEST(DemoProgram, PlaysEveryFixtureSceneToTheEndWithACleanLog) {
    ScopedLogDirectory folder;
    WriteDemoFixture({5, 5, 5, 5, 5, 5, 5, 5, 5});

    ASSERT_EQ(RunProgram("--no-dialog --size 160x120"), 0) << ReadFile("program.out");

    const std::string log = ReadFile("data/log.html");
    EXPECT_NE(log.find("</html>"), std::string::npos) << "the log has no footer";
    EXPECT_TRUE(Rows(log, "WARNING").empty()) << log;
    EXPECT_TRUE(Rows(log, "ERROR").empty()) << log;
    const std::vector<std::string> messages = Rows(log, "MESSAGE");
    const auto at = [&](const std::string& prefix) {
        return std::find_if(messages.begin(), messages.end(),
                            [&](const std::string& row) { return row.rfind(prefix, 0) == 0; }) -
               messages.begin();
    };
    EXPECT_LT(at("Release build"), at("Creating window \"Quorvel\" 160x120"));
    EXPECT_LT(at("Creating window"), at("Creating particle emitter"));
    EXPECT_LT(at("Creating particle emitter"), static_cast<long>(messages.size()));
}

TEST(DemoProgram, ABadOptionEndsWithCodeTwoBeforeAnyWindow) {
    ScopedLogDirectory folder;
    EXPECT_EQ(RunProgram("--aa 3"), 2);
    EXPECT_NE(ReadFile("program.out").find("--aa"), std::string::npos);
    EXPECT_EQ(ReadFile("data/log.html").find("Creating window"), std::string::npos);
}

} // namespace
