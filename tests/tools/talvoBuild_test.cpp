// The content compiler: what a scene description says reaches the .demo file exactly, as the engine's
// own reader sees it; the shipped content compiles to the same bytes in every run; faults name their
// file and line and leave no output; the material and curve checks refuse what the engine would only
// find at run time.
#include "build.h"
#include "content/content.h"
#include "scene/demoReader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace quorvel::build;
namespace fs = std::filesystem;

namespace {

// A content folder of its own for each test, removed afterwards.
class ContentFolder {
public:
    ContentFolder() {
        char pattern[] = "/tmp/talvo-test-XXXXXX";
        root = mkdtemp(pattern);
    }
    ~ContentFolder() { fs::remove_all(root); }

    void Write(const std::string& path, const std::string& text) const {
        fs::create_directories((root / path).parent_path());
        std::ofstream(root / path, std::ios::binary) << text;
    }
    // The text of the BuildError that compiling the folder ends in.
    std::string Error() const {
        try {
            CompileContent(root);
        } catch (const BuildError& error) {
            return error.what();
        }
        return "no error";
    }

    fs::path root;
};

std::vector<std::uint8_t> ReadBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(TalvoBuild, SceneKeysReachTheDemoFileExactly) {
    ContentFolder content;
    content.Write("scenes/keys.lua", R"(
return {
    length = 250,
    meshes = { cube = { shape = box{ size = 1 }, builtin = "diffuse" } },
    camera = { position = { 0, 1, -10 }, curves = { RotZ = { { 1, 0 }, { 50, math.pi / 2 } } } },
    lamps = { { name = "Lamp", position = { 2, 3, 4 } } },
    objects = {
        { type = "Mesh", name = "Box", mesh = "cube", parent = "Pivot", rotation = { 0.5, 0, 0 },
          curves = {
              LocY = { { 1, 0 }, { 11, 5 }, { 21, 10 }, { 31, 10 } },
              LocX = { { 1, 0 }, { 2, 10 }, { 12, 10.5 } },
              LocZ = { { 5, 2, left = { 3, 1 }, right = { 7, 3 } }, { 9, 4 } },
              Time = { interpolation = "Constant", extrapolation = "Cyclic", keys = { { 1, 1 }, { 26, 2 } } },
          } },
        { type = "Empty", name = "Pivot", position = { 0, -1, 0 } },
    },
})");
    const Outputs outputs = CompileContent(content.root);
    const auto data = engine::gfx::ParseDemo(outputs.Files().at("keys.demo"), "keys.demo");

    EXPECT_EQ(data.length, 250);
    ASSERT_EQ(data.objects.size(), 4u);
    // The camera first, so that everything after it is seen through it.
    EXPECT_EQ(data.objects[0].type, "Camera");
    EXPECT_EQ(data.objects[0].name, "Camera");
    EXPECT_EQ(data.objects[1].type, "Lamp");
    EXPECT_FLOAT_EQ(data.objects[1].position.z, 4);
    // Rotation curves are written in radians and stored in tens of degrees.
    const auto& turn = data.objects[0].curves.at(0).track;
    EXPECT_FLOAT_EQ(turn.keys.at(1).key.value, 9.0f);

    const engine::gfx::DemoObject& box = data.objects[2];
    EXPECT_EQ(box.type, "Mesh");
    EXPECT_EQ(box.meshName, "cube");
    EXPECT_EQ(box.parentName, "Pivot");
    EXPECT_EQ(box.rotation.x, 0.5f);
    // In the order the pipes run, whatever order the description used.
    ASSERT_EQ(box.curves.size(), 4u);
    std::vector<std::string> channels;
    for (const auto& curve : box.curves)
        channels.push_back(curve.channel->name);
    EXPECT_EQ(channels, (std::vector<std::string>{"Time", "LocX", "LocY", "LocZ"}));

    const auto& time = box.curves[0].track;
    EXPECT_EQ(time.interpolation, engine::gfx::Interpolation::Constant);
    EXPECT_EQ(time.extrapolation, 2);
    EXPECT_EQ(time.keys[1].key.time, 26.0f);
    EXPECT_EQ(time.keys[1].right.value, 2.0f);

    // Auto handles: a third of the neighbouring interval away, on the neighbours' slope, flat where
    // the curve stops rising and at its ends.
    const auto& rise = box.curves[2].track.keys;
    EXPECT_EQ(rise[1].left.time, static_cast<float>(11 - 10.0 / 3));
    EXPECT_EQ(rise[1].left.value, static_cast<float>(5 - 0.5 * 10 / 3));
    EXPECT_EQ(rise[1].right.value, static_cast<float>(5 + 0.5 * 10 / 3));
    EXPECT_EQ(rise[2].left.value, 10.0f);
    EXPECT_EQ(rise[2].right.value, 10.0f);
    EXPECT_EQ(rise[0].right.value, 0.0f);
    // A steep step followed by a gentle one: the handle stays below the next key.
    const auto& step = box.curves[1].track.keys;
    EXPECT_LE(step[1].right.value, 10.5f);
    EXPECT_GT(step[1].right.value, 10.0f);
    // Given handles are kept as they are.
    const auto& given = box.curves[3].track.keys[0];
    EXPECT_EQ(given.left.time, 3.0f);
    EXPECT_EQ(given.left.value, 1.0f);
    EXPECT_EQ(given.right.time, 7.0f);
    EXPECT_EQ(given.right.value, 3.0f);

    EXPECT_TRUE(outputs.Has("keys.demo_scene/cube.tvo"));
}

TEST(TalvoBuild, TheShippedContentCompilesToTheSameBytesAsTheBuildsOwnRun) {
    const Outputs outputs = CompileContent(fs::path(QUORVEL_SOURCE_DIR) / "content");
    for (const char* expected : {"scene1.demo", "scene1.demo_scene/cube.tvo", "custom.ipo", "dark_ages.xm",
                                 "quad.tvo", "particle.efx", "spark.png", "fx/grade.fx"})
        EXPECT_TRUE(outputs.Has(expected)) << expected;
    // data/ was made by the build in another process.
    for (const auto& [path, bytes] : outputs.Files())
        EXPECT_TRUE(ReadBytes(fs::path(QUORVEL_DATA_DIR) / path) == bytes) << path << " differs";

    // Writing again leaves every file alone.
    ContentFolder data;
    WriteOutputs(outputs, data.root);
    const auto written = fs::last_write_time(data.root / "scene1.demo");
    fs::last_write_time(data.root / "scene1.demo", written - std::chrono::hours(1));
    WriteOutputs(outputs, data.root);
    EXPECT_EQ(fs::last_write_time(data.root / "scene1.demo"), written - std::chrono::hours(1));
}

TEST(TalvoBuild, FaultsNameTheirFileAndLineAndWriteNothing) {
    ContentFolder content;
    content.Write("scenes/broken.lua", "local scene = {}\n\nreturn scene.camera.position\n");
    const std::string file = (content.root / "scenes/broken.lua").string();
    EXPECT_EQ(content.Error().rfind(file + ":3: attempt to index field 'camera'", 0), 0u) << content.Error();

    content.Write("scenes/broken.lua",
                  "return {\n    meshes = { m = { shape = sphere{ radius = 1, rings = 0 } } },\n}\n");
    EXPECT_EQ(content.Error().rfind(file + ":2: ", 0), 0u) << content.Error();

    // Only math, string and table: the outside world is out of reach, and an endless loop ends.
    content.Write("scenes/broken.lua", "os.execute('true')\n");
    EXPECT_NE(content.Error().find(":1: attempt to index global 'os'"), std::string::npos) << content.Error();
    content.Write("scenes/broken.lua", "while true do end\n");
    EXPECT_NE(content.Error().find("instruction limit"), std::string::npos) << content.Error();
    // Nothing runs once the limits are off: no metatable handlers while the result is read, and no
    // precompiled chunks, which Lua does not verify.
    content.Write("scenes/broken.lua",
                  "return setmetatable({}, { __index = function() while true do end end })\n");
    EXPECT_NE(content.Error().find("attempt to call global 'setmetatable'"), std::string::npos)
        << content.Error();
    content.Write("scenes/broken.lua", "\x1bLua\x51");
    EXPECT_EQ(content.Error(), file + ": precompiled chunks are refused, only Lua source");

    // Fields of the returned table are named by their path.
    content.Write("scenes/broken.lua", "return { length = 10, objects = { { type = 'Lamp', name = 'L', "
                                       "curves = { LocQ = { { 1, 0 } } } } } }\n");
    EXPECT_EQ(content.Error(), file +
                                   ": objects[1].curves.LocQ is not a channel; channels are Time, LocX-LocZ, "
                                   "ScaleX-ScaleZ, RotX-RotZ and dRotX-dRotZ");

    const fs::path out = content.root / "out";
    const std::string command =
        std::string(QUORVEL_TALVO_BUILD) + " " + content.root.string() + " " + out.string() + " 2>/dev/null";
    EXPECT_NE(std::system(command.c_str()), 0);
    EXPECT_FALSE(fs::exists(out));
}

// Pictures made elsewhere (the Blender add-on writes PNG files) come in through image "file": its pixels
// reach the scene's texture unchanged, and a file that is no picture names itself.
TEST(TalvoBuild, AnImageFileBecomesASceneTextureWithItsPixels) {
    ContentFolder content;
    quorvel::content::Image picture;
    picture.width = 2;
    picture.height = 1;
    picture.rgba = {255, 0, 0, 255, 0, 128, 255, 64};
    const std::vector<std::uint8_t> png = quorvel::content::EncodePng(picture);
    content.Write("scenes/pictured/photo.png", std::string(png.begin(), png.end()));
    content.Write("scenes/pictured.lua",
                  "return { length = 1, textures = { photo = image \"scenes/pictured/photo.png\" } }");
    const Outputs outputs = CompileContent(content.root);
    const std::vector<std::uint8_t>& made = outputs.Files().at("pictured.demo_scene/photo.png");
    EXPECT_EQ(quorvel::content::DecodeImage(made).rgba, picture.rgba);

    content.Write("scenes/pictured/photo.png", "not a picture");
    const std::string error = content.Error();
    EXPECT_NE(
        error.find("image: " + (content.root / "scenes/pictured/photo.png").string() + ": not a picture"),
        std::string::npos)
        << error;
}

TEST(TalvoBuild, ALibraryRunsOnceForEveryUseAndNothingOutsideItsFolderIsReached) {
    ContentFolder content;
    content.Write("lib/counted.lua",
                  "loads = (loads or 0) + 1\nreturn { frames = function(n) return n * 25 end }\n");
    content.Write("scenes/user.lua", "local a, b = use('counted'), use('counted')\n"
                                     "assert(a == b and loads == 1, 'loaded twice')\n"
                                     "return { length = a.frames(4) }\n");
    EXPECT_EQ(content.Error(), "no error");

    const std::string file = (content.root / "scenes/user.lua").string();
    content.Write("scenes/user.lua", "return use('../scenes/user')\n");
    EXPECT_EQ(content.Error(), file + ":1: use: \"../scenes/user\" is not a library's name (letters, digits "
                                      "and '_', no folders)");
    content.Write("scenes/user.lua", "return use('missing')\n");
    EXPECT_EQ(content.Error().rfind(
                  file + ":1: use: cannot open " + (content.root / "lib/missing.lua").string(), 0),
              0u)
        << content.Error();
    content.Write("lib/first.lua", "return use('second')\n");
    content.Write("lib/second.lua", "return use('first')\n");
    content.Write("scenes/user.lua", "return use('first')\n");
    EXPECT_EQ(content.Error(),
              (content.root / "lib/second.lua").string() + ":1: use: \"first\" is used again while it loads");
}

TEST(TalvoBuild, MaterialAndCurveChecksRefuseWhatWouldFailAtRunTime) {
    ContentFolder content;
    content.Write("fx/flat.fx",
                  "float Level = 1.0;\ntechnique Flat { pass P { VertexShader = V; FragmentShader = F; } }\n"
                  "-- glsl V\nin vec3 POSITION;\nvoid main() { gl_Position = vec4(POSITION, 1.0); }\n"
                  "-- glsl F\nout vec4 c;\nvoid main() { c = vec4(Level); }\n");
    content.Write("curves.lua", "return { fade = { { 0, 0 }, { 25, 1 } } }\n");
    const std::string script = (content.root / "look.efx").string();
    auto material = [&](const std::string& fx, const std::string& curve) {
        content.Write("look.efx", "effect = { { pass = { { fx = '" + fx +
                                      "', tec = 'Flat', params = { { 'ipo', "
                                      "'Level', '" +
                                      curve + "' } }, streams = { 'pos' } } } } }\n");
    };
    material("flat", "fade");
    EXPECT_EQ(content.Error(), "no error");

    material("missing", "fade");
    EXPECT_NE(content.Error().find(script + ": pass 1 of the candidate of priority 0 names the effect file "
                                            "data/fx/missing.fx, which is not made"),
              std::string::npos)
        << content.Error();

    material("flat", "fadeOut");
    EXPECT_EQ(content.Error(), script + ": binds the curve \"fadeOut\", which the curve file does not make");

    content.Write("fx/flat.fx", "technique Flat { pass P { VertexShader = ; } }\n");
    EXPECT_EQ(content.Error().rfind((content.root / "fx/flat.fx").string() + ":1: ", 0), 0u)
        << content.Error();
}

} // namespace
