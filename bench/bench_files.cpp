// Reading the files of one scene: a .demo of 200 animated objects and the 50 .tvo meshes it names.
// This is the file-reading share of loading a scene, before any material script, effect or buffer.
#include "formats/demoWriter.h"
#include "formats/tvoWriter.h"
#include "resources/tvoReader.h"
#include "scene/demoReader.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <filesystem>

namespace {

using namespace quorvel::formats;

constexpr int kObjects = 200;
constexpr int kMeshes = 50;
// A mesh of a demo scene: a grid of 2,500 vertices with normals and texture coordinates.
constexpr int kGrid = 50;

std::filesystem::path SceneFolder() {
    static const std::filesystem::path folder = [] {
        const auto root = std::filesystem::temp_directory_path() / "quorvel-bench-files";
        std::filesystem::remove_all(root);
        std::vector<Float3> positions, normals;
        std::vector<Float2> texCoords;
        for (int y = 0; y < kGrid; ++y)
            for (int x = 0; x < kGrid; ++x) {
                positions.push_back({float(x), float(y), std::sin(x * 0.3f)});
                normals.push_back({0, 0, 1});
                texCoords.push_back({x / float(kGrid), y / float(kGrid)});
            }
        std::vector<std::uint32_t> indices;
        for (int y = 0; y + 1 < kGrid; ++y)
            for (int x = 0; x + 1 < kGrid; ++x) {
                const std::uint32_t i = y * kGrid + x;
                indices.insert(indices.end(), {i, i + 1, i + kGrid, i + 1, i + kGrid + 1, i + kGrid});
            }
        for (int m = 0; m < kMeshes; ++m) {
            TVOWriter mesh;
            mesh.Material(0, {"data/textures/stone.png"});
            mesh.Extents({0, 0, -1}, {kGrid, kGrid, 1});
            mesh.Positions(positions);
            mesh.Normals(normals);
            mesh.TexCoords(texCoords);
            mesh.Indices(2, indices);
            mesh.End();
            mesh.Save(root / "scene.demo_scene" / ("mesh" + std::to_string(m) + ".tvo"));
        }
        std::vector<DemoObjectRecord> objects(kObjects);
        for (int o = 0; o < kObjects; ++o) {
            DemoObjectRecord& object = objects[o];
            object.type = o < kMeshes ? "Mesh" : (o == kMeshes ? "Camera" : "Empty");
            object.name = "object" + std::to_string(o);
            object.meshName = o < kMeshes ? "mesh" + std::to_string(o) : "";
            object.parentName = o % 4 == 3 ? "object" + std::to_string(o - 1) : "";
            object.position = {float(o), 0, 0};
            for (const char* channel : {"LocX", "LocY", "RotZ"}) {
                DemoCurveRecord curve{channel, "Bezier", "Cyclic", {}};
                for (int k = 0; k < 40; ++k)
                    curve.keys.push_back({k * 10.0f - 3, 0, k * 10.0f, float(k % 7), k * 10.0f + 3, 0});
                object.curves.push_back(curve);
            }
        }
        DemoWriter::Scene(2500, objects).Save(root / "scene.demo");
        return root;
    }();
    return folder;
}

void ReadSceneDemo(benchmark::State& state) {
    const std::wstring path = (SceneFolder() / "scene.demo").wstring();
    for (auto _ : state)
        benchmark::DoNotOptimize(engine::gfx::ReadDemoFile(path));
}

void ReadSceneMeshes(benchmark::State& state) {
    const std::filesystem::path folder = SceneFolder() / "scene.demo_scene";
    std::vector<std::wstring> paths;
    for (int m = 0; m < kMeshes; ++m)
        paths.push_back((folder / ("mesh" + std::to_string(m) + ".tvo")).wstring());
    for (auto _ : state)
        for (const std::wstring& path : paths)
            benchmark::DoNotOptimize(engine::gfx::ReadTVOFile(path));
}

// The whole reading share of one scene load: the scene file, then each of its meshes.
void ReadWholeScene(benchmark::State& state) {
    const std::filesystem::path folder = SceneFolder();
    for (auto _ : state) {
        const engine::gfx::DemoData scene = engine::gfx::ReadDemoFile((folder / "scene.demo").wstring());
        for (const engine::gfx::DemoObject& object : scene.objects)
            if (object.type == "Mesh")
                benchmark::DoNotOptimize(engine::gfx::ReadTVOFile(
                    (folder / "scene.demo_scene" / (object.meshName + ".tvo")).wstring()));
    }
}

} // namespace

BENCHMARK(ReadSceneDemo)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadSceneMeshes)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadWholeScene)->Unit(benchmark::kMillisecond);
