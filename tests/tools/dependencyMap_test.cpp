// Building after a save from the dependency map: over a copy of the shipped content, a save compiles
// only what it reaches and data/ ends byte for byte as a full build leaves it; what only a full build
// can decide (a unit added, a fault that a check across units finds) is left to one.
#include "build.h"
#include "dependencyMap.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <unistd.h>

using namespace quorvel::build;
namespace fs = std::filesystem;

namespace {

class DependencyMapTest : public ::testing::Test {
protected:
    ~DependencyMapTest() override { fs::remove_all(root); }

    static fs::path MakeFolder() {
        char pattern[] = "/tmp/talvo-map-XXXXXX";
        return mkdtemp(pattern);
    }

    static std::string Read(const fs::path& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void Write(const fs::path& file, const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    static void Replace(const fs::path& file, const std::string& from, const std::string& to) {
        std::string text = Read(file);
        const std::size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from << " is not in " << file;
        Write(file, text.replace(at, from.size(), to));
    }

    // Compiles the saved files from the map and moves the map on; nothing when a full build must decide.
    std::optional<Outputs> Save(const std::vector<fs::path>& saved) {
        DependencyMap updated;
        std::optional<Outputs> outputs = CompileChanges(map, saved, updated);
        if (outputs)
            map = std::move(updated);
        return outputs;
    }

    fs::path root = MakeFolder();
    fs::path content = root / "content";
    DependencyMap map;
};

// The scenes ("scene2") and other files of data/ ("fx/grade.fx") the outputs come from.
std::set<std::string> MadeBy(const Outputs& outputs) {
    std::set<std::string> made;
    for (const auto& [path, bytes] : outputs.Files())
        made.insert(path.substr(0, path.find(".demo")));
    return made;
}

TEST_F(DependencyMapTest, ASaveCompilesOnlyWhatItReachesAndLeavesTheBytesOfAFullBuild) {
    fs::copy(fs::path(QUORVEL_SOURCE_DIR) / "content", content, fs::copy_options::recursive);
    const fs::path data = root / "data";
    WriteOutputs(CompileContent(content, &map), data);

    // An effect file: one output, and one file written.
    Write(content / "fx/grade.fx", Read(content / "fx/grade.fx") + "\n// graded again\n");
    auto outputs = Save({content / "fx/grade.fx"});
    ASSERT_TRUE(outputs);
    EXPECT_EQ(WriteOutputs(*outputs, data), std::vector<std::string>{"fx/grade.fx"});

    // A library: every scene that uses it, and nothing else.
    Replace(content / "lib/poses.lua", "x, y, z, 1 } end", "x * 1.001, y, z, 1 } end");
    outputs = Save({content / "lib/poses.lua"});
    ASSERT_TRUE(outputs);
    EXPECT_EQ(MadeBy(*outputs),
              (std::set<std::string>{"scene2", "scene3", "scene4", "scene6", "scene7", "scene8", "scene9"}));
    WriteOutputs(*outputs, data);

    // A material script that a scene copies beside two meshes: the copies, and no scene compiled.
    Write(content / "scenes/scene7/leaf.efx", Read(content / "scenes/scene7/leaf.efx") + "\n-- turned\n");
    outputs = Save({content / "scenes/scene7/leaf.efx"});
    ASSERT_TRUE(outputs);
    ASSERT_EQ(outputs->Files().size(), 2u);
    for (const auto& [path, bytes] : outputs->Files())
        EXPECT_TRUE(path.starts_with("scene7.demo_scene/") && path.ends_with(".tvo.efx")) << path;
    WriteOutputs(*outputs, data);

    // A curve and a scene in one save.
    Replace(content / "curves.lua", "0.7, 0.5, 0.9", "0.6, 0.5, 0.9");
    Replace(content / "scenes/scene1.lua", "size = 0.9", "size = 0.8");
    outputs = Save({content / "curves.lua", content / "scenes/scene1.lua"});
    ASSERT_TRUE(outputs);
    EXPECT_EQ(MadeBy(*outputs), (std::set<std::string>{"custom.ipo", "scene1"}));
    WriteOutputs(*outputs, data);

    // A picture that image "..." reads, saved again by the paint program: the scene that uses it.
    fs::create_directories(content / "pictures");
    fs::copy_file(fs::path(QUORVEL_SOURCE_DIR) / "game/icon.png", content / "pictures/mark.png");
    Replace(content / "scenes/scene1.lua", "titleGlow = gradient{",
            "mark = image \"pictures/mark.png\", titleGlow = gradient{");
    outputs = Save({content / "scenes/scene1.lua"});
    ASSERT_TRUE(outputs);
    WriteOutputs(*outputs, data);
    fs::copy_file(fs::path(QUORVEL_SOURCE_DIR) / "game/banner.png", content / "pictures/mark.png",
                  fs::copy_options::overwrite_existing);
    outputs = Save({content / "pictures/mark.png"});
    ASSERT_TRUE(outputs);
    EXPECT_EQ(MadeBy(*outputs), std::set<std::string>{"scene1"});
    WriteOutputs(*outputs, data);

    const fs::path full = root / "full";
    WriteOutputs(CompileContent(content), full);
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(full)) {
        if (!entry.is_regular_file())
            continue;
        const fs::path path = entry.path().lexically_relative(full);
        files.insert(path.string());
        EXPECT_TRUE(Read(entry.path()) == Read(data / path)) << path << " differs from a full build's";
    }
    for (const auto& entry : fs::recursive_directory_iterator(data)) {
        if (entry.is_regular_file()) {
            EXPECT_EQ(files.count(entry.path().lexically_relative(data).string()), 1u) << entry.path();
        }
    }
}

TEST_F(DependencyMapTest, AnAddedUnitAndFaultsFoundAcrossUnitsGoToAFullBuild) {
    Write(content / "curves.lua", "return { gain = { { 0, 1 }, { 10, 1 } } }\n");
    Write(content / "fx/flat.fx", R"(float Gain = 1.0;
texture Map;
technique Flat { pass Only { VertexShader = V; FragmentShader = F; } }
-- glsl V
void main() { gl_Position = vec4(0.0); }
-- glsl F
out vec4 colour;
void main() { colour = vec4(Gain); }
)");
    const std::string material = R"(effect = { { priority = 1, pass = { { priority = 100, fx = "flat",
    tec = "Flat", streams = { "pos" }, params = { { "tex", "Map", "data/pic.png" }, { "ipo", "Gain", "gain" } } } } } }
)";
    Write(content / "looks/panel.efx", material);
    Write(content / "textures/pictures.lua", "return { pic = checker{ width = 4, height = 4, cells = 2, "
                                             "a = { 1, 1, 1 }, b = { 0, 0, 0 } } }\n");
    Write(content / "scenes/a.lua", R"(return { length = 10,
    meshes = { panel = { shape = box{ size = 1 }, material = "looks/panel.efx" } },
    objects = { { type = "Mesh", name = "Panel", mesh = "panel" } } }
)");
    CompileContent(content, &map);

    // The scene's material names a technique the effect file no longer has.
    Replace(content / "fx/flat.fx", "technique Flat", "technique Flatter");
    EXPECT_FALSE(Save({content / "fx/flat.fx"}));
    Replace(content / "fx/flat.fx", "technique Flatter", "technique Flat");
    // The texture the material loads is no longer made.
    Replace(content / "textures/pictures.lua", "pic =", "picture =");
    EXPECT_FALSE(Save({content / "textures/pictures.lua"}));
    Replace(content / "textures/pictures.lua", "picture =", "pic =");
    // A curve the material binds is gone.
    Write(content / "curves.lua", "return { strength = { { 0, 1 }, { 10, 1 } } }\n");
    EXPECT_FALSE(Save({content / "curves.lua"}));
    Write(content / "curves.lua", "return { gain = { { 0, 1 }, { 10, 2 } } }\n");
    EXPECT_TRUE(Save({content / "curves.lua"}));
    // The folder of the scene's material moved away: only the folder is reported.
    fs::rename(content / "looks", root / "looks");
    EXPECT_FALSE(Save({content / "looks"}));
    fs::rename(root / "looks", content / "looks");
    // A scene added, and one removed.
    Write(content / "scenes/b.lua", Read(content / "scenes/a.lua"));
    EXPECT_FALSE(Save({content / "scenes/b.lua"}));
    fs::remove(content / "scenes/b.lua");
    fs::remove(content / "scenes/a.lua");
    EXPECT_FALSE(Save({content / "scenes/a.lua"}));
}

} // namespace
