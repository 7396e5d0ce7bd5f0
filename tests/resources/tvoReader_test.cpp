#include "core/textConversion.h"
#include "formats/tvoWriter.h"
#include "resources/tvoReader.h"
#include "support/logCapture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <numeric>

using engine::core::Exception;
using engine::gfx::ParseTVO;
using engine::gfx::ReadTVOFile;
using engine::gfx::TVOData;
using quorvel::formats::Float3;
using quorvel::formats::TVOWriter;
using quorvel::test::CountRows;
using quorvel::test::ScopedLogDirectory;
using ::testing::HasSubstr;

namespace {

const std::vector<Float3> kTriangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};

TVOData Load(const TVOWriter& file, const std::string& name = "data/mesh.tvo") {
    file.Save(name);
    return ReadTVOFile(engine::core::NarrowToWide(name));
}

// Loads a file that must fail; returns the error text, after checking that exactly one ERROR row
// with that text reached the log.
std::string LoadError(ScopedLogDirectory& dir, const TVOWriter& file) {
    return dir.ExpectError([&] { Load(file); });
}

TVOWriter WithTriangle() {
    TVOWriter file;
    file.Material(3, {});
    file.Positions(kTriangle);
    return file;
}

std::vector<std::uint32_t> Sequence(std::size_t count, std::uint32_t first = 0) {
    std::vector<std::uint32_t> values(count);
    std::iota(values.begin(), values.end(), first);
    return values;
}

} // namespace

TEST(TVOReader, PositionsAndIndicesOnlyWithBuiltinWireframe) {
    ScopedLogDirectory dir;
    TVOWriter file;
    file.Material(2, {});
    file.Positions(kTriangle);
    file.Indices(2, {0, 1, 2});
    file.End();
    const TVOData mesh = Load(file);
    EXPECT_EQ(mesh.builtinEffect, 2);
    ASSERT_TRUE(mesh.positions);
    EXPECT_EQ(mesh.VertexCount(), 3);
    EXPECT_FLOAT_EQ((*mesh.positions)[2].y, 1.0f);
    EXPECT_FALSE(mesh.normals);
    EXPECT_FALSE(mesh.texCoords);
    EXPECT_EQ(mesh.indexCount, 3);
    EXPECT_EQ(mesh.indexSize, 2);
    EXPECT_EQ(mesh.indices, (std::vector<std::uint8_t>{0, 0, 1, 0, 2, 0}));
    ASSERT_EQ(mesh.chunks.size(), 4u);
    EXPECT_EQ(mesh.chunks[1].type, engine::gfx::PositionChunk);
    EXPECT_EQ(mesh.chunks[1].offset, 20u);
    EXPECT_EQ(mesh.chunks[3].type, engine::gfx::EndChunk);
}

TEST(TVOReader, ChunksInAnyOrderRepeatsAppendNamesAndReplaceData) {
    ScopedLogDirectory dir;
    TVOWriter file;
    file.Indices(4, {2, 1, 0});
    file.TexCoords({{0, 1}, {1, 1}, {0, 0}});
    file.Material(1, {"data/a.png", "data/b.png"});
    file.Positions({{9, 9, 9}});
    file.Normals({{0, 0, 1}, {0, 0, 1}, {0, 0, -1}});
    file.Positions(kTriangle);
    file.Extents({-1, -2, -3}, {4, 5, 6});
    file.Material(0, {"data/c.png"});
    file.End();
    const TVOData mesh = Load(file);
    EXPECT_EQ(mesh.builtinEffect, 0);
    EXPECT_EQ(mesh.textureNames, (std::vector<std::string>{"data/a.png", "data/b.png", "data/c.png"}));
    EXPECT_EQ(mesh.VertexCount(), 3);
    EXPECT_FLOAT_EQ((*mesh.normals)[2].z, -1.0f);
    EXPECT_FLOAT_EQ((*mesh.texCoords)[0].v, 1.0f);
    EXPECT_FLOAT_EQ(mesh.extents[0].z, -3.0f);
    EXPECT_FLOAT_EQ(mesh.extents[1].x, 4.0f);
    EXPECT_EQ(mesh.Index(0), 2u);
    EXPECT_EQ(mesh.indexSize, 2);
}

TEST(TVOReader, IndexWidthFollowsTheCountAndWhatTheValuesNeed) {
    ScopedLogDirectory dir;
    std::vector<Float3> many(70000, Float3{0, 0, 0});
    {
        // Fewer than 65,536 indices are kept as 16-bit low halves.
        TVOWriter file;
        file.Positions(many);
        file.Indices(4, Sequence(100, 1000));
        file.End();
        const TVOData mesh = Load(file);
        EXPECT_EQ(mesh.indexSize, 2);
        EXPECT_EQ(mesh.indices.size(), 200u);
        EXPECT_EQ(mesh.Index(99), 1099u);
    }
    for (int fileWidth : {4, 2}) {
        // 65,536 indices need 32 bits, also when the file stored them in two bytes.
        TVOWriter file;
        file.Positions(many);
        file.Indices(fileWidth, Sequence(65536));
        file.End();
        const TVOData mesh = Load(file);
        EXPECT_EQ(mesh.indexSize, 4) << fileWidth;
        EXPECT_EQ(mesh.indexCount, 65536);
        EXPECT_EQ(mesh.Index(65535), 65535u);
    }
    {
        // A value above 65,535 is not cut to its low half.
        TVOWriter file;
        file.Positions(many);
        file.Indices(4, {0, 1, 69999});
        file.End();
        const TVOData mesh = Load(file);
        EXPECT_EQ(mesh.indexSize, 4);
        EXPECT_EQ(mesh.Index(2), 69999u);
    }
}

