// Loading one scene of 200 objects (50 with meshes, 20 of those drawn with material scripts) on the
// offscreen OpenGL device: the whole load, and the phases it is made of measured apart with the
// engine's own calls: reading the scene and mesh files, running the material scripts, building the
// effects (scripts plus effect compilation) and loading the meshes (reading plus buffer creation).
// Every iteration starts from an empty resource manager, so effects compile and buffers are made anew.
#include "core/kernel.h"
#include "core/logging.h"
#include "core/textConversion.h"
#include "core/timer.h"
#include "formats/demoWriter.h"
#include "formats/tvoWriter.h"
#include "gpu/glDevice.h"
#include "platform/window.h"
#include "render/effectPool.h"
#include "render/shader.h"
#include "resources/TVOMesh.h"
#include "resources/tvoReader.h"
#include "scene/demoLoader.h"
#include "scene/demoReader.h"
#include "scene/lightManager.h"
#include "script/materialScript.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace gpu = engine::gpu;
namespace gfx = engine::gfx;
namespace fs = std::filesystem;
using quorvel::formats::DemoObjectRecord;

constexpr int kObjects = 200;
constexpr int kMeshes = 50;
constexpr int kScripts = 20;
constexpr int kLamps = 10;
// Each mesh is a grid of this many cells a side: 33 x 33 vertices, 6,144 indices.
constexpr int kGridCells = 32;

const char* const kScene = "data/scene.demo";

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::exit(1);
}

fs::path ShippedEffect(const char* name) {
    fs::path folder = fs::canonical("/proc/self/exe").parent_path();
    for (; !folder.empty() && folder != folder.root_path(); folder = folder.parent_path())
        if (fs::exists(folder / "content" / "fx" / name))
            return folder / "content" / "fx" / name;
    Fail(std::string("content/fx/") + name + " not found above the benchmark program");
}

std::string MeshPath(int i) {
    return std::string(kScene) + "_scene/mesh" + std::to_string(i) + ".tvo";
}

void WriteMesh(int i) {
    quorvel::formats::TVOWriter file;
    // The first kScripts meshes take their effect from the script next to them, the others are lit
    // by the built-in diffuse effect.
    file.Material(i < kScripts ? 0 : 3, {});
    std::vector<quorvel::formats::Float3> positions, normals;
    std::vector<quorvel::formats::Float2> texCoords;
    for (int y = 0; y <= kGridCells; ++y)
        for (int x = 0; x <= kGridCells; ++x) {
            const float u = float(x) / kGridCells, v = float(y) / kGridCells;
            positions.push_back({u - 0.5f, v - 0.5f, 0.1f * u * v});
            normals.push_back({0, 0, -1});
            texCoords.push_back({u, v});
        }
    std::vector<std::uint32_t> indices;
    for (std::uint32_t y = 0; y < kGridCells; ++y)
        for (std::uint32_t x = 0; x < kGridCells; ++x) {
            const std::uint32_t a = y * (kGridCells + 1) + x, b = a + kGridCells + 1;
            indices.insert(indices.end(), {a, b, a + 1, a + 1, b, b + 1});
        }
    file.Positions(positions);
    file.Normals(normals);
    file.TexCoords(texCoords);
    file.Indices(2, indices);
    file.End();
    file.Save(MeshPath(i));
    if (i < kScripts)
        std::ofstream(MeshPath(i) + ".efx")
            << "effect = {\n  { priority = 2, pass = { { priority = 100, fx = \"litTextured\", tec = \""
            << (i % 2 == 0 ? "Plain" : "RimLight") << "\",\n      params = { { \"float\", \"SpecularPower\", "
            << 8 + i << " } }, streams = { \"pos\", \"normal\", \"tex\" } } } },\n}\n";
}

// A camera, the meshes, lamps and empty groups; every other object animated by two Bezier curves.
void WriteScene() {
    std::vector<DemoObjectRecord> objects(kObjects);
    for (int i = 0; i < kObjects; ++i) {
        DemoObjectRecord& object = objects[i];
        object.name = "object" + std::to_string(i);
        object.position = {float(i % 10), float(i / 10), 5.0f};
        if (i == 0) {
            object.type = "Camera";
            object.name = "Camera";
        } else if (i <= kMeshes) {
            object.type = "Mesh";
            object.meshName = "mesh" + std::to_string(i - 1);
        } else if (i <= kMeshes + kLamps) {
            object.type = "Lamp";
        }
        if (i > kMeshes + kLamps && i % 3 == 0)
            object.parentName = "object" + std::to_string(i - 1);
        if (i % 2 == 1)
            object.curves = {{"LocX", "Bezier", "Cyclic", {{0, 0, 1, 0, 10, 0}, {90, 2, 100, 2, 110, 2}}},
                             {"RotZ", "Bezier", "Constant", {{0, 0, 1, 0, 20, 0}, {80, 9, 100, 9, 120, 9}}}};
    }
    quorvel::formats::DemoWriter::Scene(250, objects).Save(kScene);
}

