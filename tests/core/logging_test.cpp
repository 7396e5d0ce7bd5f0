#include "core/logging.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using engine::core::Exception;
using engine::core::Logging;
using quorvel::test::ScopedLogDirectory;

namespace {

const std::string kHeader =
    "<html>\n<head>\n"
    "<style type=\"text/css\">\n"
    "body\n{\n\tfont-family: Verdana;\n}\ntr\n{\n\tfont-size: 70%;\n\tfont-weight: normal;\n}\n"
    "tr.warning\n{\n\tfont-size: 75%;\n\tcolor: rgb(100, 0, 0);\n}\ntr.error\n{\n\tfont-size: 80%;\n\tcolor: "
    "rgb(255, 0, 0);\n}\n</style>\n"
    "<title>TALVO Log File</title>\n</head>\n<body>\n<table>\n"
    "<tr><td>Type</td><td>Line</td><td>File</td><td>Message</td></tr><tr><td><br /></td></tr>\n";
const std::string kFooter = "</body></html>\n";

// Runs a child process that logs a message, a warning and another message and then ends by the signal;
// returns its wait status.
int LogThenDieBy(int signal) {
    const pid_t child = fork();
    if (child == 0) {
        Logging::Get()->Message("first", "a.cpp", 1);
        Logging::Get()->Warning("second", "a.cpp", 2);
        Logging::Get()->Message("third", "a.cpp", 3);
        raise(signal);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return status;
}

const std::string kChildRows =
    "<tr><td>MESSAGE</td><td>1</td><td>a.cpp</td><td>first</td></tr>\n"
    "<tr class=\"warning\"><td>WARNING</td><td>2</td><td>a.cpp</td><td>second</td></tr>\n";

} // namespace

TEST(LogFile, RunThatLogsNothingHoldsHeaderAndFooter) {
    ScopedLogDirectory dir;
    Logging::Get();
    EXPECT_EQ(dir.CloseAndRead(), kHeader + kFooter);
}

TEST(LogFile, EachLevelWritesItsRowUnescapedInCallOrder) {
    ScopedLogDirectory dir;
    Logging::Get()->Message("a < b & c", "engine/core/kernel.cpp", 7);
    Logging::Get()->Warning("careful", "x.cpp", 12);
    EXPECT_THROW(Logging::Get()->Error("broken", "y.cpp", 30), Exception);
    EXPECT_EQ(
        dir.CloseAndRead(),
        kHeader + "<tr><td>MESSAGE</td><td>7</td><td>engine/core/kernel.cpp</td><td>a < b & c</td></tr>\n" +
            "<tr class=\"warning\"><td>WARNING</td><td>12</td><td>x.cpp</td><td>careful</td></tr>\n" +
            "<tr class=\"error\"><td>ERROR</td><td>30</td><td>y.cpp</td><td>broken</td></tr>\n" + kFooter);
}

TEST(LogFile, ErrorThrowsTheWidenedTextAndFileColonLine) {
    ScopedLogDirectory dir;
    try {
        Logging::Get()->Error("Failed to initialize", "window.cpp", 30);
        FAIL() << "Error returned normally";
    } catch (const Exception& e) {
        EXPECT_EQ(e.GetText(), L"Failed to initialize");
        EXPECT_EQ(e.GetFunction(), L"window.cpp:30");
    }
    EXPECT_EQ(quorvel::test::CountRows(dir.CloseAndRead(), "ERROR", "Failed to initialize"), 1);
}

TEST(LogFile, MacrosPassTheCallersFileAndLine) {
    ScopedLogDirectory dir;
    const int line = __LINE__ + 1;
    LOG_MESSAGE("here");
    const std::string log = dir.CloseAndRead();
    EXPECT_NE(
        log.find("<td>" + std::to_string(line) + "</td><td>tests/core/logging_test.cpp</td><td>here</td>"),
        std::string::npos)
        << log;
}

TEST(LogFile, MissingDataFolderDropsWritesButErrorStillThrows) {
    ScopedLogDirectory dir;
    delete Logging::mInstance;
    std::filesystem::remove_all(dir.Root() / "data");
    Logging::Get()->Message("dropped", "a.cpp", 1);
    EXPECT_THROW(Logging::Get()->Error("still thrown", "a.cpp", 2), Exception);
    delete Logging::mInstance;
    EXPECT_FALSE(std::filesystem::exists(dir.Root() / "data"));
}

// The signal must still end the process (by its default action, or through a sanitizer's report, which
// exits with an error): a handler that swallowed it would let the child reach its clean exit.
TEST(LogFile, FatalSignalWritesBufferedRowsAndFooterAndStillEndsTheProcess) {
    ScopedLogDirectory dir;
    const int status = LogThenDieBy(SIGSEGV);
    EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(dir.CloseAndRead(), kHeader + kChildRows +
                                      "<tr><td>MESSAGE</td><td>3</td><td>a.cpp</td><td>third</td></tr>\n" +
                                      kFooter);
}

// A program with a message loop quits on a first Ctrl+C as on a closed window; a second one ends it at
// once, its rows and footer written.
TEST(LogFile, FirstInterruptIsAQuitAndASecondEndsTheProcessWithTheFooter) {
    ScopedLogDirectory dir;
    const pid_t child = fork();
    if (child == 0) {
        Logging::Get()->Message("first", "a.cpp", 1);
        Logging::TakeInterruptsAsQuit();
        raise(SIGINT);
        if (!Logging::TakeInterrupt() || Logging::TakeInterrupt())
            _exit(4);
        Logging::Get()->Message("quitting", "a.cpp", 2);
        raise(SIGINT);
        _exit(3);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_EQ(dir.CloseAndRead(),
              kHeader + "<tr><td>MESSAGE</td><td>1</td><td>a.cpp</td><td>first</td></tr>\n" +
                  "<tr><td>MESSAGE</td><td>2</td><td>a.cpp</td><td>quitting</td></tr>\n" + kFooter);
}

// No handler sees SIGKILL (the out-of-memory killer's): a warning and everything before it are on disk.
TEST(LogFile, WarningIsOnDiskBeforeAnUncatchableKill) {
    ScopedLogDirectory dir;
    const int status = LogThenDieBy(SIGKILL);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    EXPECT_EQ(dir.CloseAndRead().substr(0, kHeader.size() + kChildRows.size()), kHeader + kChildRows);
}

TEST(ExceptionType, CopiesKeepTextAndFunction) {
    Exception original(L"text", L"file.cpp:3");
    Exception copy = original;
    Exception assigned(L"", L"");
    assigned = original;
    EXPECT_EQ(copy.GetText(), L"text");
    EXPECT_EQ(assigned.GetFunction(), L"file.cpp:3");
}
