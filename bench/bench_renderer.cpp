// The CPU cost of one renderer frame: 10,000 geometries walked, submitted, sorted twice, prepared and
// drawn in batches by the built-in shaders, on a recording device that only counts calls, so the GPU
// does no work. The raw baseline issues the same draws with the same device calls in a plain loop.
// Both report microseconds per object; their ratio is the renderer's overhead.
#include "../tests/render/recordingDevice.h"
#include "platform/window.h"
#include "render/ambientShader.h"
#include "render/diffuseShader.h"
#include "render/effect.h"
#include "render/material.h"
#include "render/mesh.h"
#include "render/renderer.h"
#include "render/wireframeShader.h"
#include "resources/resourceManager.h"
#include "scene/geometry.h"
#include <engine/scene.h>

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

using namespace engine::gfx;
using quorvel::test::FakeBuffer;
using quorvel::test::FakeDeclaration;
using quorvel::test::FakeIndexBuffer;
using quorvel::test::RecordingDevice;
namespace gpu = engine::gpu;

namespace {

constexpr int kObjects = 10000;
constexpr int kMeshes = 100;

class BenchMesh : public Mesh {
public:
    BenchMesh() : Mesh(L"bench") {
        vertexBuffer = gpu::Ref<gpu::VertexBuffer>::Adopt(new FakeBuffer<gpu::VertexBuffer>(96));
        indexBuffer = gpu::Ref<gpu::IndexBuffer>::Adopt(new FakeIndexBuffer(12, gpu::FormatIndex16));
        declaration = gpu::Ref<gpu::VertexDeclaration>::Adopt(new FakeDeclaration);
        vertexCount = 4;
        primitiveCount = 2;
        stride = 24;
        material = boost::make_shared<Material>();
    }
    void Load() override {}
    void Unload() override {}
    void OnLostDevice() override {}
    void OnResetDevice() override {}
};

// The window's device, the three built-in effects and 100 meshes shared by 10,000 geometries, each
// under a node of its own at its own position, spread over the effects.
struct Scene {
    Scene() {
        device = new RecordingDevice;
        engine::core::CWin32Window::Get()->device = device;
        SetShaderContext(device, &renderer);
        renderer.Start();
        const boost::shared_ptr<Shader> shaders[] = {boost::make_shared<AmbientShader>(),
                                                     boost::make_shared<WireframeShader>(),
                                                     boost::make_shared<DiffuseShader>()};
        for (int i = 0; i < kMeshes; ++i) {
            auto mesh = boost::make_shared<BenchMesh>();
            mesh->material->effect = boost::make_shared<Effect>();
            mesh->material->effect->AddShader(shaders[i % 3]);
            meshes.push_back(mesh);
        }
        auto base = boost::make_shared<Node>(renderer.GetRootNode().get());
        for (int i = 0; i < kObjects; ++i) {
            auto holder = boost::make_shared<Node>(base.get());
            Transform place;
            place.translation = {static_cast<float>(i % 100), static_cast<float>(i / 100), 10.0f};
            holder->SetLocalTransform(place);
            holder->AddChild(boost::make_shared<Geometry>(meshes[(i * 7) % kMeshes], holder.get()));
            base->AddChild(holder);
        }
        renderer.AttachToRoot(base);
    }
    ~Scene() {
        SetShaderContext(nullptr, nullptr);
        renderer.Stop();
        delete engine::core::ResourceManager::mInstance;
        delete engine::core::CWin32Window::mInstance;
    }

    RecordingDevice* device;
    Renderer renderer;
    std::vector<boost::shared_ptr<BenchMesh>> meshes;
};

void ReportPerObject(benchmark::State& state, RecordingDevice& device, std::uint64_t callsBefore) {
    state.counters["us_per_object"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kObjects / 1e6,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["device_calls_per_frame"] =
        static_cast<double>(device.calls - callsBefore) / static_cast<double>(state.iterations());
}

void BM_RendererFrame(benchmark::State& state) {
    Scene scene;
    scene.renderer.Update(); // the first frame makes "lastFrame"
    const std::uint64_t before = scene.device->calls;
    for (auto _ : state)
        scene.renderer.Update();
    ReportPerObject(state, *scene.device, before);
}
BENCHMARK(BM_RendererFrame)->Unit(benchmark::kMillisecond);

// The frame without the scene walk: the 10,000 render objects are made once and submitted again each
// frame, so only submission, the two sorts, prepare and the batched draws are measured.
class Resubmitter : public Spatial {
public:
    void Update(Renderer* renderer) override {
        for (const auto& object : objects)
            renderer->Submit(object);
    }
    std::vector<boost::shared_ptr<RenderObject>> objects;
};

void BM_RendererQueueOnly(benchmark::State& state) {
    Scene scene;
    auto submitter = boost::make_shared<Resubmitter>();
    for (int i = 0; i < kObjects; ++i)
        submitter->objects.push_back(scene.meshes[(i * 7) % kMeshes]->CreateRenderObject());
    scene.renderer.ClearRoot();
    scene.renderer.AttachToRoot(submitter);
    scene.renderer.Update();
    const std::uint64_t before = scene.device->calls;
    for (auto _ : state)
        scene.renderer.Update();
    ReportPerObject(state, *scene.device, before);
}
BENCHMARK(BM_RendererQueueOnly)->Unit(benchmark::kMillisecond);

// The same draws as the renderer's frame, issued directly: per object the material, the world
// matrix, texture stage 0, the geometry where the mesh changed and the draw, plus the three pass framings.
void BM_RawDrawLoop(benchmark::State& state) {
    Scene scene;
    struct Draw {
        engine::math::Matrix4x4 world;
        BenchMesh* mesh;
    };
    std::vector<Draw> draws;
    for (int i = 0; i < kObjects; ++i) {
        Draw draw{engine::math::Matrix4x4::Identity, scene.meshes[(i * 7) % kMeshes].get()};
        draw.world.m[12] = static_cast<float>(i % 100);
        draws.push_back(draw);
    }
    gpu::Device& device = *scene.device;
    const std::uint64_t before = scene.device->calls;
    for (auto _ : state) {
        device.BeginScene();
        device.Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0, 1.0f, 0);
        const BenchMesh* bound = nullptr;
        for (const Draw& draw : draws) {
            gpu::Material material;
            material.ambient = {1, 1, 1, 0};
            device.SetMaterial(material);
            device.SetTransform(gpu::TransformWorld, draw.world);
            device.SetTexture(0, nullptr);
            if (draw.mesh != bound) {
                device.SetVertexDeclaration(draw.mesh->declaration.Get());
                device.SetStreamSource(0, draw.mesh->vertexBuffer.Get(), 0, 24);
                device.SetIndices(draw.mesh->indexBuffer.Get());
                bound = draw.mesh;
            }
            device.DrawIndexedPrimitive(gpu::PrimitiveTriangleList, 0, 0, 4, 0, 2);
        }
        device.EndScene();
        device.Present();
    }
    ReportPerObject(state, *scene.device, before);
}
BENCHMARK(BM_RawDrawLoop)->Unit(benchmark::kMillisecond);

} // namespace
