// A smoke test a person can run: a lit, textured cube turning in a window made by the screen module,
// drawn through the device's fixed-function path. With --screenshot FILE --frames N it writes frame N
// as a PNG and exits; without, it runs until the window is closed or Escape is pressed.
#include "app/screen.h"
#include "core/input.h"
#include "math/operators.h"
#include "math/transforms.h"

#include <engine/exception.h>

#include <SDL.h>
#include <stb_image_write.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace gpu = engine::gpu;
using engine::math::Matrix4x4;
using engine::math::Vector3f;

namespace {

struct Options {
    std::string screenshot;
    int frames = 0; // 0: until closed
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--screenshot" && i + 1 < argc)
            options.screenshot = argv[++i];
        else if (arg == "--frames" && i + 1 < argc)
            options.frames = std::atoi(argv[++i]);
        else
            return false;
    }
    if (!options.screenshot.empty() && options.frames <= 0)
        options.frames = 1;
    return true;
}

struct Cube {
    gpu::Ref<gpu::VertexBuffer> vertices;
    gpu::Ref<gpu::IndexBuffer> indices;
    gpu::Ref<gpu::VertexDeclaration> declaration;
    gpu::Ref<gpu::Texture> texture;
};

// Six faces of four vertices: position, normal, texture coordinate.
void BuildGeometry(gpu::Device* device, Cube& cube) {
    std::vector<float> data;
    std::vector<std::uint16_t> indices;
    const float axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& n : axes) {
        // Two unit vectors across the face.
        const Vector3f u = n[0] != 0 ? Vector3f(0, 0, 1) : Vector3f(1, 0, 0);
        const Vector3f v(n[1] * u.z - n[2] * u.y, n[2] * u.x - n[0] * u.z, n[0] * u.y - n[1] * u.x);
        const auto base = static_cast<std::uint16_t>(data.size() / 8);
        const float corners[4][2] = {{-1, -1}, {-1, 1}, {1, 1}, {1, -1}};
        for (const auto& c : corners) {
            data.insert(data.end(), {n[0] + c[0] * u.x + c[1] * v.x, n[1] + c[0] * u.y + c[1] * v.y,
                                     n[2] + c[0] * u.z + c[1] * v.z, n[0], n[1], n[2], (c[0] + 1) * 0.5f,
                                     (1 - c[1]) * 0.5f});
        }
        indices.insert(indices.end(), {base, std::uint16_t(base + 1), std::uint16_t(base + 2), base,
                                       std::uint16_t(base + 2), std::uint16_t(base + 3)});
    }
    gpu::VertexBuffer* vb = nullptr;
    gpu::IndexBuffer* ib = nullptr;
    gpu::VertexDeclaration* declaration = nullptr;
    void* locked = nullptr;
    device->CreateVertexBuffer(data.size() * 4, gpu::UsageWriteOnly, &vb);
    vb->Lock(0, 0, &locked, 0);
    std::memcpy(locked, data.data(), data.size() * 4);
    vb->Unlock();
    device->CreateIndexBuffer(indices.size() * 2, gpu::UsageWriteOnly, gpu::FormatIndex16, &ib);
    ib->Lock(0, 0, &locked, 0);
    std::memcpy(locked, indices.data(), indices.size() * 2);
    ib->Unlock();
    const gpu::VertexElement elements[] = {{0, 0, gpu::DeclFloat3, 0, gpu::UsagePosition, 0},
                                           {0, 12, gpu::DeclFloat3, 0, gpu::UsageNormal, 0},
                                           {0, 24, gpu::DeclFloat2, 0, gpu::UsageTexCoord, 0},
                                           gpu::kDeclEnd};
    device->CreateVertexDeclaration(elements, &declaration);
    cube.vertices = gpu::Ref<gpu::VertexBuffer>::Adopt(vb);
    cube.indices = gpu::Ref<gpu::IndexBuffer>::Adopt(ib);
    cube.declaration = gpu::Ref<gpu::VertexDeclaration>::Adopt(declaration);
}

