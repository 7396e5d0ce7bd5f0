// The graphics device: one abstract interface shaped after the Direct3D 9 calls the engine makes
// (frame control, render targets, buffers, declarations, fixed-function state, textures, indexed draws)
// plus what an effect runtime needs (GLSL programs, uniforms, state save and restore). The OpenGL
// backend lives behind it (gpu/glDevice.h); tests of higher layers may put a recording device in its place.
#pragma once

#include "gpu/types.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace engine::gpu {

// Reference-counted device objects, as in Direct3D: a creator gets one reference, AddRef adds one and
// Release drops one, deleting the object at zero. The device holds its own references to what is bound.
class Object {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    std::uint32_t AddRef() { return ++references; }
    std::uint32_t Release() {
        const std::uint32_t left = --references;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~Object() = default;

private:
    std::uint32_t references = 1;
};

// An owning handle for device objects: adds a reference on copy, releases on destruction.
template <typename T>
class Ref {
public:
    Ref() = default;
    Ref(T* object) : object(object) {
        if (object != nullptr)
            object->AddRef();
    }
    Ref(const Ref& other) : Ref(other.object) {}
    Ref& operator=(const Ref& other) {
        Ref copy(other);
        std::swap(object, copy.object);
        return *this;
    }
    ~Ref() {
        if (object != nullptr)
            object->Release();
    }
    // Takes over a reference the caller already owns (the result of a Create call).
    static Ref Adopt(T* owned) {
        Ref ref;
        ref.object = owned;
        return ref;
    }
    T* Get() const { return object; }
    T* operator->() const { return object; }
    explicit operator bool() const { return object != nullptr; }

private:
    T* object = nullptr;
};

// A picture the device can draw into or copy: the back buffer, or one level of a render-target texture.
class Surface : public Object {
public:
    virtual std::uint32_t Width() const = 0;
    virtual std::uint32_t Height() const = 0;
    virtual std::uint32_t GetFormat() const = 0;
};

class Texture : public Object {
public:
    virtual std::uint32_t Width() const = 0;
    virtual std::uint32_t Height() const = 0;
    virtual std::uint32_t LevelCount() const = 0;
    virtual std::uint32_t GetFormat() const = 0;
    virtual std::uint32_t GetUsage() const = 0;
    // Only render-target textures have surfaces, and only level 0.
    virtual Result GetSurfaceLevel(std::uint32_t level, Surface** surface) = 0;
};

// Lock gives a pointer to `size` bytes from `offset` (size 0: to the end); the bytes reach the GPU at
// Unlock. A lock outside the buffer fails with kInvalidCall. LockDiscard gives the old contents up.
class VertexBuffer : public Object {
public:
    virtual std::uint32_t Length() const = 0;
    virtual Result Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) = 0;
    virtual Result Unlock() = 0;
};

class IndexBuffer : public Object {
public:
    virtual std::uint32_t Length() const = 0;
    virtual std::uint32_t GetFormat() const = 0; // FormatIndex16 or FormatIndex32
    virtual Result Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) = 0;
    virtual Result Unlock() = 0;
};

class VertexDeclaration : public Object {
public:
    // The elements without the end marker.
    virtual const std::vector<VertexElement>& Elements() const = 0;
};

// A GLSL program for the effect runtime. Vertex inputs are bound to declaration elements by usage and
// usage index; uniforms are set by index into Uniforms() and reach the GPU at the next draw.
struct ProgramAttribute {
    std::string name; // the `in` variable of the vertex shader
    std::uint8_t usage;
    std::uint8_t usageIndex;
};
struct ProgramSource {
    std::string vertex;
    std::string fragment;
    std::vector<ProgramAttribute> attributes;
};
enum class UniformType { Float, Vec2, Vec3, Vec4, Mat4, Int, Bool, Sampler2D, Other };
struct UniformInfo {
    std::string name; // arrays are named without "[0]"
    UniformType type;
    std::uint32_t count; // array length, 1 for plain uniforms
};

class Program : public Object {
public:
    virtual const std::vector<UniformInfo>& Uniforms() const = 0;
    // Index into Uniforms(), or -1 when the program has no active uniform of that name.
    virtual int FindUniform(const std::string& name) const = 0;
    // Writes `count` values from the first element on; a type or size mismatch gives kInvalidCall.
    virtual Result SetFloats(int uniform, const float* values, std::size_t count) = 0;
    virtual Result SetInts(int uniform, const std::int32_t* values, std::size_t count) = 0;
    // Uploaded unchanged, so `M * v` in GLSL equals the row-vector product v · M.
    virtual Result SetMatrix(int uniform, const math::Matrix4x4& matrix) = 0;
};

constexpr std::uint32_t kMaxTextureStages = 8;
constexpr std::uint32_t kMaxLights = 8;

// A saved copy of the pipeline state an effect pass may change, for restoring it afterwards.
struct StateBlock {
    std::uint32_t renderStates[kRenderStateCount] = {};
    std::uint32_t samplerStates[kMaxTextureStages][kSamplerStateCount] = {};
    Ref<Texture> textures[kMaxTextureStages];
    Ref<Program> program;
};

