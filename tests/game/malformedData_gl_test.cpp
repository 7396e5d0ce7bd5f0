// Broken data files in the demo's data folder, run through the real program with no display: whatever
// the file, the program shows the failure (standard error takes the message box's text), ends on its
// own with exit code 0 and no signal, and leaves a complete log whose ERROR row names the fault.
#include "formats/demoWriter.h"
#include "formats/ipoWriter.h"
#include "formats/tvoWriter.h"
#include "game/demoFixture.h"
#include "support/logCapture.h"
#include "support/programRun.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

using namespace quorvel::test;
using namespace quorvel::formats;

namespace {

struct BrokenData {
    const char* name;
    std::function<void()> spoil; // breaks one file of the fixture
    const char* error;           // the ERROR row, also shown in the message box
};

const BrokenData kCases[] = {
    {"a scene file of another format", [] { DemoWriter("DEMX").Save("data/scene3.demo"); },
     "Not TALVO Demo file format"},
    {"a scene file cut short",
     [] {
         DemoWriter file;
         file.Header(1, 25);
         file.Raw().I32(100);
         file.Raw().Bytes(std::string(44, ' ').data(), 44);
         file.Save("data/scene2.demo");
     },
     "data/scene2.demo: file ends inside the type of object 0 (100 bytes needed at byte 16, 44 left)"},
    {"a scene whose objects are each other's parents",
     [] {
         // Names moved in whole: GCC 12 at -O2 reads the assignment of a one-letter literal as a copy
         // that may overlap itself (a false -Wrestrict).
         DemoObjectRecord a, b;
         a.name = std::string("A");
         a.parentName = std::string("B");
         b.name = std::string("B");
         b.parentName = std::string("A");
         DemoWriter::Scene(25, {a, b}).Save("data/scene1.demo");
     },
     "data/scene1.demo: the parent links form a cycle (\"A\" > \"B\" > \"A\", each the parent of the next)"},
    {"a mesh whose index points past its vertices",
     [] {
         TVOWriter mesh;
         mesh.Material(2, {});
         mesh.Positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
         mesh.Indices(2, {0, 1, 7});
         mesh.End();
         mesh.Save("data/scene4.demo_scene/triangle.tvo");
     },
     "data/scene4.demo_scene/triangle.tvo: index 2 refers to vertex 7, past the last of the 3 vertices"},
    {"a material script that never ends",
     [] { std::ofstream("data/particle.efx", std::ios::trunc) << "effect = {}\nwhile true do end\n"; },
     "Error in lua script: data/particle.efx:2: instruction limit of 10000000 exceeded"},
    {"a global curve file of another format", [] { IpoWriter("IPOX").Save("data/custom.ipo"); },
     "Not TALVO IPO file format in file data/custom.ipo"},
};

} // namespace

TEST(MalformedData, TheProgramReportsEachBrokenFileAndEndsInOrder) {
    for (const BrokenData& c : kCases) {
        SCOPED_TRACE(c.name);
        ScopedLogDirectory folder;
        WriteDemoFixture({5, 5, 5, 5, 5, 5, 5, 5, 5});
        c.spoil();

        const std::string command = "SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy '" +
                                    std::string(QUORVEL_PROGRAM) +
                                    "' --data data --no-dialog --size 160x120 >program.out 2>program.err";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_NE(ReadFile("program.err").find(c.error), std::string::npos) << ReadFile("program.err");
        const std::string log = ReadFile("data/log.html");
        EXPECT_NE(log.find("</html>"), std::string::npos) << "the log has no footer";
        EXPECT_EQ(CountRows(log, "ERROR", c.error), 1) << log;
    }
}