struct Bench {
    SDL_Window* window = nullptr;
    gpu::Device* device = nullptr;
};

// A data folder of its own, with the effect file the scripts use, the scene and its meshes, and the
// window's device on an offscreen OpenGL context. Made once per process.
void Setup() {
    static Bench bench;
    if (bench.device != nullptr)
        return;
    char pattern[] = "/tmp/quorvel-sceneload-XXXXXX";
    if (mkdtemp(pattern) == nullptr)
        Fail("no temporary folder");
    const fs::path effect = ShippedEffect("litTextured.fx");
    static const fs::path root = pattern;
    std::atexit([] { fs::remove_all(root); });
    fs::current_path(pattern);
    fs::create_directories(fs::path("data/fx"));
    fs::create_directories(fs::path(std::string(kScene) + "_scene"));
    fs::copy_file(effect, "data/fx/litTextured.fx");
    for (int i = 0; i < kMeshes; ++i)
        WriteMesh(i);
    WriteScene();

    SDL_InitSubSystem(SDL_INIT_VIDEO);
    gpu::ConfigureGlWindow(gpu::FormatX8R8G8B8, gpu::FormatD24X8, 0);
    bench.window = SDL_CreateWindow("bench", 0, 0, 256, 256, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    gpu::PresentParameters parameters;
    parameters.deviceWindow = bench.window;
    std::string reason;
    if (bench.window == nullptr || gpu::Failed(gpu::CreateGlDevice(parameters, &bench.device, &reason)))
        Fail(std::string("no OpenGL device: ") + SDL_GetError() + " " + reason);
    engine::core::CWin32Window::Get()->device = bench.device;
}

// Drops every mesh, compiled effect and light, so the next load starts from nothing.
void Forget() {
    delete engine::core::ResourceManager::mInstance;
    delete gfx::LightManager::mInstance;
}

void RunLoad(benchmark::State& state, void (*load)()) {
    Setup();
    for (auto _ : state) {
        try {
            load();
        } catch (const engine::core::Exception& e) {
            Fail("the scene did not load: " + engine::core::WideToNarrow(e.GetText()));
        }
        state.PauseTiming();
        Forget();
        state.ResumeTiming();
    }
}

void WholeScene() {
    gfx::DemoLoader::CreateInstance(engine::core::NarrowToWide(kScene))->DestroyInstance();
}

void FileReading() {
    gfx::DemoData scene = gfx::ReadDemoFile(engine::core::NarrowToWide(kScene));
    benchmark::DoNotOptimize(scene);
    for (int i = 0; i < kMeshes; ++i) {
        gfx::TVOData mesh = gfx::ReadTVOFile(engine::core::NarrowToWide(MeshPath(i)));
        benchmark::DoNotOptimize(mesh);
    }
}

void MaterialScripts() {
    for (int i = 0; i < kScripts; ++i) {
        auto candidates = gfx::ParseMaterialScript(MeshPath(i) + ".efx");
        benchmark::DoNotOptimize(candidates);
    }
}

void EffectBuilding() {
    for (int i = 0; i < kScripts; ++i) {
        auto effect = gfx::EffectPool::Get()->BuildEffect(MeshPath(i) + ".efx");
        benchmark::DoNotOptimize(effect);
    }
}

// The built-in meshes only: reading the file, the built-in material and the device buffers.
void BuiltinMeshes() {
    for (int i = kScripts; i < kMeshes; ++i)
        engine::core::ResourceManager::Get()->GetResource<gfx::TVOMesh>(
            engine::core::NarrowToWide(MeshPath(i)));
}

void BuiltinMeshFiles() {
    for (int i = kScripts; i < kMeshes; ++i) {
        gfx::TVOData mesh = gfx::ReadTVOFile(engine::core::NarrowToWide(MeshPath(i)));
        benchmark::DoNotOptimize(mesh);
    }
}

void BM_SceneLoad_Whole(benchmark::State& state) {
    RunLoad(state, WholeScene);
}
void BM_SceneLoad_FileReading(benchmark::State& state) {
    RunLoad(state, FileReading);
}
void BM_SceneLoad_Lua(benchmark::State& state) {
    RunLoad(state, MaterialScripts);
}
// Lua plus effect compilation; compilation alone is this minus BM_SceneLoad_Lua.
void BM_SceneLoad_EffectBuild(benchmark::State& state) {
    RunLoad(state, EffectBuilding);
}
// 30 meshes read, given a built-in material and put on the device; buffer creation alone is this minus
// BM_SceneLoad_BuiltinMeshFiles.
void BM_SceneLoad_BuiltinMeshes(benchmark::State& state) {
    RunLoad(state, BuiltinMeshes);
}
void BM_SceneLoad_BuiltinMeshFiles(benchmark::State& state) {
    RunLoad(state, BuiltinMeshFiles);
}

} // namespace

BENCHMARK(BM_SceneLoad_Whole)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneLoad_FileReading)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneLoad_Lua)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneLoad_EffectBuild)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneLoad_BuiltinMeshes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SceneLoad_BuiltinMeshFiles)->Unit(benchmark::kMillisecond);