class Device : public Object {
public:
    // Frame control. TestCooperativeLevel answers kOk, kDeviceLost (wait) or kDeviceNotReset (Reset now).
    virtual Result TestCooperativeLevel() = 0;
    // Brings a device whose loss can be repaired back to its default state; kDeviceLost while it cannot.
    virtual Result Reset(PresentParameters& parameters) = 0;
    virtual Result BeginScene() = 0;
    virtual Result EndScene() = 0;
    // Clears the current render target; depth z in 0..1.
    virtual Result Clear(std::uint32_t flags, Color color, float z, std::uint32_t stencil) = 0;
    // kDeviceLost when the picture could not be shown: the device is lost from then on.
    virtual Result Present() = 0;

    // Render targets. Target 0 starts as the back buffer.
    virtual Result GetRenderTarget(std::uint32_t index, Surface** surface) = 0;
    virtual Result SetRenderTarget(std::uint32_t index, Surface* surface) = 0;
    // Copies the whole source onto the whole destination, scaling with the filter (point or linear).
    virtual Result StretchRect(Surface* source, Surface* destination, TextureFilter filter) = 0;
    // The surface as RGBA bytes, top row first.
    virtual Result ReadPixels(Surface* source, std::vector<std::uint8_t>& rgba) = 0;
    // Reading back while the next frame draws: QueueReadPixels starts copying the surface on the device
    // and returns at once (kInvalidCall while kMaxQueuedReads wait); TakeQueuedPixels gives the oldest
    // queued picture as ReadPixels would, waiting only for a copy the device has not finished. A lost
    // context drops the queued reads (kDeviceLost).
    static constexpr std::size_t kMaxQueuedReads = 3;
    virtual Result QueueReadPixels(Surface* source) = 0;
    virtual Result TakeQueuedPixels(std::vector<std::uint8_t>& rgba) = 0;

    // Resources.
    virtual Result CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                 std::uint32_t usage, std::uint32_t format, Texture** texture) = 0;
    // PNG, JPEG, TGA, BMP, PSD, GIF, HDR with a full mip chain; on failure `reason` says why.
    virtual Result CreateTextureFromFile(const std::wstring& path, Texture** texture,
                                         std::string* reason) = 0;
    virtual Result CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, VertexBuffer** buffer) = 0;
    virtual Result CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t format,
                                     IndexBuffer** buffer) = 0;
    // `elements` ends with kDeclEnd. Only stream 0 is supported.
    virtual Result CreateVertexDeclaration(const VertexElement* elements,
                                           VertexDeclaration** declaration) = 0;
    // Compiles and links; on failure `diagnostics` holds the compiler's and linker's messages.
    virtual Result CreateProgram(const ProgramSource& source, Program** program,
                                 std::string* diagnostics) = 0;

    // Fixed-function state, used while no program is set.
    virtual Result SetTransform(TransformState state, const math::Matrix4x4& matrix) = 0;
    virtual Result GetTransform(TransformState state, math::Matrix4x4& matrix) = 0;
    virtual Result SetMaterial(const Material& material) = 0;
    virtual Result SetLight(std::uint32_t index, const Light& light) = 0;
    virtual Result LightEnable(std::uint32_t index, bool enable) = 0;

    // Pipeline state, for both paths.
    virtual Result SetRenderState(RenderState state, std::uint32_t value) = 0;
    virtual Result GetRenderState(RenderState state, std::uint32_t& value) = 0;
    virtual Result SetTexture(std::uint32_t stage, Texture* texture) = 0;
    virtual Result SetSamplerState(std::uint32_t stage, SamplerState state, std::uint32_t value) = 0;
    // Null returns to the fixed-function path.
    virtual Result SetProgram(Program* program) = 0;
    virtual void CaptureState(StateBlock& block) = 0;
    virtual void ApplyState(const StateBlock& block) = 0;

    // Geometry.
    virtual Result SetVertexDeclaration(VertexDeclaration* declaration) = 0;
    virtual Result SetStreamSource(std::uint32_t stream, VertexBuffer* buffer, std::uint32_t offset,
                                   std::uint32_t stride) = 0;
    virtual Result SetIndices(IndexBuffer* buffer) = 0;
    virtual Result DrawIndexedPrimitive(std::uint32_t type, std::int32_t baseVertexIndex,
                                        std::uint32_t minIndex, std::uint32_t numVertices,
                                        std::uint32_t startIndex, std::uint32_t primitiveCount) = 0;

    virtual Result GetDeviceCaps(Caps& caps) = 0;

    // Gives the GPU context up for good (the window is going away): device objects forget their GPU
    // side, and the device answers kDeviceLost from then on.
    virtual void ReleaseContext() = 0;
    // Fault injection for recovery tests: the next Present fails with kDeviceLost, the following
    // `stillLostAnswers` cooperative-level tests answer kDeviceLost, then kDeviceNotReset until Reset.
    virtual void InjectDeviceLoss(std::uint32_t stillLostAnswers) = 0;
};

} // namespace engine::gpu
