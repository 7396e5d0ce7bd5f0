// The OpenGL 3.3 core backend of the device interface, drawn on the SDL window's context through
// libepoxy. It keeps Direct3D's conventions: left-handed projection with depth 0..1, clockwise front
// faces, row-vector matrices uploaded unchanged, and render-target textures stored top row first.
#pragma once

#include "gpu/device.h"
#include "gpu/fixedFunction.h"
#include "gpu/glObjects.h"
#include "gpu/glReadBack.h"

#include <SDL.h>

#include <optional>

namespace engine::gpu {

// Sets the SDL attributes of the window's pixel format (back-buffer format, depth format, samples)
// and the context version. Call it before the window is created.
void ConfigureGlWindow(std::uint32_t backBufferFormat, std::uint32_t depthStencilFormat,
                       std::uint32_t multiSampleType);
// The capabilities of the OpenGL driver behind the window, read through a short-lived context.
Result QueryGlCaps(SDL_Window* window, Caps& caps, std::string* reason);
// Creates the device on parameters.deviceWindow; fills in the back-buffer size in windowed mode.
Result CreateGlDevice(PresentParameters& parameters, Device** device, std::string* reason);

class GlDevice final : public Device {
public:
    GlDevice(SDL_Window* window, SDL_GLContext context, bool robust);
    ~GlDevice() override;
    void Initialise(PresentParameters& parameters);

    Result TestCooperativeLevel() override;
    Result Reset(PresentParameters& parameters) override;
    Result BeginScene() override;
    Result EndScene() override;
    Result Clear(std::uint32_t flags, Color color, float z, std::uint32_t stencil) override;
    Result Present() override;

    Result GetRenderTarget(std::uint32_t index, Surface** surface) override;
    Result SetRenderTarget(std::uint32_t index, Surface* surface) override;
    Result StretchRect(Surface* source, Surface* destination, TextureFilter filter) override;
    Result ReadPixels(Surface* source, std::vector<std::uint8_t>& rgba) override;
    Result QueueReadPixels(Surface* source) override;
    Result TakeQueuedPixels(std::vector<std::uint8_t>& rgba) override;

    Result CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, std::uint32_t usage,
                         std::uint32_t format, Texture** texture) override;
    Result CreateTextureFromFile(const std::wstring& path, Texture** texture, std::string* reason) override;
    Result CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, VertexBuffer** buffer) override;
    Result CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t format,
                             IndexBuffer** buffer) override;
    Result CreateVertexDeclaration(const VertexElement* elements, VertexDeclaration** declaration) override;
    Result CreateProgram(const ProgramSource& source, Program** program, std::string* diagnostics) override;

    Result SetTransform(TransformState state, const math::Matrix4x4& matrix) override;
    Result GetTransform(TransformState state, math::Matrix4x4& matrix) override;
    Result SetMaterial(const Material& material) override;
    Result SetLight(std::uint32_t index, const Light& light) override;
    Result LightEnable(std::uint32_t index, bool enable) override;

    Result SetRenderState(RenderState state, std::uint32_t value) override;
    Result GetRenderState(RenderState state, std::uint32_t& value) override;
    Result SetTexture(std::uint32_t stage, Texture* texture) override;
    Result SetSamplerState(std::uint32_t stage, SamplerState state, std::uint32_t value) override;
    Result SetProgram(Program* program) override;
    void CaptureState(StateBlock& block) override;
    void ApplyState(const StateBlock& block) override;

    Result SetVertexDeclaration(VertexDeclaration* declaration) override;
    Result SetStreamSource(std::uint32_t stream, VertexBuffer* buffer, std::uint32_t offset,
                           std::uint32_t stride) override;
    Result SetIndices(IndexBuffer* buffer) override;
    Result DrawIndexedPrimitive(std::uint32_t type, std::int32_t baseVertexIndex, std::uint32_t minIndex,
                                std::uint32_t numVertices, std::uint32_t startIndex,
                                std::uint32_t primitiveCount) override;

    Result GetDeviceCaps(Caps& caps) override;
    // Test hook: GetDeviceCaps answers `reported` from now on, so a test can play a weaker card. The
    // device itself keeps working to the driver's real limits.
    void OverrideCaps(const Caps& reported);
    void ReleaseContext() override;
    void InjectDeviceLoss(std::uint32_t stillLostAnswers) override;

