// Pipeline state and drawing of the OpenGL device. State setters keep Direct3D's values in tables and
// change OpenGL state only when a value really changes; draws upload what changed since the last draw.
#include "gpu/glDevice.h"

#include "core/logging.h"
#include "gpu/frameReplay/glFrameRecording.h"
#include "gpu/glCheck.h"

namespace engine::gpu {

namespace {

GLenum CompareFunction(std::uint32_t value) {
    static const GLenum kFunctions[] = {GL_NEVER,   GL_LESS,     GL_EQUAL,  GL_LEQUAL,
                                        GL_GREATER, GL_NOTEQUAL, GL_GEQUAL, GL_ALWAYS};
    return value >= CmpNever && value <= CmpAlways ? kFunctions[value - CmpNever] : GL_LEQUAL;
}

GLenum BlendFactor(std::uint32_t value) {
    static const GLenum kFactors[] = {GL_ZERO,
                                      GL_ONE,
                                      GL_SRC_COLOR,
                                      GL_ONE_MINUS_SRC_COLOR,
                                      GL_SRC_ALPHA,
                                      GL_ONE_MINUS_SRC_ALPHA,
                                      GL_DST_ALPHA,
                                      GL_ONE_MINUS_DST_ALPHA,
                                      GL_DST_COLOR,
                                      GL_ONE_MINUS_DST_COLOR,
                                      GL_SRC_ALPHA_SATURATE};
    return value >= BlendZero && value <= BlendSrcAlphaSat ? kFactors[value - BlendZero] : GL_ONE;
}

GLenum BlendEquation(std::uint32_t value) {
    static const GLenum kEquations[] = {GL_FUNC_ADD, GL_FUNC_SUBTRACT, GL_FUNC_REVERSE_SUBTRACT, GL_MIN,
                                        GL_MAX};
    return value >= BlendOpAdd && value <= BlendOpMax ? kEquations[value - BlendOpAdd] : GL_FUNC_ADD;
}

GLint AddressMode(std::uint32_t value) {
    switch (value) {
    case AddressMirror:
        return GL_MIRRORED_REPEAT;
    case AddressClamp:
        return GL_CLAMP_TO_EDGE;
    case AddressBorder:
        return GL_CLAMP_TO_BORDER;
    default:
        return GL_REPEAT;
    }
}

GLint MinifyFilter(std::uint32_t min, std::uint32_t mip) {
    const bool linear = min == FilterLinear || min == FilterAnisotropic;
    if (mip == FilterNone)
        return linear ? GL_LINEAR : GL_NEAREST;
    if (mip == FilterPoint)
        return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
}

GLenum PrimitiveMode(std::uint32_t type, std::uint32_t primitives, GLsizei& indices) {
    switch (type) {
    case PrimitivePointList:
        indices = primitives;
        return GL_POINTS;
    case PrimitiveLineList:
        indices = primitives * 2;
        return GL_LINES;
    case PrimitiveLineStrip:
        indices = primitives + 1;
        return GL_LINE_STRIP;
    case PrimitiveTriangleList:
        indices = primitives * 3;
        return GL_TRIANGLES;
    case PrimitiveTriangleStrip:
        indices = primitives + 2;
        return GL_TRIANGLE_STRIP;
    case PrimitiveTriangleFan:
        indices = primitives + 2;
        return GL_TRIANGLE_FAN;
    default:
        indices = 0;
        return GL_NONE;
    }
}

} // namespace

Result GlDevice::SetTransform(TransformState state, const math::Matrix4x4& matrix) {
    math::Matrix4x4* target = state == TransformWorld        ? &world
                              : state == TransformView       ? &view
                              : state == TransformProjection ? &projection
                                                             : nullptr;
    if (target == nullptr)
        return kInvalidCall;
    *target = matrix;
    fixedDirty |= state == TransformView         ? FixedFunction::DirtyTransforms | FixedFunction::DirtyView
                  : state == TransformProjection ? FixedFunction::DirtyProjection
                                                 : FixedFunction::DirtyTransforms;
    return kOk;
}

Result GlDevice::GetTransform(TransformState state, math::Matrix4x4& matrix) {
    if (state != TransformWorld && state != TransformView && state != TransformProjection)
        return kInvalidCall;
    matrix = state == TransformWorld ? world : state == TransformView ? view : projection;
    return kOk;
}

Result GlDevice::SetMaterial(const Material& value) {
    material = value;
    fixedDirty |= FixedFunction::DirtyMaterial;
    return kOk;
}

Result GlDevice::SetLight(std::uint32_t index, const Light& light) {
    if (index >= kMaxLights || (light.type != LightPoint && light.type != LightDirectional))
        return kInvalidCall;
    lights[index] = light;
    fixedDirty |= FixedFunction::DirtyLights;
    return kOk;
}

Result GlDevice::LightEnable(std::uint32_t index, bool enable) {
    if (index >= kMaxLights)
        return kInvalidCall;
    lightEnabled[index] = enable;
    fixedDirty |= FixedFunction::DirtyLights;
    return kOk;
}

// The render states OpenGL is told about; the fixed-function ones reach the program as uniforms.
constexpr RenderState kGlRenderStates[] = {RsZEnable,          RsFillMode, RsZWriteEnable, RsSrcBlend,
                                           RsDestBlend,        RsCullMode, RsZFunc,        RsAlphaBlendEnable,
                                           RsColorWriteEnable, RsBlendOp};

Result GlDevice::SetRenderState(RenderState state, std::uint32_t value) {
    if (state >= kRenderStateCount)
        return kInvalidCall;
    if (renderStates[state] == value)
        return kOk;
    renderStates[state] = value;
    if (state == RsLighting || state == RsAmbient || state == RsSpecularEnable || state == RsNormalizeNormals)
        fixedDirty |= FixedFunction::DirtyFlags;
    else
        statesPending = true;
    return kOk;
}

Result GlDevice::GetRenderState(RenderState state, std::uint32_t& value) {
    if (state >= kRenderStateCount)
        return kInvalidCall;
    value = renderStates[state];
    return kOk;
}

void GlDevice::ApplyPendingState() {
    if (statesPending) {
        bool blendFunction = false;
        for (const RenderState state : kGlRenderStates) {
            if (renderStates[state] == appliedStates[state])
                continue;
            appliedStates[state] = renderStates[state];
            if (state == RsSrcBlend || state == RsDestBlend)
                blendFunction = true;
            else
                ApplyRenderState(state, renderStates[state]);
        }
        if (blendFunction)
            ApplyRenderState(RsSrcBlend, renderStates[RsSrcBlend]);
        statesPending = false;
    }
    for (std::uint32_t stage = 0; samplersPending != 0 && stage < kMaxTextureStages; ++stage)
        if ((samplersPending & (1u << stage)) != 0)
            ApplySampler(stage);
    samplersPending = 0;
    for (std::uint32_t stage = 0; texturesPending != 0 && stage < kMaxTextureStages; ++stage) {
        if ((texturesPending & (1u << stage)) == 0 || boundTextures[stage].Get() == textures[stage].Get())
            continue;
        SetActiveUnit(stage);
        GL_CALL(glBindTexture(GL_TEXTURE_2D, textures[stage] ? textures[stage]->Name() : 0));
        boundTextures[stage] = textures[stage];
    }
    texturesPending = 0;
}

void GlDevice::SetActiveUnit(std::uint32_t unit) {
    if (activeUnit == static_cast<GLint>(unit))
        return;
    GL_CALL(glActiveTexture(GL_TEXTURE0 + unit));
    activeUnit = static_cast<GLint>(unit);
}

void GlDevice::OpenWriteMasks(bool depth) {
    if (appliedStates[RsColorWriteEnable] != 0xF) {
        GL_CALL(glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE));
        appliedStates[RsColorWriteEnable] = 0xF;
        statesPending = true;
    }
    if (depth && appliedStates[RsZWriteEnable] == 0) {
        GL_CALL(glDepthMask(GL_TRUE));
        appliedStates[RsZWriteEnable] = 1;
        statesPending = true;
    }
}

