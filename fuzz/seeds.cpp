// Writes the seed corpora of the binary formats: small well-formed .tvo, .demo and .ipo files made by
// the format writers, one for each feature a reader has a branch for, so the fuzzer starts from files
// that get past the magic and mutates real structure. Usage: fuzz_seeds <folder>; files go to
// <folder>/tvo, <folder>/demo and <folder>/ipo.
#include "formats/demoWriter.h"
#include "formats/ipoWriter.h"
#include "formats/tvoWriter.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

using namespace quorvel::formats;

namespace {

void WriteMeshes(const std::filesystem::path& folder) {
    const std::vector<Float3> triangle = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    {
        TVOWriter file;
        file.Material(2, {});
        file.Positions(triangle);
        file.Indices(2, {0, 1, 2});
        file.End();
        file.Save(folder / "wireframe.tvo");
    }
    {
        TVOWriter file;
        file.Material(0, {"data/a.png", "data/b.png"});
        file.Extents({0, 0, 0}, {1, 1, 0});
        file.Positions(triangle);
        file.Normals({{0, 0, -1}, {0, 0, -1}, {0, 0, -1}});
        file.TexCoords({{0, 0}, {1, 0}, {0, 1}});
        file.Indices(4, {0, 1, 2, 2, 1, 0});
        file.End();
        file.Save(folder / "textured.tvo");
    }
    {
        // An unknown chunk to skip, and a repeated material chunk.
        TVOWriter file;
        file.ChunkHeader(7, 4);
        file.Raw().I32(0);
        file.Material(3, {"tex0"});
        file.Material(1, {"data/c.png"});
        file.Positions(triangle);
        file.Normals({{0, 0, 1}, {0, 0, 1}, {0, 0, 1}});
        file.Indices(2, {2, 1, 0});
        file.End();
        file.Save(folder / "chunks.tvo");
    }
}

DemoCurveRecord Curve(const std::string& channel, const std::string& interpolation,
                      const std::string& extrapolation) {
    return {channel,
            interpolation,
            extrapolation,
            {{-2, 0, 1, 0, 4, 0}, {8, 2, 11, 3, 14, 4}, {18, 1, 21, -1, 24, -1}}};
}

void WriteScenes(const std::filesystem::path& folder) {
    DemoObjectRecord camera{"Camera", "Camera", "", "", {0, 1, -10}, {0.1f, 0, 0}, {}};
    camera.curves.push_back(Curve("LocZ", "Bezier", "Cyclic"));
    DemoObjectRecord lamp{"Lamp", "Lamp", "", "", {2, 3, 4}, {}, {Curve("RotY", "Linear", "Constant")}};
    DemoObjectRecord group{"Empty", "Group", "", "", {}, {0, 0, 1.5708f}, {}};
    DemoObjectRecord child{"Empty", "Child", "", "Group", {1, 0, 0}, {}, {}};
    DemoObjectRecord hud{
        "Empty", "Hud", "", "Camera", {0, 0, 2}, {}, {Curve("LocZ", "Constant", "Constant")}};
    DemoObjectRecord spinner{
        "Empty",
        "Spinner",
        "",
        "",
        {},
        {},
        {Curve("Time", "Linear", "Cyclic_extrapolation"), Curve("dRotZ", "Bezier", "Cyclic")}};
    DemoWriter::Scene(250, {group, child, camera, lamp, hud, spinner}).Save(folder / "scene.demo");
    DemoWriter::Scene(0, {}).Save(folder / "empty.demo");
    // A mesh object: its file is missing in the fuzzer's folder, so the load ends there.
    DemoWriter::Scene(25, {{"Mesh", "Cube", "cube", "", {}, {}, {}}}).Save(folder / "mesh.demo");
}

void WriteCurves(const std::filesystem::path& folder) {
    std::vector<IpoCurveRecord> curves;
    const char* names[] = {"fade", "flash", "pulse"};
    for (std::int32_t interpolation = 0; interpolation < 3; ++interpolation)
        curves.push_back({names[interpolation],
                          interpolation,
                          3 + interpolation,
                          {{-5, 0, 0, 0, 5, 0}, {20, 1, 25, 1, 30, 1}, {45, 0.5f, 50, 0, 55, -0.5f}}});
    IpoWriter::File(curves).Save(folder / "curves.ipo");
    IpoWriter::File({}).Save(folder / "empty.ipo");
    IpoWriter::File({{"single", 1, 4, {IpoKey(3, 7)}}}).Save(folder / "single.ipo");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const std::filesystem::path root = argv[1];
    WriteMeshes(root / "tvo");
    WriteScenes(root / "demo");
    WriteCurves(root / "ipo");
    return 0;
}
