// The time from a save to the changed picture in live editing, as someone editing sees it: the demo
// runs on the offscreen OpenGL device with the live-editing module on the machine's clock (so the wait
// for the saved files to settle is part of it) and the content compiler in-process. Each try saves one
// file that changes the colour of the middle pixel, then reads every frame back until that pixel has
// changed. Kinds: an effect file's initial colour, a material script's parameter, a global curve the
// material binds, a texture description's picture, and a scene that moves its only object out of view
// and back. Reported as the median, fastest and slowest of the tries, in milliseconds: with that small
// content alone (/0), where the time is the engine's work, and beside the demo's own content (/1).
#include "core/logging.h"
#include "formats/xmWriter.h"
#include "gpu/device.h"
#include "live/liveEditing.h"
#include "liveBuild.h"
#include "platform/window.h"

#include <engine/engine.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kTries = 7;

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// Tint comes from the effect file, Tone from the material script, Gain from the curve "benchGain" and
// Map from the texture description; the panel fills the view.
void WriteEffect(const char* tint) {
    std::ostringstream text;
    text << "float4x4 WorldViewProjection : WorldViewProjection;\n"
         << "float4 Tint = { " << tint << " };\n"
         << "float4 Tone = { 1.0, 1.0, 1.0, 1.0 };\n"
         << "float Gain = 1.0;\n"
         << "texture Map { MinFilter = Point; MagFilter = Point; MipFilter = Point; };\n"
         << "technique Flat { pass Only { VertexShader = V; FragmentShader = F; CullMode = None; ZEnable = "
            "false; } }\n"
         << "-- glsl V\nin vec3 POSITION;\nin vec2 TEXCOORD0;\nout vec2 uv;\n"
         << "void main() { uv = TEXCOORD0; gl_Position = WorldViewProjection * vec4(POSITION, 1.0); }\n"
         << "-- glsl F\nin vec2 uv;\nout vec4 colour;\n"
         << "void main() { colour = Tint * Tone * Gain * texture(Map, uv); }\n";
    Write("content/fx/flat.fx", text.str());
}

void WriteMaterial(const char* tone) {
    std::ostringstream text;
    text << "effect = { { priority = 1, pass = { { priority = 100, fx = \"flat\", tec = \"Flat\", "
         << "streams = { \"pos\", \"tex\" }, params = { { \"float4\", \"Tone\", { " << tone << " } }, "
         << "{ \"ipo\", \"Gain\", \"benchGain\" }, { \"tex\", \"Map\", \"data/zbenchpic.png\" } } } } } }\n";
    Write("content/scenes/panel.efx", text.str());
}

// The curve file with "benchGain" at that value among the curves it had (curvesBefore).
std::string curvesBefore;
void WriteCurve(double gain) {
    std::ostringstream text;
    text << "\nreturn {\n    benchGain = { keys = { { 0, " << gain << " }, { 100000, " << gain << " } } },";
    std::string curves = curvesBefore;
    curves.replace(curves.find("\nreturn {"), 9, text.str());
    Write("content/curves.lua", curves);
}

void WriteTexture(double grey) {
    std::ostringstream text;
    text << "local c = { " << grey << ", " << grey << ", " << grey << " }\n"
         << "return { zbenchpic = checker{ width = 4, height = 4, cells = 2, a = c, b = c } }\n";
    Write("content/textures/zbench.lua", text.str());
}

void WriteScene(double x) {
    std::ostringstream text;
    text << "return { length = 100000,\n"
         << "    meshes = { panel = { shape = box{ size = { 4, 4, 0.1 } }, material = \"scenes/panel.efx\" } "
            "},\n"
         << "    camera = { position = { 0, 0, -3 } },\n"
         << "    objects = { { type = \"Mesh\", name = \"Panel\", mesh = \"panel\", position = { " << x
         << ", 0, 0 } } } }\n";
    Write("content/scenes/zpanel.lua", text.str());
}

// Runs after the renderer: reads the middle pixel, and when the try's change has arrived, times it
// and saves the next one.
class Tries : public engine::core::Module {
public:
    struct Kind {
        std::string name;
        std::function<void(int)> save;
    };