void GlDevice::ApplyRenderState(std::uint32_t state, std::uint32_t value) {
    switch (state) {
    case RsZEnable:
        GL_CALL(value != 0 ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST));
        break;
    case RsFillMode:
        GL_CALL(glPolygonMode(GL_FRONT_AND_BACK, value == FillPoint       ? GL_POINT
                                                 : value == FillWireframe ? GL_LINE
                                                                          : GL_FILL));
        break;
    case RsZWriteEnable:
        GL_CALL(glDepthMask(value != 0 ? GL_TRUE : GL_FALSE));
        break;
    case RsSrcBlend:
    case RsDestBlend:
        GL_CALL(glBlendFunc(BlendFactor(renderStates[RsSrcBlend]), BlendFactor(renderStates[RsDestBlend])));
        break;
    case RsCullMode:
        ApplyCullMode();
        break;
    case RsZFunc:
        GL_CALL(glDepthFunc(CompareFunction(value)));
        break;
    case RsAlphaBlendEnable:
        GL_CALL(value != 0 ? glEnable(GL_BLEND) : glDisable(GL_BLEND));
        break;
    case RsColorWriteEnable:
        GL_CALL(glColorMask((value & 1) != 0, (value & 2) != 0, (value & 4) != 0, (value & 8) != 0));
        break;
    case RsBlendOp:
        GL_CALL(glBlendEquation(BlendEquation(value)));
        break;
    default:
        break;
    }
}

