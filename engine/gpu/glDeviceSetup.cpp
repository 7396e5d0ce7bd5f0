// Creation, capabilities, default state and resource creation of the OpenGL device.
#include "gpu/glDevice.h"

#include "core/logging.h"
#include "gpu/frameReplay/glFrameReplay.h"
#include "gpu/glCheck.h"

#include <algorithm>

namespace engine::gpu {

namespace {

constexpr GLuint kDefaultColorAttribute = 8;

bool ValidBackBufferFormat(std::uint32_t format) {
    return format == FormatX8R8G8B8 || format == FormatR5G6B5 || format == FormatA8R8G8B8;
}
bool ValidDepthFormat(std::uint32_t format) {
    return format == FormatD24X8 || format == FormatD24S8 || format == FormatD16;
}
bool ValidInterval(std::uint32_t interval) {
    return interval == kPresentIntervalDefault || interval == kPresentIntervalOne ||
           interval == kPresentIntervalTwo || interval == kPresentIntervalImmediate;
}

// What is wrong with the parameters, or an empty text when they can be honoured.
std::string CheckParameters(const PresentParameters& p) {
    if (p.deviceWindow == nullptr)
        return "no device window";
    if (!ValidBackBufferFormat(p.backBufferFormat))
        return "unsupported back-buffer format " + std::to_string(p.backBufferFormat);
    if (p.enableAutoDepthStencil && !ValidDepthFormat(p.autoDepthStencilFormat))
        return "unsupported depth format " + std::to_string(p.autoDepthStencilFormat);
    if (p.multiSampleType == 1 || p.multiSampleType > 16)
        return "unsupported multisample type " + std::to_string(p.multiSampleType);
    if (!ValidInterval(p.presentationInterval))
        return "unsupported presentation interval " + std::to_string(p.presentationInterval);
    return {};
}

void FillCaps(Caps& caps) {
    GLint value = 0;
    caps = Caps{};
    caps.deviceType = 1;
    // All vertex work runs in GLSL on the GPU.
    caps.vertexProcessingCaps = 1;
    caps.vertexShaderVersion = VertexShaderVersion(3, 0);
    caps.pixelShaderVersion = PixelShaderVersion(3, 0);
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &value);
    caps.maxTextureWidth = caps.maxTextureHeight = value;
    // A picture is drawn through a viewport into a texture or a renderbuffer: the least of the three.
    GLint viewport[2] = {};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, viewport);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &value);
    const auto renderbuffer = static_cast<std::uint32_t>(std::max(value, 0));
    caps.maxRenderTargetWidth =
        std::min({caps.maxTextureWidth, renderbuffer, static_cast<std::uint32_t>(std::max(viewport[0], 0))});
    caps.maxRenderTargetHeight =
        std::min({caps.maxTextureHeight, renderbuffer, static_cast<std::uint32_t>(std::max(viewport[1], 0))});
    if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
        epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic")) {
        GLfloat anisotropy = 1.0f;
        glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
        caps.maxAnisotropy = static_cast<std::uint32_t>(anisotropy);
    }
    caps.maxActiveLights = kMaxLights;
    glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &value);
    caps.maxSimultaneousTextures = std::min<std::uint32_t>(value, kMaxTextureStages);
    caps.maxStreams = 1;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS, &value);
    caps.maxVertexAttributes = value;
    glGetIntegerv(GL_MAX_VERTEX_ATTRIB_STRIDE, &value);
    caps.maxStreamStride = glGetError() == GL_NO_ERROR && value > 0 ? value : 2048;
    caps.maxVertexIndex = 0xFFFFFFFFu;
    caps.maxPrimitiveCount = 0x7FFFFFFFu;
    glGetIntegerv(GL_MAX_VERTEX_UNIFORM_COMPONENTS, &value);
    caps.maxVertexShaderConst = value / 4;
    caps.numSimultaneousRTs = 1;
    glGetIntegerv(GL_MAX_SAMPLES, &value);
    caps.maxMultiSamples = value;
    caps.glslVersion = 330;
}

SDL_GLContext CreateContext(SDL_Window* window, bool robust) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_FLAGS, robust ? SDL_GL_CONTEXT_ROBUST_ACCESS_FLAG : 0);
    return SDL_GL_CreateContext(window);
}

} // namespace