TEST(TVOReader, SkipsUnknownChunksAndDropsTheLastByteOfEachName) {
    ScopedLogDirectory dir;
    TVOWriter file = WithTriangle();
    file.ChunkHeader(7, 10);
    file.Raw().Chars("0123456789");
    file.ChunkHeader(1, 0);
    file.Raw().I32(0);
    file.Raw().I32(1);
    file.Raw().I32(11);
    file.Raw().Chars("data/t.pngX");
    file.End();
    const TVOData mesh = Load(file);
    EXPECT_EQ(mesh.chunks[2].type, 7);
    EXPECT_EQ(mesh.textureNames, std::vector<std::string>{"data/t.png"});
    EXPECT_EQ(mesh.builtinEffect, 0);
    EXPECT_EQ(mesh.VertexCount(), 3);
}

TEST(TVOReader, MissingFileAndWrongMagicUseTheirMessages) {
    {
        ScopedLogDirectory dir;
        EXPECT_THROW(ReadTVOFile(L"data/none.tvo"), Exception);
        // A folder cannot be read as a file either.
        EXPECT_THROW(ReadTVOFile(L"data"), Exception);
        const std::string log = dir.CloseAndRead();
        EXPECT_EQ(CountRows(log, "ERROR", "data/none.tvo mesh not found"), 1);
        EXPECT_EQ(CountRows(log, "ERROR", "data mesh not found"), 1);
    }
    for (const std::string magic : {"TLVX", "TL"}) {
        ScopedLogDirectory dir;
        EXPECT_EQ(LoadError(dir, TVOWriter(magic)), "data/mesh.tvo is not a .tvo mesh");
    }
}

TEST(TVOReader, AFileLargerThanTheBudgetIsRefusedBeforeItIsRead) {
    ScopedLogDirectory dir;
    // Sparse: the size without the disk space.
    std::ofstream("data/huge.tvo").close();
    std::filesystem::resize_file("data/huge.tvo", std::uintmax_t{300} << 20);
    EXPECT_EQ(dir.ExpectError([] { ReadTVOFile(L"data/huge.tvo"); }),
              "data/huge.tvo: the mesh file is 314572800 bytes, more than the 268435456 one mesh may take");
}

TEST(TVOReader, EveryShortenedFileFailsInsteadOfReadingOn) {
    ScopedLogDirectory dir;
    TVOWriter file;
    file.Material(0, {"data/a.png"});
    file.Extents({0, 0, 0}, {1, 1, 1});
    file.Positions(kTriangle);
    file.Normals(kTriangle);
    file.TexCoords({{0, 0}, {1, 0}, {0, 1}});
    file.Indices(2, {0, 1, 2});
    file.ChunkHeader(8, 3);
    file.Raw().Chars("abc");
    file.End();
    const std::vector<std::uint8_t>& bytes = file.Data();
    EXPECT_EQ(ParseTVO(bytes, "whole.tvo").indexCount, 3);
    for (std::size_t size = 0; size < bytes.size(); ++size)
        EXPECT_THROW(ParseTVO(std::span(bytes.data(), size), "short.tvo"), Exception) << size;
}

// Any single byte overwritten with a large, a negative or a zero value is read or rejected; under
// the sanitizers this also proves nothing is read or written out of bounds.
TEST(TVOReader, EveryCorruptedByteIsReadOrRejected) {
    ScopedLogDirectory dir;
    TVOWriter file;
    file.Material(1, {"data/t"});
    file.Positions(kTriangle);
    file.Normals(kTriangle);
    file.Indices(4, {0, 1, 2});
    file.End();
    for (std::size_t at = 0; at < file.Data().size(); ++at)
        for (std::uint8_t value : {0x00, 0x7F, 0x80, 0xFF}) {
            std::vector<std::uint8_t> bytes = file.Data();
            bytes[at] = value;
            try {
                const TVOData mesh = ParseTVO(bytes, "corrupt.tvo");
                for (int i = 0; i < mesh.indexCount; ++i)
                    EXPECT_LT(mesh.Index(i), static_cast<std::uint32_t>(mesh.VertexCount()));
            } catch (const Exception&) {
            }
        }
}

struct Malformed {
    const char* expected; // part of the error text
    void (*build)(TVOWriter& file);
};

