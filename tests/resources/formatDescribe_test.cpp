#include "formats/demoDescribe.h"
#include "formats/demoWriter.h"
#include "formats/tvoDescribe.h"
#include "formats/tvoWriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace quorvel::formats;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;

namespace {

TVOWriter SmallMesh() {
    TVOWriter file;
    file.Material(2, {"data/a.png"});
    file.Positions({{0, 0.5f, -1}, {1, 0, 0}});
    file.TexCoords({{0, 1}, {0.25f, 0}});
    file.Indices(2, {0, 1, 1});
    file.ChunkHeader(7, 2);
    file.Raw().Chars("xy");
    file.End();
    return file;
}

DemoWriter SmallScene() {
    DemoObjectRecord cube;
    cube.type = "Mesh";
    cube.name = "Cube";
    cube.meshName = "cube";
    cube.position = {1, 2, 3};
    cube.curves = {{"RotZ", "Bezier", "Cyclic", {{0, 0, 1, 9, 2, 9}}}};
    DemoObjectRecord lamp;
    lamp.type = "Lamp";
    lamp.name = "Sun";
    lamp.parentName = "Cube";
    return DemoWriter::Scene(50, {cube, lamp});
}

// Every shortened copy is described up to where it breaks and ends with the line saying so.
template <typename Describe>
void ExpectEveryPrefixEndsInAProblemLine(const std::vector<std::uint8_t>& bytes, Describe describe) {
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        const std::string text = describe(std::span(bytes.data(), size));
        const std::size_t last = text.rfind('\n', text.size() - 2);
        EXPECT_THAT(text.substr(last + 1), StartsWith("! ")) << size;
    }
}

} // namespace

TEST(TVODescribe, PrintsEachChunkWithItsOffsetAndRecords) {
    EXPECT_EQ(DescribeTVO(SmallMesh().Data()),
              ".tvo mesh, 123 bytes\n"
              "@4 material chunk, size 23: built-in wireframe, 1 texture names\n"
              "    texture 0: \"data/a.png\"\n"
              "@35 position chunk, size 24: 2 records\n"
              "    0: (0, 0.5, -1)\n"
              "    1: (1, 0, 0)\n"
              "@67 texture-coordinate chunk, size 16: 2 records\n"
              "    0: (0, 1)\n"
              "    1: (0.25, 0)\n"
              "@91 index chunk, size 10: 3 indices of 2 bytes\n"
              "    0 1 1\n"
              "@109 chunk of type 7, size 2: skipped\n"
              "@119 end chunk\n");
}

TEST(TVODescribe, StopsWhereTheFileBreaks) {
    TVOWriter file;
    file.Positions({{1, 2, 3}});
    file.ChunkHeader(6, 13);
    EXPECT_THAT(DescribeTVO(file.Data()), EndsWith("@24 texture-coordinate chunk, size 13\n"
                                                   "! size 13 is not a multiple of 8\n"));
    EXPECT_THAT(DescribeTVO(TVOWriter("OBJ!").Data()), EndsWith("! the magic is not \"TLVO\"\n"));
    // What the engine rejects once the whole mesh is read is flagged after the end chunk.
    TVOWriter mismatched;
    mismatched.Positions({{1, 2, 3}});
    mismatched.Normals({});
    mismatched.End();
    EXPECT_THAT(DescribeTVO(mismatched.Data()),
                EndsWith("! the data chunks hold different record counts (positions 1, normals 0)\n"));
    TVOWriter pastLast;
    pastLast.Positions({{1, 2, 3}});
    pastLast.Indices(2, {0, 1});
    pastLast.End();
    EXPECT_THAT(DescribeTVO(pastLast.Data()),
                EndsWith("@40 end chunk\n! an index refers to vertex 1, past the last of the 1 vertices\n"));
    ExpectEveryPrefixEndsInAProblemLine(SmallMesh().Data(), DescribeTVO);
}

TEST(DemoDescribe, PrintsObjectsCurvesAndKeys) {
    EXPECT_EQ(DescribeDemo(SmallScene().Data()), ".demo scene, 179 bytes\n"
                                                 "2 objects, length 50 frames (2 s)\n"
                                                 "@12 object 0: Mesh \"Cube\", mesh \"cube\", parent none\n"
                                                 "    position (1, 2, 3), rotation (0, 0, 0) radians\n"
                                                 "    curve RotZ, Bezier, Cyclic, 1 keys\n"
                                                 "        frame 1: 9, handles (0, 0) (2, 9)\n"
                                                 "@124 object 1: Lamp \"Sun\", parent \"Cube\"\n"
                                                 "    position (0, 0, 0), rotation (0, 0, 0) radians\n");
}

TEST(DemoDescribe, StopsWhereTheFileBreaks) {
    DemoWriter file;
    file.Header(1, 10);
    file.Raw().I32(-4);
    DemoObjectRecord object;
    object.curves = {{"LocW", "Linear", "Constant", {}}};
    EXPECT_THAT(
        DescribeDemo(DemoWriter::Scene(1, {object}).Data()),
        EndsWith(
            "    curve LocW, Linear, Constant, 0 keys\n! unknown channel of curve 0 of object 0 \"LocW\"\n"));
    EXPECT_THAT(DescribeDemo(file.Data()),
                EndsWith("@12 object 0: \n! the type of object 0 has a negative length (-4)\n"));
    ExpectEveryPrefixEndsInAProblemLine(SmallScene().Data(), DescribeDemo);
}