void ConfigureGlWindow(std::uint32_t backBufferFormat, std::uint32_t depthStencilFormat,
                       std::uint32_t multiSampleType) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    const bool rgb565 = backBufferFormat == FormatR5G6B5;
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, rgb565 ? 5 : 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, rgb565 ? 6 : 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, rgb565 ? 5 : 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, backBufferFormat == FormatA8R8G8B8 ? 8 : 0);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, depthStencilFormat == FormatD16 ? 16 : 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, depthStencilFormat == FormatD24S8 ? 8 : 0);
    const bool multisampled = multiSampleType >= 2 && multiSampleType <= 16;
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, multisampled ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, multisampled ? multiSampleType : 0);
}

Result QueryGlCaps(SDL_Window* window, Caps& caps, std::string* reason) {
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previousContext = SDL_GL_GetCurrentContext();
    SDL_GLContext probe = CreateContext(window, false);
    if (probe == nullptr) {
        if (reason != nullptr)
            *reason = std::string("no OpenGL 3.3 core context: ") + SDL_GetError();
        return kFail;
    }
    FillCaps(caps);
    SDL_GL_DeleteContext(probe);
    if (previousContext != nullptr)
        SDL_GL_MakeCurrent(previousWindow, previousContext);
    return kOk;
}

Result CreateGlDevice(PresentParameters& parameters, Device** device, std::string* reason) {
    auto fail = [reason](std::string why, Result result) {
        if (reason != nullptr)
            *reason = std::move(why);
        return result;
    };
    if (device == nullptr)
        return kInvalidCall;
    const std::string problem = CheckParameters(parameters);
    if (!problem.empty())
        return fail(problem, kInvalidCall);
    // A robust context can report a GPU reset as a lost device; not every driver offers one.
    bool robust = true;
    SDL_GLContext context = CreateContext(parameters.deviceWindow, true);
    if (context == nullptr) {
        robust = false;
        context = CreateContext(parameters.deviceWindow, false);
    }
    if (context == nullptr)
        return fail(std::string("no OpenGL 3.3 core context: ") + SDL_GetError(), kFail);
    if (epoxy_gl_version() < 33) {
        SDL_GL_DeleteContext(context);
        return fail("the driver offers OpenGL " + std::to_string(epoxy_gl_version()) + ", 3.3 is needed",
                    kFail);
    }
    auto* created = new GlDevice(parameters.deviceWindow, context, robust);
    created->Initialise(parameters);
    *device = created;
    return kOk;
}

GlDevice::GlDevice(SDL_Window* window, SDL_GLContext context, bool robust)
    : window(window), context(context), token(std::make_shared<GlContextToken>()), robust(robust) {}

GlDevice::~GlDevice() {
    ReleaseContext();
}

