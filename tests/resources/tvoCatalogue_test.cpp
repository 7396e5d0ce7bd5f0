// The catalogue of malformed .tvo meshes, made by the format writer: each is refused by the reader
// with one ERROR row that names the file and what is wrong, and nothing is read past the file's end.
#include "formats/tvoWriter.h"
#include "resources/tvoReader.h"
#include "support/malformedCatalogue.h"

#include <engine/exception.h>

#include <functional>

using namespace quorvel::test;
using quorvel::formats::TVOWriter;

namespace {

struct MeshCase {
    const char* name;
    std::function<void(TVOWriter&)> write; // what follows the magic; no writer: the file is missing
    const char* error;
    const char* magic = "TLVO";
};

const std::vector<quorvel::formats::Float3> kTriangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

void Triangle(TVOWriter& file) {
    file.Positions(kTriangle);
    file.Indices(2, {0, 1, 2});
}

const MeshCase kCases[] = {
    {"missing", nullptr, "data/missing.tvo mesh not found"},
    {"empty", [](TVOWriter&) {}, "data/empty.tvo is not a .tvo mesh", ""},
    {"wrongMagic", [](TVOWriter& f) { f.End(); }, "data/wrongMagic.tvo is not a .tvo mesh", "OVLT"},
    {"noEndChunk", Triangle, "data/noEndChunk.tvo: file ends at byte 66 before its end chunk"},
    {"endsInChunkType", [](TVOWriter& f) { f.Raw().U16(9); },
     "data/endsInChunkType.tvo: file ends at byte 6 before its end chunk"},
    {"negativeChunkSize",
     [](TVOWriter& f) {
         f.ChunkHeader(7, -8);
         f.End();
     },
     "data/negativeChunkSize.tvo: negative size -8 of the chunk of type 7 at byte 4"},
    {"unknownChunkPastTheEnd",
     [](TVOWriter& f) {
         f.ChunkHeader(12, 1 << 30);
         f.End();
     },
     "data/unknownChunkPastTheEnd.tvo: file ends inside the contents of the chunk of type 12 at byte 4 "
     "(1073741824 bytes needed at byte 12, 4 left)"},
    {"positionsNotWholeRecords",
     [](TVOWriter& f) {
         f.ChunkHeader(3, 13);
         f.Raw().Bytes(std::vector<char>(13).data(), 13);
         f.End();
     },
     "data/positionsNotWholeRecords.tvo: size 13 of the position chunk at byte 4 is not a multiple of 12"},
    {"texCoordsNotWholeRecords",
     [](TVOWriter& f) {
         f.ChunkHeader(6, 12);
         f.Raw().Bytes(std::vector<char>(12).data(), 12);
         f.End();
     },
     "data/texCoordsNotWholeRecords.tvo: size 12 of the texture-coordinate chunk at byte 4 is not a multiple "
     "of 8"},
    {"indexSizeThree",
     [](TVOWriter& f) {
         f.Positions(kTriangle);
         f.ChunkHeader(4, 13);
         f.Raw().I32(3);
         f.Raw().Bytes(std::vector<char>(9).data(), 9);
         f.End();
     },
     "data/indexSizeThree.tvo: index size 3 of the index chunk at byte 48 is not 2 or 4"},
    {"indexChunkWithoutIndexSize",
     [](TVOWriter& f) {
         f.ChunkHeader(4, 2);
         f.Raw().U16(0);
         f.End();
     },
     "data/indexChunkWithoutIndexSize.tvo: size 2 of the index chunk at byte 4 is smaller than its "
     "index-size field"},
    {"indexPastTheVertices",
     [](TVOWriter& f) {
         f.Positions(kTriangle);
         f.Indices(2, {0, 1, 3});
         f.End();
     },
     "data/indexPastTheVertices.tvo: index 2 refers to vertex 3, past the last of the 3 vertices"},
    {"indicesWithoutPositions",
     [](TVOWriter& f) {
         f.Indices(4, {0, 0, 0});
         f.End();
     },
     "data/indicesWithoutPositions.tvo: index 0 refers to vertex 0, past the last of the 0 vertices"},
    {"recordCountsDiffer",
     [](TVOWriter& f) {
         Triangle(f);
         f.Normals({{0, 0, 1}, {0, 0, 1}});
         f.End();
     },
     "data/recordCountsDiffer.tvo: the position, normal and texture-coordinate chunks hold different record "
     "counts (positions 3, normals 2)"},
    {"builtinEffectFour",
     [](TVOWriter& f) {
         f.Material(4, {});
         f.End();
     },
     "data/builtinEffectFour.tvo: built-in effect key 4 of the material chunk at byte 4 is outside 0-3"},
    {"negativeTextureCount",
     [](TVOWriter& f) {
         f.ChunkHeader(1, 8);
         f.Raw().I32(0);
         f.Raw().I32(-1);
         f.End();
     },
     "data/negativeTextureCount.tvo: the texture count of the material chunk at byte 4 is negative (-1)"},
    {"textureNameLengthZero",
     [](TVOWriter& f) {
         f.ChunkHeader(1, 12);
         f.Raw().I32(0);
         f.Raw().I32(1);
         f.Raw().I32(0);
         f.End();
     },
     "data/textureNameLengthZero.tvo: texture name length 0 in the material chunk at byte 4 is below 1"},
    {"eightTextures",
     [](TVOWriter& f) {
         f.Material(0, {"data/1", "data/2", "data/3", "data/4", "data/5", "data/6", "data/7", "data/8"});
         f.End();
     },
     "data/eightTextures.tvo: more than seven texture names (8) in the material chunk at byte 4"},
    {"absoluteTextureName",
     [](TVOWriter& f) {
         f.Material(3, {"/etc/passwd"});
         f.End();
     },
     "data/absoluteTextureName.tvo: texture name \"/etc/passwd\" in the material chunk at byte 4 lies "
     "outside the data folder"},
    {"textureNameLeavingData",
     [](TVOWriter& f) {
         f.Material(3, {"data/../../secret.png"});
         f.End();
     },
     "data/textureNameLeavingData.tvo: texture name \"data/../../secret.png\" in the material chunk at byte "
     "4 lies outside the data folder"},
    {"textureNameOutsideData",
     [](TVOWriter& f) {
         f.Material(3, {"stone.png"});
         f.End();
     },
     "data/textureNameOutsideData.tvo: texture name \"stone.png\" in the material chunk at byte 4 lies "
     "outside the data folder"},
};

} // namespace

TEST(TVOCatalogue, EveryMalformedMeshIsRefusedWithItsReason) {
    for (const MeshCase& c : kCases) {
        SCOPED_TRACE(c.name);
        ScopedLogDirectory dir;
        const std::string file = std::string("data/") + c.name + ".tvo";
        if (c.write) {
            TVOWriter writer(c.magic);
            c.write(writer);
            writer.Save(file);
        }
        EXPECT_THROW(engine::gfx::ReadTVOFile(engine::core::NarrowToWide(file)), engine::core::Exception);
        ExpectReport(LastFailure(dir.CloseAndRead()), file, "", c.error);
    }
}