void GlDevice::ApplyCullMode() {
    const std::uint32_t mode = renderStates[RsCullMode];
    const bool culling = mode == CullClockwise || mode == CullCounterClockwise;
    if (cullEnabled != (culling ? GL_TRUE : GL_FALSE)) {
        GL_CALL(culling ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE));
        cullEnabled = culling ? GL_TRUE : GL_FALSE;
    }
    if (!culling)
        return;
    // Direct3D's front faces are clockwise on screen: culling counter-clockwise faces is culling
    // OpenGL's back faces with clockwise fronts. A picture flipped into a texture turns the winding.
    // Back faces are the culled ones from the first state on.
    const bool clockwiseFront = (mode == CullCounterClockwise) != flipY;
    const GLenum front = clockwiseFront ? GL_CW : GL_CCW;
    if (frontFace != front) {
        GL_CALL(glFrontFace(front));
        frontFace = front;
    }
}

Result GlDevice::SetTexture(std::uint32_t stage, Texture* texture) {
    if (stage >= kMaxTextureStages)
        return kInvalidCall;
    if (static_cast<Texture*>(textures[stage].Get()) == texture)
        return kOk;
    auto* glTexture = dynamic_cast<GlTexture*>(texture);
    if (texture != nullptr && glTexture == nullptr)
        return kInvalidCall;
    if (stage == 0 && static_cast<bool>(textures[0]) != (glTexture != nullptr))
        fixedDirty |= FixedFunction::DirtyFlags;
    textures[stage] = glTexture;
    texturesPending |= 1u << stage;
    return kOk;
}

Result GlDevice::SetSamplerState(std::uint32_t stage, SamplerState state, std::uint32_t value) {
    if (stage >= kMaxTextureStages || state >= kSamplerStateCount)
        return kInvalidCall;
    if (samplerStates[stage][state] == value)
        return kOk;
    samplerStates[stage][state] = value;
    samplersPending |= 1u << stage;
    return kOk;
}

void GlDevice::ApplySampler(std::uint32_t stage) {
    const std::uint32_t* s = samplerStates[stage];
    const GLuint sampler = samplers[stage];
    GlSampler& held = appliedSamplers[stage];
    const auto set = [sampler](GLenum parameter, GLint value, GLint& current) {
        if (current != value)
            GL_CALL(glSamplerParameteri(sampler, parameter, value));
        current = value;
    };
    set(GL_TEXTURE_WRAP_S, AddressMode(s[SampAddressU]), held.wrap[0]);
    set(GL_TEXTURE_WRAP_T, AddressMode(s[SampAddressV]), held.wrap[1]);
    set(GL_TEXTURE_WRAP_R, AddressMode(s[SampAddressW]), held.wrap[2]);
    const Color c = s[SampBorderColor];
    const float border[4] = {((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f,
                             (c >> 24) / 255.0f};
    if (!std::equal(border, border + 4, held.border)) {
        GL_CALL(glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border));
        std::copy(border, border + 4, held.border);
    }
    const std::uint32_t mag = s[SampMagFilter];
    set(GL_TEXTURE_MAG_FILTER, mag == FilterLinear || mag == FilterAnisotropic ? GL_LINEAR : GL_NEAREST,
        held.magnify);
    set(GL_TEXTURE_MIN_FILTER, MinifyFilter(s[SampMinFilter], s[SampMipFilter]), held.minify);
    if (anisotropy) {
        const std::uint32_t wanted = s[SampMinFilter] == FilterAnisotropic ? s[SampMaxAnisotropy] : 1;
        const float clamped = float(wanted < 1                    ? 1
                                    : wanted > caps.maxAnisotropy ? caps.maxAnisotropy
                                                                  : wanted);
        if (held.anisotropy != clamped)
            GL_CALL(glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, clamped));
        held.anisotropy = clamped;
    }
}