void GlDevice::Initialise(PresentParameters& parameters) {
    SDL_GL_MakeCurrent(window, context);
    FillCaps(caps);
    clipControl = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
    // Reset status can only be asked for where the driver has the call.
    robust = robust && (epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_KHR_robustness"));
    anisotropy = caps.maxAnisotropy > 1;
    GL_CALL(glGenVertexArrays(1, &vertexArray));
    GL_CALL(glBindVertexArray(vertexArray));
    GL_CALL(glGenSamplers(kMaxTextureStages, samplers));
    for (std::uint32_t stage = 0; stage < kMaxTextureStages; ++stage)
        GL_CALL(glBindSampler(stage, samplers[stage]));
    // Direct3D reads a missing vertex colour as opaque white.
    GL_CALL(glVertexAttrib4f(kDefaultColorAttribute, 1.0f, 1.0f, 1.0f, 1.0f));
    GL_CALL(glPixelStorei(GL_PACK_ALIGNMENT, 1));

    present = parameters;
    GLint samples = 0;
    GL_CALL(glGetIntegerv(GL_SAMPLES, &samples));
    backBuffer = Ref<GlSurface>::Adopt(new GlSurface(0, 0, parameters.backBufferFormat, samples));
    UpdateBackBufferSize(parameters);
    ApplySwapInterval(parameters.presentationInterval);
    ResetState();
}

void GlDevice::UpdateBackBufferSize(PresentParameters& parameters) {
    int width = 0, height = 0;
    SDL_GL_GetDrawableSize(window, &width, &height);
    backBuffer->Resize(width, height);
    parameters.backBufferWidth = present.backBufferWidth = width;
    parameters.backBufferHeight = present.backBufferHeight = height;
}

void GlDevice::ApplySwapInterval(std::uint32_t interval) {
    const int wanted = interval == kPresentIntervalImmediate ? 0 : interval == kPresentIntervalTwo ? 2 : 1;
    if (SDL_GL_SetSwapInterval(wanted) == 0)
        return;
    if (wanted == 2) {
        LOG_WARNING("The driver refused to present every second vertical blank; presenting at every one");
        if (SDL_GL_SetSwapInterval(1) == 0)
            return;
    }
    LOG_WARNING(std::string("The driver refused the swap interval; it presents at its own pace: ") +
                SDL_GetError());
}

void GlDevice::ResetState() {
    // What OpenGL holds is not known here: every state is sent, and what is held recorded anew.
    activeUnit = -1;
    for (std::uint32_t stage = 0; stage < kMaxTextureStages; ++stage) {
        textures[stage] = {};
        boundTextures[stage] = {};
        SetActiveUnit(stage);
        GL_CALL(glBindTexture(GL_TEXTURE_2D, 0));
        const std::uint32_t defaults[][2] = {{SampAddressU, AddressWrap},  {SampAddressV, AddressWrap},
                                             {SampAddressW, AddressWrap},  {SampBorderColor, 0},
                                             {SampMagFilter, FilterPoint}, {SampMinFilter, FilterPoint},
                                             {SampMipFilter, FilterNone},  {SampMaxAnisotropy, 1}};
        for (const auto& [state, value] : defaults)
            samplerStates[stage][state] = value;
        appliedSamplers[stage] = GlSampler{};
        ApplySampler(stage);
    }
    texturesPending = 0;
    samplersPending = 0;
    clearColorSet = false;
    clearDepth = -1.0f;
    GL_CALL(glCullFace(GL_BACK));
    GL_CALL(glDisable(GL_CULL_FACE));
    cullEnabled = GL_FALSE;
    frontFace = GL_NONE;
    SetProgram(nullptr);
    SetVertexDeclaration(nullptr);
    SetStreamSource(0, nullptr, 0, 0);
    SetIndices(nullptr);
    world = math::Matrix4x4::Identity;
    view = math::Matrix4x4::Identity;
    projection = math::Matrix4x4::Identity;
    material = Material{};
    for (std::uint32_t i = 0; i < kMaxLights; ++i) {
        lights[i] = Light{};
        lightEnabled[i] = false;
    }
    fixedDirty = FixedFunction::DirtyAll;
    const std::uint32_t defaults[][2] = {
        {RsZEnable, present.enableAutoDepthStencil ? 1u : 0u},
        {RsFillMode, FillSolid},
        {RsZWriteEnable, 1},
        {RsSrcBlend, BlendOne},
        {RsDestBlend, BlendZero},
        {RsCullMode, CullCounterClockwise},
        {RsZFunc, CmpLessEqual},
        {RsAlphaBlendEnable, 0},
        {RsSpecularEnable, 0},
        {RsLighting, 1},
        {RsAmbient, 0},
        {RsNormalizeNormals, 0},
        {RsColorWriteEnable, 0xF},
        {RsBlendOp, BlendOpAdd},
    };
    for (const auto& [state, value] : defaults) {
        renderStates[state] = value;
        appliedStates[state] = value;
        ApplyRenderState(state, value);
    }
    statesPending = false;
    renderTarget = backBuffer;
    BindTarget(backBuffer.Get());
}

void GlDevice::ReleaseContext() {
    if (status == Status::Released)
        return;
    status = Status::Released;
    inScene = false;
    for (auto& texture : textures)
        texture = {};
    for (auto& texture : boundTextures)
        texture = {};
    program = {};
    declaration = {};
    vertexBuffer = {};
    indexBuffer = {};
    renderTarget = {};
    backBuffer = {};
    SDL_GL_MakeCurrent(window, context);
    readBack.Release();
    fixedFunction.Release(true);
    GL_CALL(glDeleteSamplers(kMaxTextureStages, samplers));
    GL_CALL(glDeleteVertexArrays(1, &vertexArray));
    if (resolveFramebuffer != 0) {
        GL_CALL(glDeleteFramebuffers(1, &resolveFramebuffer));
        GL_CALL(glDeleteRenderbuffers(1, &resolveRenderbuffer));
    }
    // Objects still held elsewhere forget their GL names from here on.
    token->alive = false;
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(context);
    context = nullptr;
}

Result GlDevice::GetDeviceCaps(Caps& out) {
    out = reportedCaps ? *reportedCaps : caps;
    return kOk;
}

void GlDevice::OverrideCaps(const Caps& reported) {
    reportedCaps = reported;
}

Result GlDevice::CreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                               std::uint32_t usage, std::uint32_t format, Texture** texture) {
    if (!token->alive)
        return kDeviceLost;
    if (width > caps.maxTextureWidth || height > caps.maxTextureHeight)
        return kInvalidCall;
    GlTexture* created = nullptr;
    const Result result = CreateGlTexture(token, width, height, levels, usage, format, &created);
    // Textures are made on their own unit, which is now the active one.
    activeUnit = -1;
    if (!Failed(result))
        *texture = created;
    return result;
}

