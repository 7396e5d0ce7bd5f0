// Live editing played for real: a small content folder written into the test's own folder and built
// with the content compiler in-process, the engine's window and main loop offscreen, the live-editing
// module on a clock the test moves, and a module after the renderer that reads each frame back and
// runs the test's next step (edit a file, move the clock, look at the picture).
#pragma once

#include "core/timer.h"
#include "formats/xmWriter.h"
#include "game/demoFixture.h"
#include "gpu/device.h"
#include "live/liveEditing.h"
#include "liveBuild.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "support/logCapture.h"
#include "support/picture.h"

#include <engine/engine.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quorvel::test {

class ManualClock : public engine::platform::Clock {
public:
    void Advance(double seconds) { counter += static_cast<std::uint64_t>(seconds * 1e6); }
    std::uint64_t Counter() override { return counter; }
    std::uint64_t Frequency() override { return 1'000'000; }
    std::uint32_t Ticks() override { return static_cast<std::uint32_t>(counter / 1000); }

private:
    std::uint64_t counter = 1'000'000;
};

inline void WriteText(const std::filesystem::path& file, const std::string& text) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// The text with every "$name" replaced by its value.
inline std::string Fill(std::string text, const std::vector<std::pair<std::string, std::string>>& values) {
    for (const auto& [name, value] : values)
        for (std::size_t at = text.find(name); at != std::string::npos;
             at = text.find(name, at + value.size()))
            text.replace(at, name.size(), value);
    return text;
}

// The one-scene content: a panel filling the view, drawn by flat.fx as Tint * Gain * the texture "pic",
// Gain bound to the global curve "gain". Each part can be rewritten on its own, in place or, with
// byRename, as editors that write a temporary file and rename it over the file save.
struct PanelContent {
    std::string tint = "1.0, 0.0, 0.0, 1.0";
    // Replaces the fragment shader's one line, to break the effect.
    std::string fragment = "colour = Tint * Gain * texture(Map, uv);";
    // More parameters for the panel's material script.
    std::string materialParams;
    double gain = 1.0;
    double grey = 1.0;
    double panelSize = 4.0;
    double panelX = 0.0;
    bool byRename = false;

    void Save(const std::filesystem::path& file, const std::string& text) const {
        if (!byRename) {
            WriteText(file, text);
            return;
        }
        WriteText(file.string() + ".saving", text);
        std::filesystem::rename(file.string() + ".saving", file);
    }

    void WriteEffect() const {
        // The fragment shader's line is line 31 of the file.
        Save("content/fx/flat.fx", Fill(R"(float4x4 WorldViewProjection : WorldViewProjection;
float4 Tint = { $tint };
float Gain = 1.0;
texture Map { MinFilter = Point; MagFilter = Point; MipFilter = Point; };
technique Flat
{
    pass Only
    {
        VertexShader = FlatVertex;
        FragmentShader = FlatFragment;
        CullMode = None;
        ZEnable = false;
    }
}

-- glsl FlatVertex
in vec3 POSITION;
in vec2 TEXCOORD0;
out vec2 uv;
void main()
{
    uv = TEXCOORD0;
    gl_Position = WorldViewProjection * vec4(POSITION, 1.0);
}

-- glsl FlatFragment
in vec2 uv;
out vec4 colour;
void main()
{
    $fragment
}
)",
                                        {{"$tint", tint}, {"$fragment", fragment}}));
    }
    void WriteMaterial() const {
        Save("content/scenes/panel.efx", Fill(R"(effect = { { priority = 1, pass = {
    { priority = 100, fx = "flat", tec = "Flat", streams = { "pos", "tex" },
      params = { { "tex", "Map", "data/pic.png" }, { "ipo", "Gain", "gain" } $params } } } } }
)",
                                              {{"$params", materialParams}}));
    }
    void WriteCurves() const {
        Save("content/curves.lua", Fill("return { gain = { keys = { { 0, $gain }, { 10, $gain } } } }\n",
                                        {{"$gain", std::to_string(gain)}}));
    }
    void WriteTexture() const {
        Save("content/textures/pictures.lua",
             Fill("local c = { $grey, $grey, $grey }\n"
                  "return { pic = checker{ width = 4, height = 4, cells = 2, a = c, b = c } }\n",
                  {{"$grey", std::to_string(grey)}}));
    }
    void WriteScene() const {
        Save("content/scenes/scene1.lua",
             Fill(R"(return {
    length = 1000,
    meshes = { panel = { shape = box{ size = { $size, $size, 0.1 } }, material = "scenes/panel.efx" } },
    camera = { position = { 0, 0, -3 } },
    objects = { { type = "Mesh", name = "Panel", mesh = "panel", position = { $x, 0, 0 } } },
}
)",
                  {{"$size", std::to_string(panelSize)}, {"$x", std::to_string(panelX)}}));
    }
    void WriteAll() const {
        WriteEffect();
        WriteMaterial();
        WriteCurves();
        WriteTexture();
        WriteScene();
    }
};