Result GlDevice::SetProgram(Program* value) {
    auto* glProgram = dynamic_cast<GlProgram*>(value);
    if (value != nullptr && glProgram == nullptr)
        return kInvalidCall;
    program = glProgram;
    return kOk;
}

void GlDevice::CaptureState(StateBlock& block) {
    std::copy(std::begin(renderStates), std::end(renderStates), block.renderStates);
    for (std::uint32_t stage = 0; stage < kMaxTextureStages; ++stage) {
        std::copy(std::begin(samplerStates[stage]), std::end(samplerStates[stage]),
                  block.samplerStates[stage]);
        block.textures[stage] = textures[stage].Get();
    }
    block.program = program.Get();
}

void GlDevice::ApplyState(const StateBlock& block) {
    for (std::uint32_t state = 0; state < kRenderStateCount; ++state)
        SetRenderState(static_cast<RenderState>(state), block.renderStates[state]);
    for (std::uint32_t stage = 0; stage < kMaxTextureStages; ++stage) {
        for (std::uint32_t state = 0; state < kSamplerStateCount; ++state)
            SetSamplerState(stage, static_cast<SamplerState>(state), block.samplerStates[stage][state]);
        SetTexture(stage, block.textures[stage].Get());
    }
    SetProgram(block.program.Get());
}

Result GlDevice::SetVertexDeclaration(VertexDeclaration* value) {
    if (static_cast<VertexDeclaration*>(declaration.Get()) == value)
        return kOk;
    auto* glDeclaration = dynamic_cast<GlVertexDeclaration*>(value);
    if (value != nullptr && glDeclaration == nullptr)
        return kInvalidCall;
    declaration = glDeclaration;
    layoutDirty = true;
    return kOk;
}

Result GlDevice::SetStreamSource(std::uint32_t stream, VertexBuffer* buffer, std::uint32_t offset,
                                 std::uint32_t stride) {
    if (stream != 0 || stride > caps.maxStreamStride)
        return kInvalidCall;
    if (static_cast<VertexBuffer*>(vertexBuffer.Get()) == buffer && streamOffset == offset &&
        streamStride == stride)
        return kOk;
    auto* glBuffer = dynamic_cast<GlVertexBuffer*>(buffer);
    if (buffer != nullptr && glBuffer == nullptr)
        return kInvalidCall;
    vertexBuffer = glBuffer;
    streamOffset = offset;
    streamStride = stride;
    layoutDirty = true;
    return kOk;
}

Result GlDevice::SetIndices(IndexBuffer* buffer) {
    if (static_cast<IndexBuffer*>(indexBuffer.Get()) == buffer)
        return kOk;
    auto* glBuffer = dynamic_cast<GlIndexBuffer*>(buffer);
    if (buffer != nullptr && glBuffer == nullptr)
        return kInvalidCall;
    indexBuffer = glBuffer;
    indicesDirty = true;
    return kOk;
}