    Tries(std::vector<Kind> kinds, engine::gfx::DemoLoader* scene) : kinds(std::move(kinds)), scene(scene) {
        priority = 6500;
    }
    bool Start() override { return true; }
    // The scene goes before the engine's resources do.
    void Stop() override { scene->DestroyInstance(); }
    void Update() override {
        // The first frame is drawn before the global curves are first sampled: the tries start once the
        // picture stands.
        if (++passes <= kSteadyAfterPasses)
            return;
        const std::uint32_t pixel = MiddlePixel();
        if (waiting && pixel == before)
            return;
        if (waiting)
            times[kinds[kind].name].push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - saved).count());
        if (++attempt == kTries) {
            attempt = 0;
            ++kind;
        }
        if (kind == kinds.size()) {
            engine::QuitApplication();
            return;
        }
        before = pixel;
        kinds[kind].save(attempt);
        saved = Clock::now();
        waiting = true;
    }

    std::map<std::string, std::vector<double>> times;

private:
    static std::uint32_t MiddlePixel() {
        engine::gpu::Device* device = engine::core::CWin32Window::Get()->device;
        engine::gpu::Surface* surface = nullptr;
        if (engine::gpu::Failed(device->GetRenderTarget(0, &surface)))
            return 0;
        std::vector<std::uint8_t> rgba;
        device->ReadPixels(surface, rgba);
        const std::size_t at =
            (std::size_t(surface->Height() / 2) * surface->Width() + surface->Width() / 2) * 4;
        surface->Release();
        return std::uint32_t(rgba[at]) << 16 | std::uint32_t(rgba[at + 1]) << 8 | rgba[at + 2];
    }

    std::vector<Kind> kinds;
    engine::gfx::DemoLoader* scene;
    static constexpr int kSteadyAfterPasses = 2;
    int passes = 0;
    std::size_t kind = 0;
    int attempt = -1;
    bool waiting = false;
    std::uint32_t before = 0;
    Clock::time_point saved;
};

void SaveToPicture(benchmark::State& state) {
    char pattern[] = "/tmp/quorvel-live-bench-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    const fs::path previous = fs::current_path();
    fs::create_directories(root / "data");
    fs::current_path(root);
    engine::core::Logging::Get();

    if (state.range(0) == 1)
        fs::copy(fs::path(QUORVEL_SOURCE_DIR) / "content", "content", fs::copy_options::recursive);
    else
        Write("content/curves.lua", "-- The benchmark's own curves.\nreturn {\n}\n");
    std::ifstream curves("content/curves.lua");
    curvesBefore.assign(std::istreambuf_iterator<char>(curves), {});
    WriteEffect("1.0, 0.0, 0.0, 1.0");
    WriteMaterial("1.0, 1.0, 1.0, 1.0");
    WriteCurve(1.0);
    WriteTexture(1.0);
    WriteScene(0.0);
    if (const std::string error = quorvel::build::BuildForLiveEditing("content", "data").error;
        !error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    quorvel::formats::XmWriter::File(quorvel::formats::XmShortSong(16)).Save("data/dark_ages.xm");

    std::map<std::string, std::vector<double>> times;
    for (auto _ : state) {
        engine::WindowSettings settings;
        settings.width = settings.height = 64;
        engine::CreateTALVOWindow(settings);
        engine::live::LiveEditing live("content", quorvel::build::BuildForLiveEditing);
        engine::AddModule(&live, engine::live::LiveEditing::kModuleId);
        engine::gfx::DemoLoader* scene = engine::gfx::DemoLoader::CreateInstance(L"data/zpanel.demo");
        engine::SetRootNode(scene->GetBaseNode());
        Tries tries(
            {{"effect", [](int n) { WriteEffect(n % 2 == 0 ? "0.0, 1.0, 0.0, 1.0" : "1.0, 0.0, 0.0, 1.0"); }},
             {"material",
              [](int n) { WriteMaterial(n % 2 == 0 ? "0.5, 0.5, 0.5, 1.0" : "1.0, 1.0, 1.0, 1.0"); }},
             {"curve", [](int n) { WriteCurve(n % 2 == 0 ? 0.5 : 1.0); }},
             {"texture", [](int n) { WriteTexture(n % 2 == 0 ? 0.5 : 1.0); }},
             // Last: the panel ends out of view.
             {"scene", [](int n) { WriteScene(n % 2 == 0 ? 100.0 : 0.0); }}},
            scene);
        engine::AddModule(&tries, 20000);
        engine::StartApplication();
        times = tries.times;
    }
    for (auto& [kind, list] : times) {
        std::sort(list.begin(), list.end());
        state.counters[kind + "_median_ms"] = list[list.size() / 2];
        state.counters[kind + "_fastest_ms"] = list.front();
        state.counters[kind + "_slowest_ms"] = list.back();
    }
    fs::current_path(previous);
    delete engine::core::Logging::mInstance;
    fs::remove_all(root);
}

BENCHMARK(SaveToPicture)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