// The nine scenes the timeline loads, each with the nodes it decorates (demoFixture.h) as small boxes;
// in scene 2 the object "Cube" stands at (0, cubeY, 0) and moves one unit along x per frame. The
// particle material and effect come along.
inline void WriteTimelineContent(double cubeY = 0.0) {
    std::ifstream particle(std::filesystem::path(QUORVEL_SOURCE_DIR) / "content/fx/particle.fx");
    WriteText("content/fx/particle.fx", std::string(std::istreambuf_iterator<char>(particle), {}));
    WriteText("content/particle.efx", R"(effect = { { priority = 1, pass = {
    { priority = 100, fx = "particle", tec = "Additive", params = { }, streams = { "pos", "tex" } } } } }
)");
    WriteText("content/curves.lua", "return { }\n");
    for (int scene = 1; scene <= 9; ++scene) {
        std::string objects;
        for (const std::string& name : MeshesOfScene(scene)) {
            std::string more = ", position = { 0, 0, 0 }";
            if (name.find("Modifier") != std::string::npos)
                more = ", position = { 1, 0, 0 }";
            if (name == "Offset")
                more = ", position = { 0, 1, 0 }";
            if (scene == 2 && name == "Cube")
                more = ", position = { 0, " + std::to_string(cubeY) +
                       ", 0 }, curves = { LocX = { interpolation = \"Linear\", keys = { { 1, 0 }, { 1001, "
                       "1000 } } } }";
            objects += "        { type = \"Mesh\", name = \"" + name + "\", mesh = \"cube\"" + more + " },\n";
        }
        for (const std::string& name : EmptiesOfScene(scene))
            objects += "        { type = \"Empty\", name = \"" + name + "\" },\n";
        WriteText("content/scenes/scene" + std::to_string(scene) + ".lua", Fill(R"(return {
    length = 1000,
    meshes = { cube = { shape = box{ size = 0.2 }, builtin = "diffuse" } },
    camera = { position = { 0, 0, -5 } },
    objects = {
$objects    },
}
)",
                                                                                {{"$objects", objects}}));
    }
}

// Reads the back buffer after the renderer has presented, then runs the test's step for this pass;
// quits once the steps are done.
class StepDriver : public engine::core::Module {
public:
    using Step = std::function<void()>;

    StepDriver() { priority = 6500; }
    bool Start() override { return true; }
    void Update() override {
        frames.push_back(ReadBackBuffer());
        if (next == steps.size()) {
            engine::QuitApplication();
            return;
        }
        steps[next++]();
    }
    void Stop() override {
        if (onStop)
            onStop();
    }

    // The centre pixel of the frame drawn in pass `pass` (from 0), as 0xRRGGBB.
    std::uint32_t Centre(std::size_t pass) const {
        const Picture& frame = frames.at(pass);
        const std::size_t at = (std::size_t(frame.height / 2) * frame.width + frame.width / 2) * 4;
        return std::uint32_t(frame.rgba[at]) << 16 | std::uint32_t(frame.rgba[at + 1]) << 8 |
               frame.rgba[at + 2];
    }

    std::vector<Step> steps;
    std::vector<Picture> frames;
    std::function<void()> onStop;

private:
    static Picture ReadBackBuffer() {
        Picture picture;
        engine::gpu::Device* device = engine::core::CWin32Window::Get()->device;
        engine::gpu::Surface* surface = nullptr;
        if (device == nullptr || engine::gpu::Failed(device->GetRenderTarget(0, &surface)))
            return picture;
        picture.width = static_cast<int>(surface->Width());
        picture.height = static_cast<int>(surface->Height());
        device->ReadPixels(surface, picture.rgba);
        surface->Release();
        return picture;
    }

    std::size_t next = 0;
};

// The content compiler as live editing calls it, in this process.
inline engine::ContentBuild Build(const std::filesystem::path& content, const std::filesystem::path& data,
                                  const std::vector<std::filesystem::path>& changed) {
    return quorvel::build::BuildForLiveEditing(content, data, changed);
}

class LiveEditingTest : public ::testing::Test {
protected:
    // Builds the content as the program's build would, opens the window and registers the live-editing
    // module on the test's clock; the caller adds its modules and runs.
    void Open() {
        // Opened first: the compiler keeps its rows out of a log that is not open yet.
        engine::core::Logging::Get();
        const engine::ContentBuild first = Build("content", "data", {});
        ASSERT_EQ(first.error, "");
        formats::XmWriter::File(formats::XmShortSong(16)).Save("data/dark_ages.xm");
        engine::core::Timer::Get()->UseFixedSteps(25);
        engine::WindowSettings settings;
        settings.width = settings.height = 32;
        settings.title = L"Quorvel";
        engine::CreateTALVOWindow(settings);
        live = std::make_unique<engine::live::LiveEditing>("content", Build, quiet);
        engine::AddModule(live.get(), engine::live::LiveEditing::kModuleId);
    }

    // After a save, the clock moves past the settle, so the pass after the one that notes the save
    // builds and reloads.
    void Settle() { quiet.Advance(0.25); }

    ScopedLogDirectory folder;
    MessageBoxCapture boxes;
    ManualClock quiet;
    std::unique_ptr<engine::live::LiveEditing> live;
    StepDriver driver;
};

} // namespace quorvel::test
