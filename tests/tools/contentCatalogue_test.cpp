// The catalogue of malformed content the compiler reads, checked in under data/malformed/: OBJ files,
// music scores and scene descriptions. Each is refused with the file, the line where one is known, and
// what is wrong; descriptions reach nothing outside their sandbox and its limits.
#include "build.h"
#include "content/content.h"
#include "score.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

const fs::path kFolder = fs::path(QUORVEL_TEST_DATA) / "malformed";

struct Case {
    const char* name;
    const char* reason; // what follows the file name (and its line)
};

std::string Text(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const Case kObjCases[] = {
    {"normalIndexPastTheEnd.obj",
     "5: a face refers to normal 2 but the file has only 1 normals in \"f 1//1 2//2 3//1\""},
    {"texCoordIndexPastTheEnd.obj", "5: a face refers to texture coordinate 5 but the file has only 1 "
                                    "texture coordinates in \"f 1/1 2/1 3/5\""},
    {"negativeIndexBeforeTheFirst.obj",
     "4: a relative position index reaches before the first position in \"f -4 -2 -1\""},
    {"infiniteCoordinate.obj", "2: the position is not a finite number in \"v 1e999 0 0\""},
    {"empty.obj", "the file holds no faces"},
    {"onlyAMaterialLibrary.obj", "the file holds no faces"},
    {"binaryGarbage.obj", "the file holds no faces"},
};

const Case kScoreCases[] = {
    {"tempoWithoutSpeed.score", "2: cannot read \"tempo\" here"},
    {"unknownWaveform.score",
     "4: unknown waveform \"violin\" (sine, triangle, square, saw, pulse, kick, snare, hat or crash)"},
    {"badNote.score", "6: a cell is \"...\", \"===\" or a note such as C-4 with an instrument"},
    {"tooManyCells.score", "6: a row needs 2 cells separated by '|', this one has 3"},
    {"orderOfAMissingPattern.score", "4: the order names an unknown pattern \"nowhere\""},
    {"unknownStatement.score", "2: cannot read \"flute\" here"},
};

const Case kSceneCases[] = {
    {"syntaxError.lua", ":2: unexpected symbol near '<eof>'"},
    {"notATable.lua", ": the returned value must be the scene's table"},
    {"osExecute.lua", ":1: attempt to index global 'os' (a nil value)"},
    {"ioOpen.lua", ":1: attempt to index global 'io' (a nil value)"},
    {"require.lua", ":1: attempt to call global 'require' (a nil value)"},
    {"loadstring.lua", ":1: attempt to call global 'loadstring' (a nil value)"},
    {"dofile.lua", ":1: attempt to call global 'dofile' (a nil value)"},
    {"stringDump.lua", ":1: attempt to call field 'dump' (a nil value)"},
    {"endlessLoop.lua", ":1: instruction limit of 10000000 exceeded"},
    {"growingString.lua", ": memory limit of 33554432 bytes exceeded"},
    {"stringGrownByOneByte.lua", ": allocation limit of 1073741824 bytes in all exceeded"},
    {"sharedCurve.lua", ": read limit of 4000000 table elements exceeded"},
    {"sharedName.lua", ": read limit of 16777216 bytes of text exceeded"},
    {"zeroLength.lua", ": length must be a whole number from 1 to 1073741824"},
    {"segmentsPastIntRange.lua",
     ":1: sphere: segments must be a whole number from -2147483648 to 2147483647"},
    {"unknownObjectType.lua",
     ": objects[1].type must be \"Mesh\", \"Lamp\" or \"Empty\" (the camera is scene.camera)"},
    {"parentMissing.lua", ": the parent \"Nobody\" of \"A\" is no object of the scene"},
    {"duplicateNames.lua", ": two objects are named \"A\""},
    {"materialOutsideContent.lua",
     ": meshes.m.material names \"../../../etc/passwd\", which is not a file of the content folder"},
    {"objOutsideContent.lua", ":1: obj: \"../../../etc/passwd\" is not a path inside the content folder"},
};

} // namespace

TEST(ContentCatalogue, EveryMalformedObjFileIsRefusedWithItsLineAndReason) {
    for (const Case& c : kObjCases) {
        SCOPED_TRACE(c.name);
        quorvel::content::MeshData mesh;
        quorvel::content::ImportError error;
        EXPECT_FALSE(quorvel::content::ImportObj(kFolder / c.name, mesh, error));
        EXPECT_EQ(error.file, (kFolder / c.name).string());
        EXPECT_EQ((error.line > 0 ? std::to_string(error.line) + ": " : "") + error.reason, c.reason);
    }
}

TEST(ContentCatalogue, EveryMalformedScoreIsRefusedWithItsLineAndReason) {
    for (const Case& c : kScoreCases) {
        SCOPED_TRACE(c.name);
        try {
            quorvel::music::ReadScore(Text(kFolder / c.name), c.name);
            ADD_FAILURE() << "the score was read";
        } catch (const quorvel::music::ScoreError& error) {
            EXPECT_EQ(error.what(), std::string(c.name) + ":" + c.reason);
        }
    }
}

TEST(ContentCatalogue, EveryMalformedSceneDescriptionIsRefusedWithItsReason) {
    const fs::path content = fs::path(QUORVEL_SOURCE_DIR) / "content";
    for (const Case& c : kSceneCases) {
        SCOPED_TRACE(c.name);
        // Under a short name: Lua cuts long file names short in its messages.
        quorvel::test::ScopedLogDirectory dir;
        const fs::path file = fs::path("scenes") / c.name;
        fs::create_directory("scenes");
        fs::copy_file(kFolder / c.name, file);
        quorvel::build::MaterialCheck materials(content / "fx", {});
        quorvel::build::Outputs outputs;
        quorvel::build::NamedFiles named;
        quorvel::build::ContentContext context{content, materials, outputs, named};
        try {
            quorvel::build::CompileScene(file, context);
            ADD_FAILURE() << "the description was compiled";
        } catch (const quorvel::build::BuildError& error) {
            EXPECT_EQ(error.what(), file.string() + c.reason);
        }
    }
}
