// Test support: an OpenGL device on a hidden offscreen SDL window, with the log captured in a
// temporary folder, plus helpers that build simple geometry and read pixels back.
#pragma once

#include "gpu/glDevice.h"
#include "support/logCapture.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ostream>
#include <vector>

namespace quorvel::test {

namespace gpu = engine::gpu;

struct Rgba {
    int r, g, b, a;
};
inline std::ostream& operator<<(std::ostream& out, const Rgba& p) {
    return out << "(" << p.r << ", " << p.g << ", " << p.b << ", " << p.a << ")";
}

class OffscreenDeviceTest : public ::testing::Test {
protected:
    static constexpr int kSize = 64;

    void SetUp() override { Open(0); }
    void TearDown() override {
        Close();
        const std::string text = log.CloseAndRead();
        EXPECT_EQ(text.find("GL error"), std::string::npos) << text;
    }

    void Open(std::uint32_t samples) {
        ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
        gpu::ConfigureGlWindow(gpu::FormatX8R8G8B8, gpu::FormatD24X8, samples);
        window = SDL_CreateWindow("test", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(window, nullptr) << SDL_GetError();
        parameters.deviceWindow = window;
        parameters.multiSampleType = samples;
        std::string reason;
        ASSERT_EQ(gpu::CreateGlDevice(parameters, &device, &reason), gpu::kOk) << reason;
    }
    void Close() {
        if (device != nullptr)
            device->Release();
        device = nullptr;
        if (window != nullptr)
            SDL_DestroyWindow(window);
        window = nullptr;
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    // Positions straight into clip space: world, view and projection all identity, no lighting.
    void UseClipSpace() {
        for (auto state : {gpu::TransformWorld, gpu::TransformView, gpu::TransformProjection})
            device->SetTransform(state, engine::math::Matrix4x4::Identity);
        device->SetRenderState(gpu::RsLighting, 0);
        device->SetRenderState(gpu::RsCullMode, gpu::CullNone);
    }

    // Vertices of `floatsPerVertex` floats with the given declaration, and 16-bit indices.
    void SetGeometry(const std::vector<float>& vertices, const std::vector<std::uint16_t>& indices,
                     const std::vector<gpu::VertexElement>& elements, std::uint32_t stride) {
        vertexBuffer = MakeVertexBuffer(vertices);
        indexBuffer = MakeIndexBuffer(indices.data(), indices.size() * 2, gpu::FormatIndex16);
        std::vector<gpu::VertexElement> terminated = elements;
        terminated.push_back(gpu::kDeclEnd);
        gpu::VertexDeclaration* raw = nullptr;
        ASSERT_EQ(device->CreateVertexDeclaration(terminated.data(), &raw), gpu::kOk);
        declaration = gpu::Ref<gpu::VertexDeclaration>::Adopt(raw);
        device->SetVertexDeclaration(declaration.Get());
        device->SetStreamSource(0, vertexBuffer.Get(), 0, stride);
        device->SetIndices(indexBuffer.Get());
    }

    gpu::Ref<gpu::VertexBuffer> MakeVertexBuffer(const std::vector<float>& vertices) {
        gpu::VertexBuffer* raw = nullptr;
        EXPECT_EQ(device->CreateVertexBuffer(vertices.size() * 4, gpu::UsageWriteOnly, &raw), gpu::kOk);
        void* data = nullptr;
        EXPECT_EQ(raw->Lock(0, 0, &data, 0), gpu::kOk);
        std::memcpy(data, vertices.data(), vertices.size() * 4);
        EXPECT_EQ(raw->Unlock(), gpu::kOk);
        return gpu::Ref<gpu::VertexBuffer>::Adopt(raw);
    }

    gpu::Ref<gpu::IndexBuffer> MakeIndexBuffer(const void* indices, std::size_t bytes, std::uint32_t format) {
        gpu::IndexBuffer* raw = nullptr;
        EXPECT_EQ(device->CreateIndexBuffer(bytes, gpu::UsageWriteOnly, format, &raw), gpu::kOk);
        void* data = nullptr;
        EXPECT_EQ(raw->Lock(0, 0, &data, 0), gpu::kOk);
        std::memcpy(data, indices, bytes);
        EXPECT_EQ(raw->Unlock(), gpu::kOk);
        return gpu::Ref<gpu::IndexBuffer>::Adopt(raw);
    }

    // A quad from (x0, y0) to (x1, y1) in clip space at depth z, with texture coordinates that put
    // v = 0 at the top, as Direct3D's do.
    void SetClipQuad(float x0, float y0, float x1, float y1, float z = 0.5f) {
        SetGeometry({x0, y1, z, 0, 0, x1, y1, z, 1, 0, x1, y0, z, 1, 1, x0, y0, z, 0, 1}, {0, 1, 2, 0, 2, 3},
                    {{0, 0, gpu::DeclFloat3, 0, gpu::UsagePosition, 0},
                     {0, 12, gpu::DeclFloat2, 0, gpu::UsageTexCoord, 0}},
                    20);
    }

    void DrawIndexed(std::uint32_t primitives) {
        ASSERT_EQ(device->BeginScene(), gpu::kOk);
        EXPECT_EQ(device->DrawIndexedPrimitive(gpu::PrimitiveTriangleList, 0, 0, 4, 0, primitives), gpu::kOk);
        ASSERT_EQ(device->EndScene(), gpu::kOk);
    }

    std::vector<std::uint8_t> Read(gpu::Surface* surface) {
        std::vector<std::uint8_t> pixels;
        EXPECT_EQ(device->ReadPixels(surface, pixels), gpu::kOk);
        return pixels;
    }
    // The current render target's pixel, counted from the top-left corner.
    Rgba Pixel(int x, int y) {
        gpu::Surface* target = nullptr;
        EXPECT_EQ(device->GetRenderTarget(0, &target), gpu::kOk);
        const std::vector<std::uint8_t> pixels = Read(target);
        const std::size_t at = (std::size_t(y) * target->Width() + x) * 4;
        target->Release();
        return {pixels[at], pixels[at + 1], pixels[at + 2], pixels[at + 3]};
    }

    ScopedLogDirectory log;
    SDL_Window* window = nullptr;
    gpu::PresentParameters parameters;
    gpu::Device* device = nullptr;
    gpu::Ref<gpu::VertexBuffer> vertexBuffer;
    gpu::Ref<gpu::IndexBuffer> indexBuffer;
    gpu::Ref<gpu::VertexDeclaration> declaration;
};

inline bool Near(const Rgba& pixel, int r, int g, int b, int tolerance = 2) {
    return std::abs(pixel.r - r) <= tolerance && std::abs(pixel.g - g) <= tolerance &&
           std::abs(pixel.b - b) <= tolerance;
}

} // namespace quorvel::test
