#include "formats/ipoWriter.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>

using quorvel::formats::IpoWriter;

namespace {

struct DumpResult {
    int status;
    std::string output;
};

// Runs the dump command built next to this test program on one file.
DumpResult RunDump(const std::filesystem::path& file) {
    const auto command = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "talvo-dump";
    if (!std::filesystem::exists(command))
        return {-1, "talvo-dump is not built"};
    FILE* pipe = popen((command.string() + " '" + file.string() + "' 2>&1").c_str(), "r");
    DumpResult result{-1, ""};
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr)
        result.output += buffer;
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace

TEST(TalvoDump, PrintsCurvesWithModesKeysAndHandles) {
    quorvel::test::ScopedLogDirectory folder;
    IpoWriter::File({{"fade", 1, 3, {{0, 0, 0, 0, 0, 0}, {25, 1, 25, 1, 25, 1}}},
                     {"pulse", 2, 5, {{-1, 0.5f, 0, 0, 2, -0.25f}}}})
        .Save("curves.ipo");
    const DumpResult dump = RunDump(folder.Root() / "curves.ipo");
    if (dump.status == -1)
        GTEST_SKIP() << dump.output;
    EXPECT_EQ(dump.status, 0) << dump.output;
    EXPECT_NE(dump.output.find("2 curves"), std::string::npos) << dump.output;
    EXPECT_NE(dump.output.find("curve 0 \"fade\": Linear, Constant, 2 keys"), std::string::npos)
        << dump.output;
    EXPECT_NE(dump.output.find("frame 25: 1, handles (25, 1) (25, 1)"), std::string::npos) << dump.output;
    EXPECT_NE(dump.output.find("curve 1 \"pulse\": Bezier, Cyclic_extrapolation, 1 keys"), std::string::npos)
        << dump.output;
    EXPECT_NE(dump.output.find("frame 0: 0, handles (-1, 0.5) (2, -0.25)"), std::string::npos) << dump.output;
}

TEST(TalvoDump, DescribesABrokenFileUpToTheBreakAndFails) {
    quorvel::test::ScopedLogDirectory folder;
    IpoWriter::File({{"fade", 7, 3, {}}}).Save("bad.ipo");
    const DumpResult dump = RunDump(folder.Root() / "bad.ipo");
    if (dump.status == -1)
        GTEST_SKIP() << dump.output;
    EXPECT_EQ(dump.status, 1);
    EXPECT_NE(dump.output.find("curve 0 \"fade\": code 7, Constant, 0 keys"), std::string::npos)
        << dump.output;
    EXPECT_NE(dump.output.find("! interpolation code of curve 0 is not 0, 1 or 2"), std::string::npos)
        << dump.output;
}