Result GlDevice::CreateTextureFromFile(const std::wstring& path, Texture** texture, std::string* reason) {
    if (!token->alive) {
        if (reason != nullptr)
            *reason = "the device is gone";
        return kDeviceLost;
    }
    perf::ScopedZone zone(perf::Zone::Textures);
    GlTexture* created = nullptr;
    const Result result = LoadGlTexture(token, path, caps.maxTextureWidth, &created, reason);
    activeUnit = -1;
    if (!Failed(result))
        *texture = created;
    return result;
}

Result GlDevice::CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, VertexBuffer** buffer) {
    if (!token->alive)
        return kDeviceLost;
    if (buffer == nullptr || length == 0)
        return kInvalidCall;
    *buffer = new GlVertexBuffer(token, length, usage);
    return kOk;
}

Result GlDevice::CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t format,
                                   IndexBuffer** buffer) {
    if (!token->alive)
        return kDeviceLost;
    if (buffer == nullptr || length == 0 || (format != FormatIndex16 && format != FormatIndex32))
        return kInvalidCall;
    *buffer = new GlIndexBuffer(token, length, usage, format);
    return kOk;
}

Result GlDevice::CreateVertexDeclaration(const VertexElement* elements, VertexDeclaration** out) {
    if (!token->alive)
        return kDeviceLost;
    if (elements == nullptr || out == nullptr)
        return kInvalidCall;
    // Components, GL type and normalisation of each declaration type.
    static const GlAttribute kTypes[] = {{0, 1, GL_FLOAT, GL_FALSE, 0},
                                         {0, 2, GL_FLOAT, GL_FALSE, 0},
                                         {0, 3, GL_FLOAT, GL_FALSE, 0},
                                         {0, 4, GL_FLOAT, GL_FALSE, 0},
                                         {0, GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, 0}};
    std::vector<VertexElement> list;
    std::vector<GlAttribute> attributes;
    static const std::uint32_t kSizes[] = {4, 8, 12, 16, 4};
    unsigned used = 0;
    std::uint32_t vertexSize = 0;
    for (const VertexElement* e = elements; e->stream != kDeclEnd.stream; ++e) {
        const int location = AttributeLocation(e->usage, e->usageIndex);
        if (e->stream != 0 || e->type > DeclColor || location < 0 || (used & (1u << location)) != 0 ||
            list.size() >= 64)
            return kInvalidCall;
        used |= 1u << location;
        GlAttribute attribute = kTypes[e->type];
        attribute.location = location;
        attribute.offset = e->offset;
        attributes.push_back(attribute);
        list.push_back(*e);
        vertexSize = std::max(vertexSize, e->offset + kSizes[e->type]);
    }
    *out = new GlVertexDeclaration(std::move(list), std::move(attributes), vertexSize);
    return kOk;
}

Result GlDevice::CreateProgram(const ProgramSource& source, Program** out, std::string* diagnostics) {
    if (!token->alive)
        return kDeviceLost;
    if (out == nullptr)
        return kInvalidCall;
    std::string messages;
    GLuint name = 0;
    NoteProgramSource(source);
    const Result result = BuildGlProgram(source, name, messages);
    if (diagnostics != nullptr)
        *diagnostics = messages;
    if (Failed(result))
        return result;
    // Reading the program's uniforms does not need it in use; the GL binding stays what the device set.
    *out = new GlProgram(token, name);
    return kOk;
}

} // namespace engine::gpu
