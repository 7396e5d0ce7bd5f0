// The catalogue of malformed .demo scenes, made by the format writer: each is refused by the scene
// loader with one ERROR row; where the row the format prescribes leaves the file out, the WARNING row
// before it names the file and the place.
#include "formats/demoWriter.h"
#include "resources/resourceManager.h"
#include "scene/demoLoader.h"
#include "support/malformedCatalogue.h"

#include <engine/exception.h>

#include <functional>

using namespace quorvel::test;
using quorvel::formats::DemoCurveRecord;
using quorvel::formats::DemoObjectRecord;
using quorvel::formats::DemoWriter;

namespace {

struct SceneCase {
    const char* name;
    std::function<void(DemoWriter&)> write; // what follows the magic; no writer: the file is missing
    const char* warning;
    const char* error;
    const char* magic = "DEMO";
};

DemoObjectRecord Empty(const char* name, const char* parent = "") {
    DemoObjectRecord object;
    object.name = name;
    object.parentName = parent;
    return object;
}

DemoObjectRecord WithCurve(const char* channel, const char* interpolation, const char* extrapolation) {
    DemoObjectRecord object = Empty("Moving");
    object.curves.push_back(
        DemoCurveRecord{channel, interpolation, extrapolation, {{0, 0, 1, 0, 2, 0}, {9, 1, 10, 1, 11, 1}}});
    return object;
}

DemoObjectRecord Mesh(const char* meshName) {
    DemoObjectRecord object = Empty("Cube");
    object.type = "Mesh";
    object.meshName = meshName;
    return object;
}

// One object written by the writer, then cut to `keep` bytes of it.
std::function<void(DemoWriter&)> CutObject(std::size_t keep) {
    return [keep](DemoWriter& f) {
        f.Header(1, 25);
        DemoWriter whole;
        whole.Object(Empty("ANameLongEnoughForTheCutsBelow"));
        const std::vector<std::uint8_t>& bytes = whole.Data();
        // The writer starts with its magic; the object follows it.
        f.Raw().Bytes(bytes.data() + 4, keep);
    };
}

std::function<void(DemoWriter&)> Objects(std::vector<DemoObjectRecord> objects) {
    return [objects](DemoWriter& f) {
        f.Header(static_cast<std::int32_t>(objects.size()), 25);
        for (const DemoObjectRecord& object : objects)
            f.Object(object);
    };
}

const SceneCase kCases[] = {
    {"missing", nullptr, "data/missing.demo: the file cannot be read", "No such demo file found"},
    {"empty", [](DemoWriter&) {}, "data/empty.demo: the file does not begin with \"DEMO\"",
     "Not TALVO Demo file format", ""},
    {"wrongMagic", [](DemoWriter& f) { f.Header(0, 25); },
     "data/wrongMagic.demo: the file does not begin with \"DEMO\"", "Not TALVO Demo file format", "OMED"},
    {"headerCut", [](DemoWriter& f) { f.Raw().I32(0); }, "",
     "data/headerCut.demo: file ends inside the scene length of the header (4 bytes needed at byte 8, 0 "
     "left)"},
    {"negativeObjectCount", [](DemoWriter& f) { f.Header(-1, 25); }, "",
     "data/negativeObjectCount.demo: the object count of the header is negative (-1)"},
    {"objectCountPastTheEnd", [](DemoWriter& f) { f.Header(1000, 25); }, "",
     "data/objectCountPastTheEnd.demo: the object count of the header is 1000, more than the file holds (0 "
     "bytes left at byte 12)"},
    {"negativeLength", [](DemoWriter& f) { f.Header(0, -25); }, "",
     "data/negativeLength.demo: negative scene length -25"},
    {"negativeStringLength",
     [](DemoWriter& f) {
         f.Header(1, 25);
         f.Raw().I32(-4);
         f.Raw().Bytes(std::vector<char>(44).data(), 44);
     },
     "", "data/negativeStringLength.demo: the type of object 0 has a negative length (-4)"},
    {"stringPastTheEnd",
     [](DemoWriter& f) {
         f.Header(1, 25);
         f.Raw().I32(1 << 20);
         f.Raw().Bytes(std::vector<char>(44).data(), 44);
     },
     "",
     "data/stringPastTheEnd.demo: file ends inside the type of object 0 (1048576 bytes needed at byte 16, 44 "
     "left)"},
    // The type, a 30-character name and two empty strings take 51 bytes.
    {"poseCut", CutObject(51 + 10), "",
     "data/poseCut.demo: file ends inside the position and rotation of object 0 "
     "\"ANameLongEnoughForTheCutsBelow\" (24 bytes needed at byte 63, 10 left)"},
    {"curveCountCut", CutObject(51 + 24 + 2), "",
     "data/curveCountCut.demo: file ends inside the curve count of object 0 "
     "\"ANameLongEnoughForTheCutsBelow\" (4 bytes needed at byte 87, 2 left)"},
    {"negativeCurveCount",
     [](DemoWriter& f) {
         f.Header(1, 25);
         DemoWriter whole;
         whole.Object(Empty("A"));
         const std::vector<std::uint8_t>& bytes = whole.Data();
         f.Raw().Bytes(bytes.data() + 4, bytes.size() - 8);
         f.Raw().I32(-1);
     },
     "", "data/negativeCurveCount.demo: the curve count of object 0 \"A\" is negative (-1)"},
    {"unknownChannel", Objects({WithCurve("Wobble", "Linear", "Constant")}),
     "data/unknownChannel.demo: curve 0 of object 0 \"Moving\" has the channel \"Wobble\"",
     "Unsupported Pipe Type Wobble"},
    {"unknownInterpolation", Objects({WithCurve("LocX", "Smooth", "Constant")}),
     "data/unknownInterpolation.demo: curve 0 of object 0 \"Moving\" has the interpolation \"Smooth\"",
     "Smooth interpolation type not supported."},
    {"unknownExtrapolation", Objects({WithCurve("LocX", "Linear", "Bounce")}),
     "data/unknownExtrapolation.demo: curve 0 of object 0 \"Moving\" has the extrapolation \"Bounce\"",
     "Bounce extrapolation type not supported."},
    {"keysPastTheEnd",
     [](DemoWriter& f) {
         DemoWriter whole;
         whole.Header(1, 25);
         whole.Object(WithCurve("LocX", "Linear", "Constant"));
         const std::vector<std::uint8_t>& bytes = whole.Data();
         f.Raw().Bytes(bytes.data() + 4, bytes.size() - 4 - 30);
     },
     "",
     "data/keysPastTheEnd.demo: the key count of curve 0 of object 0 \"Moving\" is 2, more than the file "
     "holds (18 bytes left at byte 101)"},
    {"meshNameLeavingTheScene", Objects({Mesh("../../../secret")}), "",
     "data/meshNameLeavingTheScene.demo: the mesh name \"../../../secret\" of object 0 \"Cube\" leaves the "
     "scene's folder"},
    {"absoluteMeshName", Objects({Mesh("/etc/passwd")}), "",
     "data/absoluteMeshName.demo: the mesh name \"/etc/passwd\" of object 0 \"Cube\" leaves the scene's "
     "folder"},
    {"meshFileMissing", Objects({Mesh("cube")}), "",
     "data/meshFileMissing.demo_scene/cube.tvo mesh not found"},
    {"parentCycle", Objects({Empty("A", "B"), Empty("B", "A")}), "",
     "data/parentCycle.demo: the parent links form a cycle (\"A\" > \"B\" > \"A\", each the parent of the "
     "next)"},
    {"ownParent", Objects({Empty("A", "A")}), "",
     "data/ownParent.demo: the parent links form a cycle (\"A\" > \"A\", each the parent of the next)"},
};

} // namespace

TEST(DemoCatalogue, EveryMalformedSceneIsRefusedWithItsReason) {
    for (const SceneCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ScopedLogDirectory dir;
        const std::string file = std::string("data/") + c.name + ".demo";
        if (c.write) {
            DemoWriter writer(c.magic);
            c.write(writer);
            writer.Save(file);
        }
        EXPECT_THROW(engine::gfx::DemoLoader::CreateInstance(engine::core::NarrowToWide(file)),
                     engine::core::Exception);
        delete engine::core::ResourceManager::mInstance;
        ExpectReport(LastFailure(dir.CloseAndRead()), file, c.warning, c.error);
    }
}
