#include "core/textConversion.h"
#include "formats/demoWriter.h"
#include "scene/demoReader.h"
#include "support/logCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using engine::core::Exception;
using engine::gfx::DemoData;
using engine::gfx::Extrapolation;
using engine::gfx::Interpolation;
using engine::gfx::ParseDemo;
using engine::gfx::ReadDemoFile;
using quorvel::formats::DemoCurveRecord;
using quorvel::formats::DemoObjectRecord;
using quorvel::formats::DemoWriter;
using quorvel::test::CountRows;
using quorvel::test::ScopedLogDirectory;
using ::testing::HasSubstr;

namespace {

DemoData Load(const DemoWriter& file) {
    file.Save("data/scene.demo");
    return ReadDemoFile(L"data/scene.demo");
}

// Loads a file that must fail; returns the error text after checking its one ERROR row.
std::string LoadError(ScopedLogDirectory& dir, const DemoWriter& file) {
    return dir.ExpectError([&] { Load(file); });
}

DemoObjectRecord Cube() {
    DemoObjectRecord cube;
    cube.type = "Mesh";
    cube.name = "Cube";
    cube.meshName = "cube";
    cube.parentName = "Camera";
    cube.position = {1, 2, 3};
    cube.rotation = {0, 0, 1.5707964f};
    cube.curves = {
        {"LocX", "Bezier", "Cyclic", {{0, 1, 1, 2, 3, 4}, {20, 5, 25, 6, 30, 7}}},
        {"dLocY", "Constant", "Cyclic_extrapolation", {}},
        {"RotZ", "Linear", "Constant", {{0, 0, 1, 9, 2, 0}}},
    };
    return cube;
}

DemoWriter ObjectWithCurve(const DemoCurveRecord& curve) {
    DemoObjectRecord object;
    object.name = "o";
    object.curves = {curve};
    return DemoWriter::Scene(10, {object});
}

} // namespace

TEST(DemoReader, EmptySceneKeepsItsLength) {
    ScopedLogDirectory dir;
    const DemoData scene = Load(DemoWriter::Scene(250, {}));
    EXPECT_EQ(scene.length, 250);
    EXPECT_TRUE(scene.objects.empty());
}

TEST(DemoReader, ReadsObjectsPosesAndCurvesAsStored) {
    ScopedLogDirectory dir;
    DemoObjectRecord lamp;
    lamp.type = "Lamp";
    lamp.name = "Spot";
    const DemoData scene = Load(DemoWriter::Scene(100, {lamp, Cube()}));
    ASSERT_EQ(scene.objects.size(), 2u);
    EXPECT_EQ(scene.objects[0].type, "Lamp");
    EXPECT_EQ(scene.objects[0].parentName, "");
    EXPECT_TRUE(scene.objects[0].curves.empty());

    const engine::gfx::DemoObject& cube = scene.objects[1];
    EXPECT_EQ(cube.name, "Cube");
    EXPECT_EQ(cube.meshName, "cube");
    EXPECT_EQ(cube.parentName, "Camera");
    // The reader keeps the stored values; mirroring for the camera is the loader's business.
    EXPECT_FLOAT_EQ(cube.position.z, 3.0f);
    EXPECT_FLOAT_EQ(cube.rotation.z, 1.5707964f);
    ASSERT_EQ(cube.curves.size(), 3u);
    const engine::gfx::IpoCurve& locX = cube.curves[0].track;
    EXPECT_EQ(cube.curves[0].channel->code, 1);
    EXPECT_EQ(locX.name, "LocX");
    EXPECT_EQ(locX.interpolation, Interpolation::Bezier);
    EXPECT_EQ(locX.extrapolation, Extrapolation::Cyclic);
    ASSERT_EQ(locX.keys.size(), 2u);
    const engine::gfx::IpoKey& key = locX.keys[1];
    EXPECT_EQ((std::vector<float>{key.left.time, key.left.value, key.key.time, key.key.value, key.right.time,
                                  key.right.value}),
              (std::vector<float>{20, 5, 25, 6, 30, 7}));
    EXPECT_STREQ(cube.curves[1].channel->name, "dLocY");
    EXPECT_EQ(cube.curves[1].track.extrapolation, Extrapolation::CyclicExtrapolation);
    EXPECT_TRUE(cube.curves[1].track.keys.empty());
    EXPECT_EQ(cube.curves[2].track.interpolation, Interpolation::Linear);
    EXPECT_FLOAT_EQ(cube.curves[2].track.keys[0].key.value, 9.0f);
}

