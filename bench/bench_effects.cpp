// One frame of N lit, textured objects drawn through the effect runtime as the effect-file shader
// draws them: per object the semantic matrices and light, the material script's values and texture,
// CommitChanges and one indexed draw, inside one technique pass of the shipped litTextured.fx.
// bench_effects_raw.cpp compiles this file together with a plain OpenGL loop over the same objects,
// so that both run in one process on one context.
#include "effects/compiledEffect.h"
#include "gpu/glDevice.h"
#include "math/operators.h"
#include "math/transforms.h"

#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

namespace effects_bench {

namespace gpu = engine::gpu;
namespace gfx = engine::gfx;
using engine::math::Matrix4x4;
using engine::math::Vector4f;

constexpr int kMaxObjects = 4000;
constexpr std::uint32_t kStride = 32;

// What each object hands the effect: computed once, so both loops measure binding and drawing only.
struct Object {
    Matrix4x4 world, worldViewProjection, worldInverse;
};

struct Bench {
    SDL_Window* window = nullptr;
    gpu::Device* device = nullptr;
    gfx::SharedParameterPool pool;
    gpu::Ref<gfx::CompiledEffect> effect;
    gpu::Ref<gpu::VertexDeclaration> declaration;
    gpu::Ref<gpu::VertexBuffer> vertices;
    gpu::Ref<gpu::IndexBuffer> indices;
    gpu::Ref<gpu::Texture> texture;
    std::vector<Object> objects;
    std::vector<float> vertexData;
    std::vector<std::uint16_t> indexData;
    Matrix4x4 viewInverse = Matrix4x4::Identity;
    Vector4f light{0.0f, 5.0f, -5.0f, 1.0f};
    Vector4f ambient{0.2f, 0.2f, 0.25f, 1.0f};
    float specularPower = 24.0f;
    gfx::ParameterHandle world, worldViewProjection, worldInverse, viewInverseHandle, lightHandle,
        ambientHandle, specularHandle, diffuseMap;
};

// A cube of 24 vertices (position, normal, texture coordinate) and 36 16-bit indices.
void CubeData(float scale, std::vector<float>& vertices, std::vector<std::uint16_t>& indices) {
    const float axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    const float corners[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
    for (const auto& n : axes) {
        const float u[3] = {n[0] != 0 ? 0.0f : 1.0f, 0.0f, n[0] != 0 ? 1.0f : 0.0f};
        const float v[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
        const auto base = static_cast<std::uint16_t>(vertices.size() / 8);
        for (const auto& c : corners) {
            for (int k = 0; k < 3; ++k)
                vertices.push_back(scale * (n[k] + c[0] * u[k] + c[1] * v[k]));
            vertices.insert(vertices.end(), {n[0], n[1], n[2], (c[0] + 1) / 2, (c[1] + 1) / 2});
        }
        for (int k : {0, 1, 2, 0, 2, 3})
            indices.push_back(static_cast<std::uint16_t>(base + k));
    }
}

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::exit(1);
}

std::string ShippedEffect(const char* name) {
    std::filesystem::path folder = std::filesystem::canonical("/proc/self/exe").parent_path();
    for (; !folder.empty() && folder != folder.root_path(); folder = folder.parent_path())
        if (std::filesystem::exists(folder / "content" / "fx" / name))
            return (folder / "content" / "fx" / name).string();
    Fail(std::string("content/fx/") + name + " not found above the benchmark program");
}

void MakeGeometry(Bench& bench) {
    CubeData(0.05f, bench.vertexData, bench.indexData);
    gpu::VertexBuffer* vb = nullptr;
    gpu::IndexBuffer* ib = nullptr;
    void* data = nullptr;
    bench.device->CreateVertexBuffer(bench.vertexData.size() * 4, gpu::UsageWriteOnly, &vb);
    vb->Lock(0, 0, &data, 0);
    std::memcpy(data, bench.vertexData.data(), bench.vertexData.size() * 4);
    vb->Unlock();
    bench.device->CreateIndexBuffer(bench.indexData.size() * 2, gpu::UsageWriteOnly, gpu::FormatIndex16, &ib);
    ib->Lock(0, 0, &data, 0);
    std::memcpy(data, bench.indexData.data(), bench.indexData.size() * 2);
    ib->Unlock();
    bench.vertices = gpu::Ref<gpu::VertexBuffer>::Adopt(vb);
    bench.indices = gpu::Ref<gpu::IndexBuffer>::Adopt(ib);
    const gpu::VertexElement elements[] = {{0, 0, gpu::DeclFloat3, 0, gpu::UsagePosition, 0},
                                           {0, 12, gpu::DeclFloat3, 0, gpu::UsageNormal, 0},
                                           {0, 24, gpu::DeclFloat2, 0, gpu::UsageTexCoord, 0},
                                           gpu::kDeclEnd};
    gpu::VertexDeclaration* declaration = nullptr;
    bench.device->CreateVertexDeclaration(elements, &declaration);
    bench.declaration = gpu::Ref<gpu::VertexDeclaration>::Adopt(declaration);
}

void MakeEffect(Bench& bench) {
    gfx::CompiledEffect* effect = nullptr;
    std::vector<gfx::EffectDiagnostic> diagnostics;
    if (gpu::Failed(gfx::CompiledEffect::CreateFromFile(bench.device, ShippedEffect("litTextured.fx"),
                                                        &bench.pool, &effect, &diagnostics)))
        Fail("litTextured.fx does not compile:\n" + gfx::DiagnosticsText(diagnostics));
    bench.effect = gpu::Ref<gfx::CompiledEffect>::Adopt(effect);
    bench.effect->SetTechnique(bench.effect->GetTechniqueByName("Plain"));
    // Looked up once, as the effect-file shader does when it is built.
    bench.world = effect->GetParameterBySemantic("World");
    bench.worldViewProjection = effect->GetParameterBySemantic("WorldViewProjection");
    bench.worldInverse = effect->GetParameterBySemantic("WorldInverseTranspose");
    bench.viewInverseHandle = effect->GetParameterBySemantic("ViewInverse");
    bench.lightHandle = effect->GetParameterBySemantic("Light0");
    bench.ambientHandle = effect->GetParameterByName("AmbientColor");
    bench.specularHandle = effect->GetParameterByName("SpecularPower");
    bench.diffuseMap = effect->GetParameterByName("DiffuseMap");
}

Bench& Setup() {
    static Bench bench;
    if (bench.device != nullptr)
        return bench;
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    gpu::ConfigureGlWindow(gpu::FormatX8R8G8B8, gpu::FormatD24X8, 0);
    bench.window = SDL_CreateWindow("bench", 0, 0, 256, 256, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    gpu::PresentParameters parameters;
    parameters.deviceWindow = bench.window;
    std::string reason;
    if (bench.window == nullptr || gpu::Failed(gpu::CreateGlDevice(parameters, &bench.device, &reason)))
        Fail(std::string("no OpenGL device: ") + SDL_GetError() + " " + reason);
    MakeGeometry(bench);
    gpu::Texture* texture = nullptr;
    bench.device->CreateTexture(64, 64, 1, gpu::UsageRenderTarget, gpu::FormatX8R8G8B8, &texture);
    bench.texture = gpu::Ref<gpu::Texture>::Adopt(texture);
    MakeEffect(bench);
    const Matrix4x4 projection = engine::math::MatrixPerspectiveFovLH(0.7853982f, 1.0f, 0.5f, 1000.0f);
    for (int i = 0; i < kMaxObjects; ++i) {
        Object object;
        object.world = engine::math::MatrixTranslation(
            {-2.0f + 0.1f * (i % 40), -2.0f + 0.1f * ((i / 40) % 40), 6.0f + 0.001f * i});
        using engine::math::operator*;
        object.worldViewProjection = object.world * projection;
        engine::math::MatrixInverse(object.world, object.worldInverse);
        bench.objects.push_back(object);
    }
    return bench;
}

// Reads the picture back, which waits until the GPU has drawn it; both loops end their frame so.
void WaitForPicture(Bench& bench) {
    static std::vector<std::uint8_t> pixels;
    gpu::Surface* target = nullptr;
    bench.device->GetRenderTarget(0, &target);
    bench.device->ReadPixels(target, pixels);
    target->Release();
}

// The effect-file shader's work per object (semantics, then script values, commit, draw), with the
// geometry set once as the renderer's cache would leave it.
void EffectFrame(Bench& bench, int count) {
    gpu::Device* device = bench.device;
    gfx::CompiledEffect& effect = *bench.effect.Get();
    device->BeginScene();
    device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF000000, 1.0f, 0);
    std::uint32_t passes = 0;
    effect.Begin(&passes, 0);
    effect.BeginPass(0);
    device->SetVertexDeclaration(bench.declaration.Get());
    device->SetStreamSource(0, bench.vertices.Get(), 0, kStride);
    device->SetIndices(bench.indices.Get());
    for (int i = 0; i < count; ++i) {
        const Object& object = bench.objects[i];
        effect.SetMatrix(bench.world, object.world);
        effect.SetMatrix(bench.viewInverseHandle, bench.viewInverse);
        effect.SetMatrix(bench.worldViewProjection, object.worldViewProjection);
        effect.SetMatrix(bench.worldInverse, object.worldInverse);
        effect.SetVector(bench.lightHandle, bench.light);
        effect.SetRawValue(bench.specularHandle, &bench.specularPower, 0, 4);
        effect.SetRawValue(bench.ambientHandle, &bench.ambient, 0, 16);
        effect.SetTexture(bench.diffuseMap, bench.texture.Get());
        effect.CommitChanges();
        device->DrawIndexedPrimitive(gpu::PrimitiveTriangleList, 0, 0, 24, 0, 12);
    }
    effect.EndPass();
    effect.End();
    device->EndScene();
    WaitForPicture(bench);
}

void BM_EffectObjects(benchmark::State& state) {
    Bench& bench = Setup();
    const int count = static_cast<int>(state.range(0));
    for (auto _ : state)
        EffectFrame(bench, count);
    state.counters["objects_per_second"] =
        benchmark::Counter(double(count) * state.iterations(), benchmark::Counter::kIsRate);
}

} // namespace effects_bench

BENCHMARK(effects_bench::BM_EffectObjects)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();