void PrintTo(const Malformed& malformed, std::ostream* out) {
    *out << '"' << malformed.expected << '"';
}

class TVOReaderMalformed : public ::testing::TestWithParam<Malformed> {};

TEST_P(TVOReaderMalformed, ReportsTheFileAndWhatIsWrong) {
    ScopedLogDirectory dir;
    TVOWriter file;
    GetParam().build(file);
    const std::string text = LoadError(dir, file);
    EXPECT_THAT(text, HasSubstr("data/mesh.tvo: "));
    EXPECT_THAT(text, HasSubstr(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TVOReaderMalformed,
    ::testing::Values(
        Malformed{"file ends at byte 48 before its end chunk", [](TVOWriter& f) { f.Positions(kTriangle); }},
        // Past the vertex budget: refused from the size field, before any records are taken.
        Malformed{
            "the position chunk at byte 4 holds 4194305 vertices, more than the 4194304 one mesh may hold",
            [](TVOWriter& f) { f.ChunkHeader(3, (4194304 + 1) * 12); }},
        Malformed{"the texture-coordinate chunk at byte 4 holds 4194305 vertices",
                  [](TVOWriter& f) { f.ChunkHeader(6, (4194304 + 1) * 8); }},
        Malformed{"file ends inside the records of the position chunk at byte 4",
                  [](TVOWriter& f) {
                      f.ChunkHeader(3, 36);
                      f.Raw().F32(1);
                  }},
        Malformed{"more than seven texture names (8)",
                  [](TVOWriter& f) {
                      f.Material(0, {"data/1", "data/2", "data/3", "data/4"});
                      f.Material(0, {"data/5", "data/6", "data/7", "data/8"});
                      f.End();
                  }},
        Malformed{"built-in effect key 4 of the material chunk at byte 4 is outside 0-3",
                  [](TVOWriter& f) { f.Material(4, {}); }},
        Malformed{"built-in effect key -1", [](TVOWriter& f) { f.Material(-1, {}); }},
        Malformed{"index size 3 of the index chunk at byte 4 is not 2 or 4",
                  [](TVOWriter& f) {
                      f.ChunkHeader(4, 7);
                      f.Raw().I32(3);
                      f.Raw().Chars("abc");
                      f.End();
                  }},
        Malformed{"size 2 of the index chunk at byte 4 is smaller than its index-size field",
                  [](TVOWriter& f) { f.ChunkHeader(4, 2); }},
        Malformed{"size 9 of the index chunk at byte 4 does not hold whole 2-byte indices",
                  [](TVOWriter& f) {
                      f.ChunkHeader(4, 9);
                      f.Raw().I32(2);
                      f.Raw().Chars("abcde");
                  }},
        Malformed{"negative size -12 of the normal chunk at byte 4",
                  [](TVOWriter& f) { f.ChunkHeader(5, -12); }},
        Malformed{"negative size -1 of the chunk of type 7", [](TVOWriter& f) { f.ChunkHeader(7, -1); }},
        Malformed{"file ends inside the contents of the chunk of type 7 at byte 4",
                  [](TVOWriter& f) { f.ChunkHeader(7, 0x7FFFFFFF); }},
        Malformed{"the texture count of the material chunk at byte 4 is negative (-2)",
                  [](TVOWriter& f) {
                      f.ChunkHeader(1, 8);
                      f.Raw().I32(0);
                      f.Raw().I32(-2);
                  }},
        Malformed{"the texture count of the material chunk at byte 4 is 1000000000, more than the file holds",
                  [](TVOWriter& f) {
                      f.ChunkHeader(1, 8);
                      f.Raw().I32(0);
                      f.Raw().I32(1000000000);
                  }},
        Malformed{"texture name length 0 in the material chunk at byte 4 is below 1",
                  [](TVOWriter& f) {
                      f.ChunkHeader(1, 12);
                      f.Raw().I32(0);
                      f.Raw().I32(1);
                      f.Raw().I32(0);
                      f.End();
                  }},
        Malformed{"size 13 of the texture-coordinate chunk at byte 4 is not a multiple of 8",
                  [](TVOWriter& f) { f.ChunkHeader(6, 13); }},
        Malformed{"different record counts (positions 3, normals 2, texture coordinates 3)",
                  [](TVOWriter& f) {
                      f.Positions(kTriangle);
                      f.Normals({{0, 0, 1}, {0, 0, 1}});
                      f.TexCoords({{0, 0}, {1, 0}, {0, 1}});
                      f.End();
                  }},
        Malformed{"index 4 refers to vertex 3, past the last of the 3 vertices",
                  [](TVOWriter& f) {
                      f.Positions(kTriangle);
                      f.Indices(2, {0, 1, 2, 2, 3, 0});
                      f.End();
                  }},
        Malformed{"index 0 refers to vertex 0, past the last of the 0 vertices", [](TVOWriter& f) {
                      f.Indices(2, {0});
                      f.End();
                  }}));
