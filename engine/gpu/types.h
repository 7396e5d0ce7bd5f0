// The values that cross the device interface: Direct3D 9's numeric codes (kept because records and
// files carry them) and the plain records for present parameters, materials, lights and vertex
// declarations. Everything here is data; the device interface is in gpu/device.h.
#pragma once

#include <engine/deviceCaps.h>
#include <engine/math.h>

#include <cstdint>

struct SDL_Window;

namespace engine::gpu {

// Results, with Direct3D's values. Success is 0; failures are negative as 32-bit integers.
using Result = std::int32_t;
constexpr Result kOk = 0;
constexpr Result kFail = static_cast<Result>(0x80004005u);
constexpr Result kDeviceLost = static_cast<Result>(0x88760868u);
constexpr Result kDeviceNotReset = static_cast<Result>(0x88760869u);
constexpr Result kInvalidCall = static_cast<Result>(0x8876086Cu);
constexpr Result kOutOfVideoMemory = static_cast<Result>(0x8876017Cu);
constexpr bool Failed(Result result) {
    return result < 0;
}

enum Format : std::uint32_t {
    FormatUnknown = 0,
    FormatA8R8G8B8 = 21,
    FormatX8R8G8B8 = 22,
    FormatR5G6B5 = 23,
    FormatD24S8 = 75,
    FormatD24X8 = 77,
    FormatD16 = 80,
    FormatIndex16 = 101,
    FormatIndex32 = 102,
};

enum Usage : std::uint32_t {
    UsageRenderTarget = 0x1,
    UsageWriteOnly = 0x8,
    UsageDynamic = 0x200,
};

enum LockFlags : std::uint32_t {
    LockReadOnly = 0x10,
    LockNoOverwrite = 0x1000,
    LockDiscard = 0x2000,
};

enum ClearFlags : std::uint32_t {
    ClearTarget = 0x1,
    ClearZBuffer = 0x2,
    ClearStencil = 0x4,
};

enum TransformState : std::uint32_t {
    TransformView = 2,
    TransformProjection = 3,
    TransformWorld = 256,
};

enum RenderState : std::uint32_t {
    RsZEnable = 7,
    RsFillMode = 8,
    RsZWriteEnable = 14,
    RsSrcBlend = 19,
    RsDestBlend = 20,
    RsCullMode = 22,
    RsZFunc = 23,
    RsAlphaBlendEnable = 27,
    RsSpecularEnable = 29,
    RsLighting = 137,
    RsAmbient = 139,
    RsNormalizeNormals = 143,
    RsColorWriteEnable = 168,
    RsBlendOp = 171,
};
// Render states are stored in a table indexed by their code.
constexpr std::uint32_t kRenderStateCount = 256;

enum FillMode : std::uint32_t { FillPoint = 1, FillWireframe = 2, FillSolid = 3 };
enum CullMode : std::uint32_t { CullNone = 1, CullClockwise = 2, CullCounterClockwise = 3 };
enum Compare : std::uint32_t {
    CmpNever = 1,
    CmpLess,
    CmpEqual,
    CmpLessEqual,
    CmpGreater,
    CmpNotEqual,
    CmpGreaterEqual,
    CmpAlways
};
enum Blend : std::uint32_t {
    BlendZero = 1,
    BlendOne,
    BlendSrcColor,
    BlendInvSrcColor,
    BlendSrcAlpha,
    BlendInvSrcAlpha,
    BlendDestAlpha,
    BlendInvDestAlpha,
    BlendDestColor,
    BlendInvDestColor,
    BlendSrcAlphaSat
};
enum BlendOp : std::uint32_t { BlendOpAdd = 1, BlendOpSubtract, BlendOpRevSubtract, BlendOpMin, BlendOpMax };

enum SamplerState : std::uint32_t {
    SampAddressU = 1,
    SampAddressV = 2,
    SampAddressW = 3,
    SampBorderColor = 4,
    SampMagFilter = 5,
    SampMinFilter = 6,
    SampMipFilter = 7,
    SampMaxAnisotropy = 10,
};
constexpr std::uint32_t kSamplerStateCount = 14;
enum TextureAddress : std::uint32_t { AddressWrap = 1, AddressMirror, AddressClamp, AddressBorder };
enum TextureFilter : std::uint32_t { FilterNone = 0, FilterPoint, FilterLinear, FilterAnisotropic };

enum PrimitiveType : std::uint32_t {
    PrimitivePointList = 1,
    PrimitiveLineList = 2,
    PrimitiveLineStrip = 3,
    PrimitiveTriangleList = 4,
    PrimitiveTriangleStrip = 5,
    PrimitiveTriangleFan = 6,
};

enum LightType : std::uint32_t { LightPoint = 1, LightSpot = 2, LightDirectional = 3 };

constexpr std::uint32_t kPresentIntervalDefault = 0;
constexpr std::uint32_t kPresentIntervalOne = 1;
constexpr std::uint32_t kPresentIntervalTwo = 2;
constexpr std::uint32_t kPresentIntervalImmediate = 0x80000000u;

// 0xAARRGGBB, Direct3D's packed colour.
using Color = std::uint32_t;

struct ColorValue {
    float r = 0.0f, g = 0.0f, b = 0.0f, a = 0.0f;
};

struct Material {
    ColorValue diffuse, ambient, specular, emissive;
    float power = 0.0f;
};

struct Light {
    std::uint32_t type = LightPoint;
    ColorValue diffuse, specular, ambient;
    math::Vector3f position, direction;
    float range = 0.0f;
    float falloff = 0.0f;
    float attenuation0 = 0.0f, attenuation1 = 0.0f, attenuation2 = 0.0f;
    float theta = 0.0f, phi = 0.0f;
};

// One element of a vertex declaration. A declaration is an array ended by kDeclEnd.
enum DeclType : std::uint8_t {
    DeclFloat1 = 0,
    DeclFloat2 = 1,
    DeclFloat3 = 2,
    DeclFloat4 = 3,
    DeclColor = 4, // 4 bytes B, G, R, A, normalised
    DeclUnused = 17
};
enum DeclUsage : std::uint8_t {
    UsagePosition = 0,
    UsageNormal = 3,
    UsageTexCoord = 5,
    UsageTangent = 6,
    UsageBinormal = 7,
    UsageColor = 10
};
struct VertexElement {
    std::uint16_t stream;
    std::uint16_t offset;
    std::uint8_t type;
    std::uint8_t method;
    std::uint8_t usage;
    std::uint8_t usageIndex;
};
constexpr VertexElement kDeclEnd = {0xFF, 0, DeclUnused, 0, 0, 0};

// What the window asks of its back buffer; filled in by the window and kept for Reset.
struct PresentParameters {
    std::uint32_t backBufferWidth = 0; // 0 in windowed mode: the client area decides
    std::uint32_t backBufferHeight = 0;
    std::uint32_t backBufferFormat = FormatX8R8G8B8;
    std::uint32_t backBufferCount = 1;
    std::uint32_t multiSampleType = 0;
    std::uint32_t multiSampleQuality = 0;
    std::uint32_t swapEffect = 1; // discard
    SDL_Window* deviceWindow = nullptr;
    bool windowed = true;
    bool enableAutoDepthStencil = true;
    std::uint32_t autoDepthStencilFormat = FormatD24X8;
    std::uint32_t flags = 0;
    std::uint32_t fullScreenRefreshRate = 0;
    std::uint32_t presentationInterval = kPresentIntervalImmediate;
};

} // namespace engine::gpu