void GlDevice::BindVertexLayout() {
    unsigned enabled = 0;
    GL_CALL(glBindBuffer(GL_ARRAY_BUFFER, vertexBuffer->Name()));
    for (const GlAttribute& a : declaration->Attributes()) {
        const auto offset = static_cast<std::uintptr_t>(streamOffset + a.offset);
        GL_CALL(glVertexAttribPointer(a.location, a.components, a.type, a.normalized, streamStride,
                                      reinterpret_cast<const void*>(offset)));
        enabled |= 1u << a.location;
    }
    for (int location = 0; location < kAttributeLocations; ++location) {
        const unsigned bit = 1u << location;
        if ((enabled & bit) != 0 && (enabledAttributes & bit) == 0)
            GL_CALL(glEnableVertexAttribArray(location));
        else if ((enabled & bit) == 0 && (enabledAttributes & bit) != 0)
            GL_CALL(glDisableVertexAttribArray(location));
    }
    enabledAttributes = enabled;
    layoutDirty = false;
}

// Compiled when a draw first needs it rather than with the device: where every draw has an effect's
// program, as in the demo, that saves a compilation at start-up (a tenth of a second on llvmpipe).
bool GlDevice::BuildFixedFunction() {
    std::string diagnostics;
    if (fixedFunctionFailed)
        return false;
    if (Failed(fixedFunction.Build(diagnostics))) {
        LOG_WARNING("The fixed-function program does not build, so nothing is drawn without an effect: " +
                    diagnostics);
        fixedFunctionFailed = true;
        return false;
    }
    // Building it left it in use.
    programInUse = fixedFunction.Program();
    return true;
}

bool GlDevice::PrepareDraw() {
    if (!program && fixedFunction.Program() == 0 && !BuildFixedFunction())
        return false;
    ApplyPendingState();
    const GLuint wanted = program ? program->Name() : fixedFunction.Program();
    if (programInUse != wanted) {
        GL_CALL(glUseProgram(wanted));
        programInUse = wanted;
    }
    if (program) {
        program->Flush();
    } else if (fixedDirty != 0) {
        const FixedFunctionInputs inputs{&world,
                                         &view,
                                         &projection,
                                         &material,
                                         lights,
                                         lightEnabled,
                                         renderStates[RsAmbient],
                                         renderStates[RsLighting] != 0,
                                         renderStates[RsSpecularEnable] != 0,
                                         renderStates[RsNormalizeNormals] != 0,
                                         static_cast<bool>(textures[0]),
                                         !clipControl,
                                         flipY};
        fixedFunction.Upload(inputs, fixedDirty);
        fixedDirty = 0;
    }
    if (layoutDirty)
        BindVertexLayout();
    if (indicesDirty) {
        GL_CALL(glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, indexBuffer->Name()));
        indicesDirty = false;
    }
    return true;
}

Result GlDevice::DrawIndexedPrimitive(std::uint32_t type, std::int32_t baseVertexIndex, std::uint32_t,
                                      std::uint32_t, std::uint32_t startIndex, std::uint32_t primitiveCount) {
    if (!Drawable())
        return kOk;
    GLsizei count = 0;
    const GLenum mode = PrimitiveMode(type, primitiveCount, count);
    if (!inScene || mode == GL_NONE || !declaration || !vertexBuffer || !indexBuffer || streamStride == 0)
        return kInvalidCall;
    const std::uint64_t indexSize = indexBuffer->IndexSize();
    if ((std::uint64_t(startIndex) + std::uint64_t(count)) * indexSize > indexBuffer->Length())
        return kInvalidCall;
    // No index may reach outside the vertex buffer: a bad mesh gives a failed draw, never a read past it.
    const std::int64_t first = std::int64_t(baseVertexIndex) + indexBuffer->MinIndex();
    const std::int64_t last = std::int64_t(baseVertexIndex) + indexBuffer->MaxIndex();
    if (first < 0 || streamOffset + std::uint64_t(last) * streamStride + declaration->VertexSize() >
                         vertexBuffer->Length())
        return kInvalidCall;
    if (primitiveCount == 0)
        return kOk;
    if (!PrepareDraw())
        return kFail;
    const auto offset = static_cast<std::uintptr_t>(startIndex * indexSize);
    const GLenum indexType = indexSize == 4 ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT;
    if (GlFrameRecorder* recorder = GlFrameRecorder::Active())
        recorder->Draw(mode, count, indexType, offset, baseVertexIndex);
    GL_CALL(glDrawElementsBaseVertex(mode, count, indexType, reinterpret_cast<const void*>(offset),
                                     baseVertexIndex));
    return kOk;
}

} // namespace engine::gpu
