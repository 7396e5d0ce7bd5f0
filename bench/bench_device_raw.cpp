// Draws per second through the device layer against a raw OpenGL loop doing the same draws in the
// same run: N small indexed meshes per frame, each with its own world matrix, switching mesh every
// 10 draws and texture every 25 (state-cache hits and misses). Both loops use the device's
// fixed-function program, so the GPU work is identical and the difference is the layer's cost.
#include "gpu/glDevice.h"
#include "math/operators.h"
#include "math/transforms.h"

#include <SDL.h>
#include <benchmark/benchmark.h>
#include <epoxy/gl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace gpu = engine::gpu;
using engine::math::Matrix4x4;

namespace {

constexpr int kMeshes = 4;
constexpr int kTextures = 2;
constexpr int kMeshRun = 10;
constexpr int kTextureRun = 25;
constexpr int kMaxDraws = 4000;
constexpr std::uint32_t kStride = 32;

struct Mesh {
    gpu::Ref<gpu::VertexBuffer> vertices;
    gpu::Ref<gpu::IndexBuffer> indices;
    GLuint rawVertexArray = 0, rawVertices = 0, rawIndices = 0;
};

struct Bench {
    SDL_Window* window = nullptr;
    gpu::Device* device = nullptr;
    gpu::Ref<gpu::VertexDeclaration> declaration;
    gpu::Ref<gpu::Texture> textures[kTextures];
    Mesh meshes[kMeshes];
    std::vector<Matrix4x4> worlds;
    GLuint program = 0;
    GLint worldViewAt = -1, normalMatrixAt = -1;
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

void MakeMesh(Bench& bench, Mesh& mesh, float scale) {
    std::vector<float> vertices;
    std::vector<std::uint16_t> indices;
    CubeData(scale, vertices, indices);
    gpu::VertexBuffer* vb = nullptr;
    gpu::IndexBuffer* ib = nullptr;
    void* data = nullptr;
    bench.device->CreateVertexBuffer(vertices.size() * 4, gpu::UsageWriteOnly, &vb);
    vb->Lock(0, 0, &data, 0);
    std::memcpy(data, vertices.data(), vertices.size() * 4);
    vb->Unlock();
    bench.device->CreateIndexBuffer(indices.size() * 2, gpu::UsageWriteOnly, gpu::FormatIndex16, &ib);
    ib->Lock(0, 0, &data, 0);
    std::memcpy(data, indices.data(), indices.size() * 2);
    ib->Unlock();
    mesh.vertices = gpu::Ref<gpu::VertexBuffer>::Adopt(vb);
    mesh.indices = gpu::Ref<gpu::IndexBuffer>::Adopt(ib);

    // The raw loop's own copy, with one vertex array object per mesh as a hand-written renderer would.
    glGenVertexArrays(1, &mesh.rawVertexArray);
    glBindVertexArray(mesh.rawVertexArray);
    glGenBuffers(1, &mesh.rawVertices);
    glBindBuffer(GL_ARRAY_BUFFER, mesh.rawVertices);
    glBufferData(GL_ARRAY_BUFFER, vertices.size() * 4, vertices.data(), GL_STATIC_DRAW);
    glGenBuffers(1, &mesh.rawIndices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mesh.rawIndices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, indices.size() * 2, indices.data(), GL_STATIC_DRAW);
    const int components[3] = {3, 3, 2}, locations[3] = {0, 1, 2}, offsets[3] = {0, 12, 24};
    for (int i = 0; i < 3; ++i) {
        glEnableVertexAttribArray(locations[i]);
        glVertexAttribPointer(locations[i], components[i], GL_FLOAT, GL_FALSE, kStride,
                              reinterpret_cast<const void*>(std::uintptr_t(offsets[i])));
    }
}

void SetupLighting(gpu::Device* device) {
    gpu::Material material;
    material.diffuse = {1.0f, 0.8f, 0.6f, 1.0f};
    material.ambient = {0.2f, 0.2f, 0.2f, 1.0f};
    device->SetMaterial(material);
    gpu::Light light;
    light.diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.position = {0.0f, 5.0f, -5.0f};
    light.range = 1000.0f;
    light.attenuation0 = 1.0f;
    device->SetLight(0, light);
    device->LightEnable(0, true);
    device->SetTransform(gpu::TransformProjection,
                         engine::math::MatrixPerspectiveFovLH(0.7853982f, 1.0f, 0.5f, 1000.0f));
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
    if (bench.window == nullptr || gpu::Failed(gpu::CreateGlDevice(parameters, &bench.device, &reason))) {
        std::fprintf(stderr, "no OpenGL device: %s %s\n", SDL_GetError(), reason.c_str());
        std::exit(1);
    }
    const gpu::VertexElement elements[] = {{0, 0, gpu::DeclFloat3, 0, gpu::UsagePosition, 0},
                                           {0, 12, gpu::DeclFloat3, 0, gpu::UsageNormal, 0},
                                           {0, 24, gpu::DeclFloat2, 0, gpu::UsageTexCoord, 0},
                                           gpu::kDeclEnd};
    gpu::VertexDeclaration* declaration = nullptr;
    bench.device->CreateVertexDeclaration(elements, &declaration);
    bench.declaration = gpu::Ref<gpu::VertexDeclaration>::Adopt(declaration);
    for (auto& texture : bench.textures) {
        gpu::Texture* raw = nullptr;
        bench.device->CreateTexture(64, 64, 1, gpu::UsageRenderTarget, gpu::FormatX8R8G8B8, &raw);
        texture = gpu::Ref<gpu::Texture>::Adopt(raw);
    }
    GLint deviceVertexArray = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &deviceVertexArray);
    for (int i = 0; i < kMeshes; ++i)
        MakeMesh(bench, bench.meshes[i], 0.05f + 0.01f * i);
    glBindVertexArray(deviceVertexArray);
    for (int i = 0; i < kMaxDraws; ++i)
        bench.worlds.push_back(engine::math::MatrixTranslation(
            {-2.0f + 0.1f * (i % 40), -2.0f + 0.1f * ((i / 40) % 40), 6.0f + 0.001f * i}));
    SetupLighting(bench.device);
    return bench;
}

void DeviceFrame(Bench& bench, int draws) {
    gpu::Device* device = bench.device;
    device->BeginScene();
    device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF000000, 1.0f, 0);
    for (int i = 0; i < draws; ++i) {
        const Mesh& mesh = bench.meshes[(i / kMeshRun) % kMeshes];
        device->SetTransform(gpu::TransformWorld, bench.worlds[i]);
        device->SetTexture(0, bench.textures[(i / kTextureRun) % kTextures].Get());
        device->SetVertexDeclaration(bench.declaration.Get());
        device->SetStreamSource(0, mesh.vertices.Get(), 0, kStride);
        device->SetIndices(mesh.indices.Get());
        device->DrawIndexedPrimitive(gpu::PrimitiveTriangleList, 0, 0, 24, 0, 12);
    }
    device->EndScene();
    glFinish();
}

