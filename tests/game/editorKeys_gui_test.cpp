// The editor's keys in the real program on an X server: xdotool types them into the demo's window
// while `quorvel --watch` plays the fixture, and the log shows what each one did.
#include "game/demoFixture.h"
#include "support/logCapture.h"
#include "support/programRun.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

using namespace quorvel::test;
namespace fs = std::filesystem;

namespace {

// Starts its own X server (xvfb-run picks a free display), the program in it, waits for its window,
// types the keys with a pause between them, and waits for the program to end; the exit code.
int TypeIntoTheProgram(const std::string& keys) {
    const std::string script =
        "SDL_AUDIODRIVER=dummy '" + std::string(QUORVEL_PROGRAM) +
        "' --data data --watch content --no-dialog --size 320x240 >program.out 2>&1 & pid=$!; "
        "for i in $(seq 150); do wid=$(xdotool search --name '^Quorvel' 2>/dev/null | head -1); "
        "[ -n \"$wid\" ] && break; sleep 0.2; done; "
        "[ -n \"$wid\" ] || { kill $pid; exit 3; }; "
        // The window opens before the editor and the scenes; they are ready well within this.
        "sleep 2; for key in " +
        keys + "; do xdotool key --window \"$wid\" \"$key\"; sleep 0.4; done; wait $pid";
    const std::string command = "unset SDL_VIDEODRIVER; xvfb-run -a -s '-screen 0 640x480x24' bash -c " +
                                std::string("'") +
                                [&] {
                                    std::string quoted;
                                    for (char c : script)
                                        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
                                    return quoted;
                                }() +
                                "'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(EditorKeys, TheRealProgramTakesTheTransportKeysFromItsWindow) {
    if (std::system("command -v xvfb-run >/dev/null && command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "xvfb-run and xdotool are needed";
    ScopedLogDirectory folder;
    // Long scenes, so that the demo is still playing when the last key arrives.
    WriteDemoFixture({500, 500, 500, 500, 500, 500, 500, 500, 500});
    fs::create_directory("content");

    ASSERT_EQ(TypeIntoTheProgram("5 space space l Right Escape"), 0) << ReadFile("program.out");

    const std::string log = ReadFile("data/log.html");
    // "5": the fifth scene's start, four scenes of 20 s on.
    EXPECT_NE(log.find("Editor: to 1:20.00"), std::string::npos) << log;
    EXPECT_NE(log.find("Editor: paused at 1:20."), std::string::npos) << log;
    EXPECT_NE(log.find("Editor: playing from 1:20."), std::string::npos) << log;
    EXPECT_NE(log.find("Editor: looping the scene"), std::string::npos) << log;
    // Right: on to the next beat.
    EXPECT_NE(log.find("Editor: to 1:2", log.find("Editor: looping the scene")), std::string::npos) << log;
}