// A checkerboard with a coloured border, written to a temporary PNG and loaded like any texture file.
bool BuildTexture(gpu::Device* device, Cube& cube) {
    constexpr int kSize = 128;
    std::vector<std::uint8_t> rgb(kSize * kSize * 3);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x) {
            std::uint8_t* p = &rgb[(y * kSize + x) * 3];
            const bool border = x < 6 || y < 6 || x >= kSize - 6 || y >= kSize - 6;
            const bool light = ((x / 16) + (y / 16)) % 2 == 0;
            p[0] = border ? 240 : light ? 250 : 40;
            p[1] = border ? 160 : light ? 250 : 90;
            p[2] = border ? 30 : light ? 250 : 200;
        }
    const std::filesystem::path path = std::filesystem::temp_directory_path() / "device-check-texture.png";
    if (stbi_write_png(path.c_str(), kSize, kSize, 3, rgb.data(), kSize * 3) == 0)
        return false;
    gpu::Texture* texture = nullptr;
    std::string reason;
    const bool loaded = !gpu::Failed(device->CreateTextureFromFile(path.wstring(), &texture, &reason));
    std::filesystem::remove(path);
    if (!loaded) {
        std::fprintf(stderr, "device-check: texture: %s\n", reason.c_str());
        return false;
    }
    cube.texture = gpu::Ref<gpu::Texture>::Adopt(texture);
    return true;
}

void SetupLighting(gpu::Device* device) {
    gpu::Material material;
    material.diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    material.ambient = {1.0f, 1.0f, 1.0f, 1.0f};
    device->SetMaterial(material);
    gpu::Light light;
    light.type = gpu::LightPoint;
    light.diffuse = {1.0f, 0.95f, 0.85f, 0.0f};
    light.position = {-3.0f, 3.0f, -2.0f};
    light.range = 1000.0f;
    light.attenuation0 = 1.0f;
    light.attenuation1 = 0.02f;
    device->SetLight(0, light);
    device->LightEnable(0, true);
    device->SetRenderState(gpu::RsAmbient, 0xFF303030);
    device->SetRenderState(gpu::RsCullMode, gpu::CullNone);
    for (auto state : {gpu::SampMinFilter, gpu::SampMagFilter, gpu::SampMipFilter})
        device->SetSamplerState(0, state, gpu::FilterLinear);
}

void DrawFrame(gpu::Device* device, const Cube& cube, int frame) {
    using engine::math::operator*;
    const float angle = frame * 0.03f + 0.6f;
    const Matrix4x4 world = engine::math::MatrixRotationAxis(Vector3f(0.3f, 1.0f, 0.2f), angle) *
                            engine::math::MatrixTranslation(Vector3f(0.0f, 0.0f, 5.0f));
    device->BeginScene();
    device->Clear(gpu::ClearTarget | gpu::ClearZBuffer, 0xFF182030, 1.0f, 0);
    device->SetTransform(gpu::TransformWorld, world);
    device->SetVertexDeclaration(cube.declaration.Get());
    device->SetStreamSource(0, cube.vertices.Get(), 0, 32);
    device->SetIndices(cube.indices.Get());
    device->SetTexture(0, cube.texture.Get());
    device->DrawIndexedPrimitive(gpu::PrimitiveTriangleList, 0, 0, 24, 0, 12);
    device->EndScene();
}

bool WriteScreenshot(gpu::Device* device, const std::string& file) {
    gpu::Surface* backBuffer = nullptr;
    std::vector<std::uint8_t> rgba;
    if (gpu::Failed(device->GetRenderTarget(0, &backBuffer)))
        return false;
    const bool read = !gpu::Failed(device->ReadPixels(backBuffer, rgba));
    const int width = backBuffer->Width(), height = backBuffer->Height();
    backBuffer->Release();
    return read && stbi_write_png(file.c_str(), width, height, 4, rgba.data(), width * 4) != 0;
}

int Run(const Options& options) {
    engine::WindowSettings settings;
    settings.width = 640;
    settings.height = 480;
    settings.title = L"device-check";
    engine::core::CScreen screen;
    screen.Init(settings);
    engine::core::CWin32Window* window = engine::core::CWin32Window::Get();
    gpu::Device* device = window->device;
    Cube cube;
    BuildGeometry(device, cube);
    if (!BuildTexture(device, cube))
        return 1;
    SetupLighting(device);
    for (int frame = 1; options.frames == 0 || frame <= options.frames; ++frame) {
        screen.Update();
        if (window->window == nullptr || engine::core::Input::Get()->keys[27] != 0)
            break;
        DrawFrame(device, cube, frame);
        if (frame == options.frames && !options.screenshot.empty() &&
            !WriteScreenshot(device, options.screenshot)) {
            std::fprintf(stderr, "device-check: cannot write %s\n", options.screenshot.c_str());
            return 1;
        }
        if (gpu::Failed(device->Present()))
            break;
    }
    cube = Cube{};
    window->Shutdown();
    delete window;
    delete engine::core::Input::Get();
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: device-check [--screenshot FILE.png] [--frames N]\n");
        return 2;
    }
    try {
        return Run(options);
    } catch (const engine::core::Exception& e) {
        std::fprintf(stderr, "device-check: %ls (%ls)\n", e.GetText().c_str(), e.GetFunction().c_str());
        return 1;
    }
}