TEST(DemoReader, MessagesGivenForFileMagicAndCurveWords) {
    {
        ScopedLogDirectory dir;
        EXPECT_THROW(ReadDemoFile(L"data/none.demo"), Exception);
        EXPECT_EQ(CountRows(dir.CloseAndRead(), "ERROR", "No such demo file found"), 1);
    }
    const std::pair<DemoWriter, std::string> cases[] = {
        {DemoWriter("DEMX"), "Not TALVO Demo file format"},
        {DemoWriter("DE"), "Not TALVO Demo file format"},
        {ObjectWithCurve({"Wobble", "Linear", "Constant", {}}), "Unsupported Pipe Type Wobble"},
        {ObjectWithCurve({"LocX", "Cubic", "Constant", {}}), "Cubic interpolation type not supported."},
        {ObjectWithCurve({"LocX", "Linear", "Mirror", {}}), "Mirror extrapolation type not supported."},
    };
    for (const auto& [file, expected] : cases) {
        ScopedLogDirectory dir;
        EXPECT_EQ(LoadError(dir, file), expected);
    }
}

TEST(DemoReader, EveryShortenedFileFailsInsteadOfReadingOn) {
    ScopedLogDirectory dir;
    DemoObjectRecord camera;
    camera.type = "Camera";
    camera.name = "Camera";
    const std::vector<std::uint8_t> bytes = DemoWriter::Scene(75, {camera, Cube()}).Data();
    EXPECT_EQ(ParseDemo(bytes, "whole.demo").objects.size(), 2u);
    for (std::size_t size = 0; size < bytes.size(); ++size)
        EXPECT_THROW(ParseDemo(std::span(bytes.data(), size), "short.demo"), Exception) << size;
}

// Under the sanitizers this also proves that no overwritten byte leads to a read out of bounds.
TEST(DemoReader, EveryCorruptedByteIsReadOrRejected) {
    ScopedLogDirectory dir;
    const std::vector<std::uint8_t> good = DemoWriter::Scene(75, {Cube()}).Data();
    for (std::size_t at = 0; at < good.size(); ++at)
        for (std::uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
            std::vector<std::uint8_t> bytes = good;
            bytes[at] = value;
            try {
                ParseDemo(bytes, "corrupt.demo");
            } catch (const Exception&) {
            }
        }
}

TEST(DemoReader, MalformedRecordsNameTheFileAndTheField) {
    const auto header = [](std::int32_t count, std::int32_t length) {
        DemoWriter file;
        file.Header(count, length);
        return file;
    };
    const auto object = [&](const char* name, std::int32_t curveCount) {
        DemoWriter file = header(1, 10);
        for (const char* text : {"Empty", name, "", ""}) {
            file.Raw().I32(static_cast<std::int32_t>(std::string(text).size()));
            file.Raw().Chars(text);
        }
        for (int i = 0; i < 6; ++i)
            file.Raw().F32(0);
        file.Raw().I32(curveCount);
        return file;
    };
    DemoWriter badString = header(1, 10);
    badString.Raw().I32(-5);
    badString.Raw().Chars(std::string(40, 'x'));
    DemoWriter longString = header(1, 10);
    longString.Raw().I32(1000);
    longString.Raw().Chars(std::string(40, 'x'));
    DemoWriter hugeKeys = object("Bird", 1);
    for (const char* text : {"LocX", "Linear", "Constant"}) {
        hugeKeys.Raw().I32(static_cast<std::int32_t>(std::string(text).size()));
        hugeKeys.Raw().Chars(text);
    }
    hugeKeys.Raw().I32(0x10000000);
    DemoWriter missingObject = header(2, 10);
    missingObject.Object(Cube());

    const std::pair<DemoWriter, std::string> cases[] = {
        {header(-1, 10), "the object count of the header is negative (-1)"},
        {header(3, 10),
         "the object count of the header is 3, more than the file holds (0 bytes left at byte 12)"},
        {header(0, -25), "negative scene length -25"},
        {badString, "the type of object 0 has a negative length (-5)"},
        {longString, "file ends inside the type of object 0 (1000 bytes needed at byte 16, 40 left)"},
        {object("Bird", -1), "the curve count of object 0 \"Bird\" is negative (-1)"},
        {object("Bird", 5000), "the curve count of object 0 \"Bird\" is 5000, more than the file holds"},
        {hugeKeys, "the key count of curve 0 of object 0 \"Bird\" is 268435456, more than the file holds"},
        {missingObject, "file ends inside the type of object 1"},
    };
    for (const auto& [file, expected] : cases) {
        ScopedLogDirectory dir;
        const std::string text = LoadError(dir, file);
        EXPECT_THAT(text, HasSubstr("data/scene.demo: " + expected));
    }
}
