// The capabilities record of the graphics device, modelled on the fields of Direct3D 9's caps that
// the engine reads: shader support tests receive it, and programs may ask for a copy of it.
#pragma once

#include <cstdint>

namespace engine::gpu {

// Version numbers are encoded as Direct3D does: 0xFFFE0000 | major << 8 | minor for vertex shaders,
// 0xFFFF0000 | major << 8 | minor for pixel shaders.
constexpr std::uint32_t VertexShaderVersion(unsigned major, unsigned minor) {
    return 0xFFFE0000u | (major << 8) | minor;
}
constexpr std::uint32_t PixelShaderVersion(unsigned major, unsigned minor) {
    return 0xFFFF0000u | (major << 8) | minor;
}

struct Caps {
    std::uint32_t deviceType = 0;     // 1: hardware
    std::uint32_t adapterOrdinal = 0; // always the default adapter
    std::uint32_t vertexProcessingCaps = 0;
    std::uint32_t vertexShaderVersion = 0;
    std::uint32_t pixelShaderVersion = 0;
    std::uint32_t maxTextureWidth = 0;
    std::uint32_t maxTextureHeight = 0;
    // The largest picture the device draws into, render target or back buffer, each side.
    std::uint32_t maxRenderTargetWidth = 0;
    std::uint32_t maxRenderTargetHeight = 0;
    std::uint32_t maxAnisotropy = 1;
    std::uint32_t maxActiveLights = 0;
    std::uint32_t maxSimultaneousTextures = 0;
    std::uint32_t maxStreams = 1;
    std::uint32_t maxStreamStride = 0;
    // Vertex attribute locations 0 to this minus one exist; effect vertex inputs use fixed locations.
    std::uint32_t maxVertexAttributes = 0;
    std::uint32_t maxVertexIndex = 0;
    std::uint32_t maxPrimitiveCount = 0;
    std::uint32_t maxVertexShaderConst = 0;
    std::uint32_t numSimultaneousRTs = 1;
    std::uint32_t maxMultiSamples = 0; // largest sample count the back buffer accepts
    std::uint32_t glslVersion = 0;     // 330 for OpenGL 3.3 core
};

} // namespace engine::gpu
