// Demo data for the program's tests, written into data/ of the current folder by the format writers:
// nine scenes of chosen lengths holding every node the timeline decorates (a one-triangle mesh under
// each repeated object and each offset object, whose pose the modifier reads through that child; empties
// for the emitters), the particle material with its effect, empty global curves and a short module.
#pragma once

#include "formats/demoWriter.h"
#include "formats/ipoWriter.h"
#include "formats/tvoWriter.h"
#include "formats/xmWriter.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quorvel::test {

// The mesh objects of each scene: the repeated objects first, then their offset objects.
inline std::vector<std::string> MeshesOfScene(int scene) {
    switch (scene) {
    case 1:
        return {"Cube", "Offset"};
    case 6:
        return {"Cube",         "Leaf",          "Leaf2",         "Modifier",      "Modifier2",
                "LeafModifier", "LeafModifier2", "Leaf2Modifier", "Leaf2Modifier2"};
    case 7:
        return {"Leaf",         "Leaf2",          "Stem",           "Leaves",
                "LeafModifier", "LeafModifier2",  "Leaf2Modifier",  "Leaf2Modifier2",
                "StemModifier", "LeavesModifier", "LeavesModifier2"};
    case 8:
        return {"Grass", "GrassModifier", "GrassModifier2"};
    case 9:
        return {"Cube", "CubeModifier"};
    default:
        return {"Cube", "Modifier", "Modifier2"};
    }
}

// The emitters' nodes.
inline std::vector<std::string> EmptiesOfScene(int scene) {
    switch (scene) {
    case 1:
        return {"particleEmitter"};
    case 5:
        return {"Plane"};
    default:
        return {};
    }
}

// Scenes whose length is 0 are not written, so a test can leave a file missing.
inline void WriteDemoFixture(const std::array<int, 9>& lengths) {
    namespace fs = std::filesystem;
    using formats::DemoObjectRecord;
    fs::create_directories("data/fx");
    fs::copy_file(fs::path(QUORVEL_SOURCE_DIR) / "content/fx/particle.fx", "data/fx/particle.fx",
                  fs::copy_options::overwrite_existing);
    std::ofstream("data/particle.efx") << "effect = { { priority = 1, pass = { { priority = 100, fx = "
                                          "\"particle\", tec = \"Additive\", params = { }, "
                                          "streams = { \"pos\", \"tex\" } } } } }\n";
    formats::IpoWriter::File({}).Save("data/custom.ipo");
    formats::XmWriter::File(formats::XmShortSong(16)).Save("data/dark_ages.xm");

    for (int scene = 1; scene <= 9; ++scene) {
        if (lengths[scene - 1] == 0)
            continue;
        const std::string name = "data/scene" + std::to_string(scene) + ".demo";
        fs::create_directories(name + "_scene");
        formats::TVOWriter mesh;
        mesh.Material(2, {});
        mesh.Positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
        mesh.Normals({{0, 0, -1}, {0, 0, -1}, {0, 0, -1}});
        mesh.Indices(2, {0, 1, 2});
        mesh.End();
        mesh.Save(name + "_scene/triangle.tvo");

        std::vector<DemoObjectRecord> objects;
        for (const std::string& object : MeshesOfScene(scene)) {
            DemoObjectRecord record;
            record.type = "Mesh";
            record.name = object;
            record.meshName = "triangle";
            // Offsets stand one unit aside, so the copies spread.
            if (object.find("Modifier") != std::string::npos)
                record.position = {1.0f, 0.0f, 0.0f};
            if (object == "Offset")
                record.position = {0.0f, 1.0f, 0.0f};
            objects.push_back(record);
        }
        for (const std::string& empty : EmptiesOfScene(scene)) {
            DemoObjectRecord record;
            record.name = empty;
            objects.push_back(record);
        }
        formats::DemoWriter::Scene(lengths[scene - 1], objects).Save(name);
    }
}

} // namespace quorvel::test
