// How fast the array modifier rewrites its copies every frame: one Update (copy transforms, then every
// vertex of every copy transformed into the discard-locked vertex buffer) for 625 copies of a 24-vertex
// cube and for 100 copies of a 1,000-vertex mesh, both with positions, normals and texture coordinates.
// Each is measured against a plain memcpy of the same bytes through the same Lock and Unlock of the same
// kind of buffer, on two devices: the recording device, whose buffers are plain memory (the CPU work
// alone), and the OpenGL device on an offscreen window, whose Unlock uploads the bytes to the driver.
// Bytes per second are the vertex bytes written per frame; their ratio to memcpy's is the measure.
#include "../tests/render/recordingDevice.h"
#include "gpu/glDevice.h"
#include "math/operators.h"
#include "math/transforms.h"
#include "particles/arrayModifier.h"
#include "platform/window.h"
#include "render/effect.h"
#include "render/material.h"
#include "render/renderer.h"
#include "resources/TVOMesh.h"
#include "scene/geometry.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace engine::gfx;
namespace gpu = engine::gpu;
using engine::math::Vector3f;
using engine::math::operator*;

namespace {

enum class DeviceKind { Memory, OpenGl };
enum Case { kCubes, kDenseMesh };

gpu::Device* MemoryDevice() {
    static gpu::Device* device = new quorvel::test::RecordingDevice;
    return device;
}

gpu::Device* OpenGlDevice() {
    static gpu::Device* device = [] {
        SDL_InitSubSystem(SDL_INIT_VIDEO);
        gpu::ConfigureGlWindow(gpu::FormatX8R8G8B8, gpu::FormatD24X8, 0);
        gpu::PresentParameters parameters;
        parameters.deviceWindow =
            SDL_CreateWindow("bench", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        gpu::Device* made = nullptr;
        std::string reason;
        if (parameters.deviceWindow == nullptr ||
            gpu::Failed(gpu::CreateGlDevice(parameters, &made, &reason))) {
            std::fprintf(stderr, "no OpenGL device: %s %s\n", SDL_GetError(), reason.c_str());
            std::exit(1);
        }
        return made;
    }();
    return device;
}

gpu::Device* Use(DeviceKind kind) {
    gpu::Device* device = kind == DeviceKind::OpenGl ? OpenGlDevice() : MemoryDevice();
    engine::core::CWin32Window::Get()->device = device;
    return device;
}

// The cube of the demo's scenes (four corners per face), or a wavy sheet of 1,000 vertices.
boost::shared_ptr<TVOMesh> MakeMesh(Case which) {
    auto mesh = boost::make_shared<TVOMesh>();
    std::vector<Vector3f> positions, normals;
    std::vector<TVOTexCoord> texCoords;
    std::vector<std::uint16_t> indices;
    if (which == kCubes) {
        for (int face = 0; face < 6; ++face) {
            Vector3f normal;
            (&normal.x)[face / 2] = face % 2 == 0 ? 1.0f : -1.0f;
            for (int corner = 0; corner < 4; ++corner) {
                Vector3f p = normal;
                (&p.x)[(face / 2 + 1) % 3] = corner & 1 ? 1.0f : -1.0f;
                (&p.x)[(face / 2 + 2) % 3] = corner & 2 ? 1.0f : -1.0f;
                positions.push_back(p);
                normals.push_back(normal);
                texCoords.push_back({corner & 1 ? 1.0f : 0.0f, corner & 2 ? 1.0f : 0.0f});
            }
            const auto first = static_cast<std::uint16_t>(4 * face);
            indices.insert(indices.end(), {first, std::uint16_t(first + 1), std::uint16_t(first + 3), first,
                                           std::uint16_t(first + 3), std::uint16_t(first + 2)});
        }
    } else {
        for (int i = 0; i < 1000; ++i) {
            const float u = static_cast<float>(i % 40), v = static_cast<float>(i / 40);
            positions.push_back({u, std::sin(u * 0.3f) * std::cos(v * 0.2f), v});
            Vector3f normal(-0.3f * std::cos(u * 0.3f), 1.0f, 0.2f * std::sin(v * 0.2f));
            normal.Normalize();
            normals.push_back(normal);
            texCoords.push_back({u / 40, v / 25});
            if (i + 41 < 1000 && i % 40 != 39)
                indices.insert(indices.end(),
                               {std::uint16_t(i), std::uint16_t(i + 1), std::uint16_t(i + 40),
                                std::uint16_t(i + 1), std::uint16_t(i + 41), std::uint16_t(i + 40)});
        }
    }
    mesh->positions = positions;
    mesh->normals = normals;
    mesh->texCoords = texCoords;
    mesh->indexCount = static_cast<int>(indices.size());
    mesh->indexSize = 2;
    mesh->indices.resize(indices.size() * 2);
    std::memcpy(mesh->indices.data(), indices.data(), mesh->indices.size());
    // An effect without passes: Submit queues nothing, so only the modifier's own work is timed.
    mesh->material = boost::make_shared<Material>();
    mesh->material->effect = boost::make_shared<Effect>();
    return mesh;
}

// The object and its offset objects turned and scaled a little per step, so every copy has a
// general transform for its positions and normals.
struct Array {
    explicit Array(Case which) {
        auto object = Place({0, 0, 10}, 0.0f, 1.0f);
        object->AddChild(boost::make_shared<Geometry>(MakeMesh(which), object.get()));
        engine::ArrayInfo info;
        info.object = object.get();
        const int counts[2] = {which == kCubes ? 25 : 100, which == kCubes ? 25 : 1};
        const Vector3f steps[2] = {{2.2f, 0, 10}, {0, 2.2f, 10}};
        for (int e = 0; e < 2; ++e) {
            auto offset = Place(steps[e], 0.02f * (e + 1), 1.001f);
            offset->AddChild(boost::make_shared<Geometry>(nullptr, offset.get()));
            info.entries.push_back({{}, offset.get(), counts[e], false, true});
        }
        ArrayModifierInfo record;
        if (!ConvertArrayInfo(info, record))
            std::abort();
        modifier = boost::make_shared<ArrayModifier>(record, root.get());
        root->AddChild(modifier);
    }
    boost::shared_ptr<Node> Place(Vector3f at, float turn, float scale) {
        auto node = boost::make_shared<Node>(root.get());
        Transform pose;
        pose.translation = at;
        pose.rotation = (engine::math::MatrixRotationAxis({0.3f, 1, 0.2f}, turn) *
                         engine::math::MatrixScaling(scale, scale, scale))
                            .GetRotation();
        node->SetLocalTransform(pose);
        root->AddChild(node);
        return node;
    }
    std::int64_t FrameBytes() const { return std::int64_t(modifier->GetVertexBuffer()->Length()); }

    boost::shared_ptr<Node> root = boost::make_shared<Node>(nullptr);
    boost::shared_ptr<ArrayModifier> modifier;
};

template <DeviceKind kKind>
void BM_ArrayModifierUpdate(benchmark::State& state) {
    Use(kKind);
    Array array(static_cast<Case>(state.range(0)));
    Renderer renderer;
    for (auto _ : state)
        array.modifier->Update(&renderer);
    state.SetBytesProcessed(state.iterations() * array.FrameBytes());
}

template <DeviceKind kKind>
void BM_MemcpyIntoLockedBuffer(benchmark::State& state) {
    gpu::Device* device = Use(kKind);
    const auto bytes = static_cast<std::uint32_t>(Array(static_cast<Case>(state.range(0))).FrameBytes());
    gpu::VertexBuffer* raw = nullptr;
    if (gpu::Failed(device->CreateVertexBuffer(bytes, gpu::UsageDynamic | gpu::UsageWriteOnly, &raw)))
        std::abort();
    const auto buffer = gpu::Ref<gpu::VertexBuffer>::Adopt(raw);
    const std::vector<std::uint8_t> source(bytes, 0x3f);
    for (auto _ : state) {
        void* data = nullptr;
        buffer->Lock(0, 0, &data, gpu::LockDiscard);
        std::memcpy(data, source.data(), bytes);
        benchmark::ClobberMemory();
        buffer->Unlock();
    }
    state.SetBytesProcessed(state.iterations() * std::int64_t(bytes));
}

} // namespace

// Argument 0: 625 cubes of 24 vertices; 1: 100 copies of 1,000 vertices.
BENCHMARK_TEMPLATE(BM_ArrayModifierUpdate, DeviceKind::Memory)->Arg(kCubes)->Arg(kDenseMesh);
BENCHMARK_TEMPLATE(BM_MemcpyIntoLockedBuffer, DeviceKind::Memory)->Arg(kCubes)->Arg(kDenseMesh);
BENCHMARK_TEMPLATE(BM_ArrayModifierUpdate, DeviceKind::OpenGl)->Arg(kCubes)->Arg(kDenseMesh);
BENCHMARK_TEMPLATE(BM_MemcpyIntoLockedBuffer, DeviceKind::OpenGl)->Arg(kCubes)->Arg(kDenseMesh);