private:
    enum class Status { Operational, Lost, NotReset, Released };

    bool Drawable() const { return status == Status::Operational; }
    bool ContextWasReset();
    void ApplySwapInterval(std::uint32_t interval);
    void UpdateBackBufferSize(PresentParameters& parameters);
    // Direct3D's state after device creation or Reset.
    void ResetState();
    // Render states, sampler states and textures reach OpenGL at the next draw, and only where they
    // differ from what OpenGL holds: a technique's passes set states and End restores them, so most
    // changes between two draws cancel out.
    void ApplyPendingState();
    void ApplyRenderState(std::uint32_t state, std::uint32_t value);
    void ApplyCullMode();
    void ApplySampler(std::uint32_t stage);
    // Opens the colour (and depth) writes for a clear or a copy, which ignore them in Direct3D; the next
    // draw closes what its states close.
    void OpenWriteMasks(bool depth);
    void SetActiveUnit(std::uint32_t unit);
    void BindTarget(GlSurface* surface);
    GLuint ResolvedFramebuffer(GlSurface* surface);
    // False when the fixed-function program a draw needs cannot be built.
    bool PrepareDraw();
    bool BuildFixedFunction();
    void BindVertexLayout();

    SDL_Window* window;
    SDL_GLContext context;
    ContextToken token;
    bool robust;
    bool clipControl = false;
    bool anisotropy = false;
    Caps caps;
    std::optional<Caps> reportedCaps;
    PresentParameters present;

    Status status = Status::Operational;
    std::uint32_t stillLostAnswers = 0;
    bool presentFails = false;
    bool inScene = false;

    GLuint vertexArray = 0;
    GLuint samplers[kMaxTextureStages] = {};
    GLuint resolveFramebuffer = 0, resolveRenderbuffer = 0;
    std::uint32_t resolveWidth = 0, resolveHeight = 0;
    Ref<GlSurface> backBuffer;
    Ref<GlSurface> renderTarget;
    GlReadBack readBack;
    bool flipY = false; // drawing into a texture where the driver cannot flip the origin

    FixedFunction fixedFunction;
    bool fixedFunctionFailed = false;
    math::Matrix4x4 world, view, projection;
    Material material;
    Light lights[kMaxLights];
    bool lightEnabled[kMaxLights] = {};
    unsigned fixedDirty = FixedFunction::DirtyAll;

    std::uint32_t renderStates[kRenderStateCount] = {};
    std::uint32_t samplerStates[kMaxTextureStages][kSamplerStateCount] = {};
    Ref<GlTexture> textures[kMaxTextureStages];

    // What OpenGL holds. Textures are kept referenced while bound, so no other texture can take over a
    // bound one's name unnoticed.
    struct GlSampler {
        GLint wrap[3] = {-1, -1, -1};
        GLint magnify = -1, minify = -1;
        GLfloat border[4] = {-1.0f, -1.0f, -1.0f, -1.0f};
        GLfloat anisotropy = -1.0f;
    };
    std::uint32_t appliedStates[kRenderStateCount] = {};
    bool statesPending = false;
    unsigned samplersPending = 0;
    unsigned texturesPending = 0;
    GlSampler appliedSamplers[kMaxTextureStages];
    Ref<GlTexture> boundTextures[kMaxTextureStages];
    GLint activeUnit = -1;
    GLboolean cullEnabled = GL_FALSE;
    GLenum frontFace = GL_NONE;
    Color clearColor = 0;
    float clearDepth = -1.0f;
    bool clearColorSet = false;
    Ref<GlProgram> program;
    GLuint programInUse = 0;

    Ref<GlVertexDeclaration> declaration;
    Ref<GlVertexBuffer> vertexBuffer;
    std::uint32_t streamOffset = 0, streamStride = 0;
    Ref<GlIndexBuffer> indexBuffer;
    bool layoutDirty = true;
    bool indicesDirty = true;
    unsigned enabledAttributes = 0;
};

} // namespace engine::gpu