void BM_DeviceDraws(benchmark::State& state) {
    Bench& bench = Setup();
    const int draws = static_cast<int>(state.range(0));
    for (auto _ : state)
        DeviceFrame(bench, draws);
    state.counters["draws_per_second"] =
        benchmark::Counter(double(draws) * state.iterations(), benchmark::Counter::kIsRate);
}

// The same frame in plain OpenGL: the same program, a world-view and normal matrix per draw, and a
// bind only when the mesh or texture changes.
void RawFrame(Bench& bench, int draws, const GLuint textures[kTextures]) {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glUseProgram(bench.program);
    GLuint boundArray = 0, boundTexture = 0;
    glActiveTexture(GL_TEXTURE0);
    for (int i = 0; i < draws; ++i) {
        const Mesh& mesh = bench.meshes[(i / kMeshRun) % kMeshes];
        const GLuint texture = textures[(i / kTextureRun) % kTextures];
        const Matrix4x4& worldView = bench.worlds[i]; // the view is the identity
        Matrix4x4 inverse;
        engine::math::MatrixInverse(worldView, inverse);
        float normal[9];
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                normal[3 * r + c] = inverse.m[4 * c + r];
        glUniformMatrix4fv(bench.worldViewAt, 1, GL_FALSE, worldView.m);
        glUniformMatrix3fv(bench.normalMatrixAt, 1, GL_FALSE, normal);
        if (boundArray != mesh.rawVertexArray)
            glBindVertexArray(boundArray = mesh.rawVertexArray);
        if (boundTexture != texture)
            glBindTexture(GL_TEXTURE_2D, boundTexture = texture);
        glDrawElements(GL_TRIANGLES, 36, GL_UNSIGNED_SHORT, nullptr);
    }
    glFinish();
}

void BM_RawGlDraws(benchmark::State& state) {
    Bench& bench = Setup();
    // One device frame leaves its fixed-function program in use with every uniform but the
    // per-draw matrices set; the raw loop borrows it.
    DeviceFrame(bench, 1);
    GLint program = 0, deviceArray = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &deviceArray);
    bench.program = program;
    bench.worldViewAt = glGetUniformLocation(program, "worldView");
    bench.normalMatrixAt = glGetUniformLocation(program, "normalMatrix");
    GLuint textures[kTextures];
    for (int i = 0; i < kTextures; ++i) {
        bench.device->SetTexture(0, bench.textures[i].Get());
        GLint name = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        textures[i] = name;
    }
    const int draws = static_cast<int>(state.range(0));
    for (auto _ : state)
        RawFrame(bench, draws, textures);
    state.counters["draws_per_second"] =
        benchmark::Counter(double(draws) * state.iterations(), benchmark::Counter::kIsRate);
    // Give the device its own bindings back.
    glBindVertexArray(deviceArray);
    glBindTexture(GL_TEXTURE_2D, textures[kTextures - 1]);
}

} // namespace

BENCHMARK(BM_DeviceDraws)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RawGlDraws)->Arg(100)->Arg(1000)->Arg(4000)->Unit(benchmark::kMillisecond)->UseRealTime();
