#include "gpu/frameReplay/glFrameReplay.h"

#include "gpu/glObjects.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>
#include <map>

namespace engine::gpu {

namespace {

constexpr GLuint kUnknown = ~0u;

std::int64_t Nanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

GLint Integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

// One OpenGL call of the replayed frame, with its arguments.
struct Call {
    enum class Op : std::uint8_t {
        BindDrawFramebuffer,
        BindReadFramebuffer,
        Viewport,
        ClipControl,
        Enable,
        Disable,
        DepthFunc,
        DepthMask,
        BlendFunc,
        BlendEquation,
        CullFace,
        FrontFace,
        PolygonMode,
        ColorMask,
        UseProgram,
        Uniform,
        ActiveTexture,
        BindTexture,
        BindSampler,
        BindVertexArray,
        BindCopyBuffer,
        BufferData,
        BufferSubData,
        ClearColor,
        ClearDepth,
        Clear,
        Blit,
        Draw,
        Present,
    } op;
    GLenum type = 0;
    GLint a[10] = {};
    const void* data = nullptr;
    std::uintptr_t offset = 0;
    GLfloat f[4] = {};
    GLdouble d = 0.0;
};
using Op = Call::Op;

void SetUniform(GLenum type, GLint location, const void* data) {
    const auto* f = static_cast<const GLfloat*>(data);
    const auto* n = static_cast<const GLint*>(data);
    switch (type) {
    case GL_FLOAT:
        glUniform1fv(location, 1, f);
        break;
    case GL_FLOAT_VEC2:
        glUniform2fv(location, 1, f);
        break;
    case GL_FLOAT_VEC3:
        glUniform3fv(location, 1, f);
        break;
    case GL_FLOAT_VEC4:
        glUniform4fv(location, 1, f);
        break;
    case GL_FLOAT_MAT2:
        glUniformMatrix2fv(location, 1, GL_FALSE, f);
        break;
    case GL_FLOAT_MAT3:
        glUniformMatrix3fv(location, 1, GL_FALSE, f);
        break;
    case GL_FLOAT_MAT4:
        glUniformMatrix4fv(location, 1, GL_FALSE, f);
        break;
    case GL_INT_VEC2:
    case GL_BOOL_VEC2:
        glUniform2iv(location, 1, n);
        break;
    case GL_INT_VEC3:
    case GL_BOOL_VEC3:
        glUniform3iv(location, 1, n);
        break;
    case GL_INT_VEC4:
    case GL_BOOL_VEC4:
        glUniform4iv(location, 1, n);
        break;
    default:
        glUniform1iv(location, 1, n);
        break;
    }
}

void Execute(const std::vector<Call>& calls, SDL_Window* window) {
    for (const Call& c : calls) {
        switch (c.op) {
        case Op::BindDrawFramebuffer:
            glBindFramebuffer(GL_DRAW_FRAMEBUFFER, c.a[0]);
            break;
        case Op::BindReadFramebuffer:
            glBindFramebuffer(GL_READ_FRAMEBUFFER, c.a[0]);
            break;
        case Op::Viewport:
            glViewport(c.a[0], c.a[1], c.a[2], c.a[3]);
            break;
        case Op::ClipControl:
            glClipControl(c.a[0], GL_ZERO_TO_ONE);
            break;
        case Op::Enable:
            glEnable(c.type);
            break;
        case Op::Disable:
            glDisable(c.type);
            break;
        case Op::DepthFunc:
            glDepthFunc(c.a[0]);
            break;
        case Op::DepthMask:
            glDepthMask(static_cast<GLboolean>(c.a[0]));
            break;
        case Op::BlendFunc:
            glBlendFunc(c.a[0], c.a[1]);
            break;
        case Op::BlendEquation:
            glBlendEquation(c.a[0]);
            break;
        case Op::CullFace:
            glCullFace(c.a[0]);
            break;
        case Op::FrontFace:
            glFrontFace(c.a[0]);
            break;
        case Op::PolygonMode:
            glPolygonMode(GL_FRONT_AND_BACK, c.a[0]);
            break;
        case Op::ColorMask:
            glColorMask(c.a[0], c.a[1], c.a[2], c.a[3]);
            break;
        case Op::UseProgram:
            glUseProgram(c.a[0]);
            break;
        case Op::Uniform:
            SetUniform(c.type, c.a[0], c.data);
            break;
        case Op::ActiveTexture:
            glActiveTexture(GL_TEXTURE0 + c.a[0]);
            break;
        case Op::BindTexture:
            glBindTexture(GL_TEXTURE_2D, c.a[0]);
            break;
        case Op::BindSampler:
            glBindSampler(c.a[0], c.a[1]);
            break;
        case Op::BindVertexArray:
            glBindVertexArray(c.a[0]);
            break;
        case Op::BindCopyBuffer:
            glBindBuffer(GL_COPY_WRITE_BUFFER, c.a[0]);
            break;
        case Op::BufferData:
            glBufferData(GL_COPY_WRITE_BUFFER, c.a[0], c.data, c.type);
            break;
        case Op::BufferSubData:
            glBufferSubData(GL_COPY_WRITE_BUFFER, static_cast<GLintptr>(c.offset), c.a[0], c.data);
            break;
        case Op::ClearColor:
            glClearColor(c.f[0], c.f[1], c.f[2], c.f[3]);
            break;
        case Op::ClearDepth:
            glClearDepth(c.d);
            break;
        case Op::Clear:
            glClear(c.type);
            break;
        case Op::Blit:
            glBlitFramebuffer(c.a[0], c.a[1], c.a[2], c.a[3], c.a[4], c.a[5], c.a[6], c.a[7], c.type,
                              static_cast<GLenum>(c.a[8]));
            break;
        case Op::Draw:
            glDrawElementsBaseVertex(c.type, c.a[0], static_cast<GLenum>(c.a[1]),
                                     reinterpret_cast<const void*>(c.offset), c.a[2]);
            break;
        case Op::Present:
            SDL_GL_SwapWindow(window);
            break;
        }
    }
}

// What OpenGL holds as the replay goes, so that it sets only what differs. It starts as OpenGL's real
// state, read before the replay.
struct Tracked {
    GlPipelineState pipeline;
    GLuint program = 0;
    GLuint readFramebuffer = 0;
    GLint activeUnit = 0;
    GLuint textures[kRecordedUnits] = {};
    GLuint samplers[kRecordedUnits] = {};
    GLuint vertexArray = 0;
    GLuint copyBuffer = kUnknown;
    GLfloat clearColor[4] = {};
    GLdouble clearDepth = 1.0;
    std::map<GLuint, std::map<GLint, std::vector<std::uint32_t>>> uniforms;
};

// Turns the recording into calls, and owns the objects a hand-written renderer would have made for it.
class Translator {
public:
    explicit Translator(const GlFrameRecording& recording) : recording(recording) {
        for (const auto& [name, before] : recording.writtenBuffers) {
            GLuint copy = 0;
            glGenBuffers(1, &copy);
            glBindBuffer(GL_COPY_WRITE_BUFFER, copy);
            glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(before.bytes.size()),
                         before.bytes.data(), before.usage);
            bufferCopies[name] = copy;
        }
    }
    ~Translator() {
        if (abandoned)
            return;
        for (const auto& [name, copy] : bufferCopies)
            glDeleteBuffers(1, &copy);
        for (const auto& [layout, vertexArray] : vertexArrays)
            glDeleteVertexArrays(1, &vertexArray);
        for (const auto& [parameters, sampler] : samplerObjects)
            glDeleteSamplers(1, &sampler);
    }
    Translator(const Translator&) = delete;
    Translator& operator=(const Translator&) = delete;

    // The context is gone, and the objects with it.
    void Abandon() { abandoned = true; }

    std::vector<Call> Translate(Tracked& tracked) {
        std::vector<Call> calls;
        for (const GlRecordedOperation& operation : recording.operations) {
            switch (operation.kind) {
            case GlRecordedOperation::Kind::Draw:
                TranslateDraw(recording.draws[operation.index], tracked, calls);
                break;
            case GlRecordedOperation::Kind::Clear:
                TranslateClear(recording.clears[operation.index], tracked, calls);
                break;
            case GlRecordedOperation::Kind::Blit:
                TranslateBlit(recording.blits[operation.index], tracked, calls);
                break;
            case GlRecordedOperation::Kind::Upload:
                TranslateUpload(recording.uploads[operation.index], tracked, calls);
                break;
            case GlRecordedOperation::Kind::Present:
                calls.push_back({Op::Present});
                break;
            }
        }
        return calls;
    }

private:
    static Call Make(Op op, std::initializer_list<GLint> arguments, GLenum type = 0) {
        Call call{op};
        call.type = type;
        std::copy(arguments.begin(), arguments.end(), call.a);
        return call;
    }

    void DrawFramebuffer(GLuint framebuffer, Tracked& t, std::vector<Call>& calls) {
        if (t.pipeline.drawFramebuffer == framebuffer)
            return;
        calls.push_back(Make(Op::BindDrawFramebuffer, {static_cast<GLint>(framebuffer)}));
        t.pipeline.drawFramebuffer = framebuffer;
    }

    void ColorMask(const GLboolean mask[4], Tracked& t, std::vector<Call>& calls) {
        if (std::equal(mask, mask + 4, t.pipeline.colorMask))
            return;
        calls.push_back(Make(Op::ColorMask, {mask[0], mask[1], mask[2], mask[3]}));
        std::copy(mask, mask + 4, t.pipeline.colorMask);
    }

    void DepthMask(GLboolean mask, Tracked& t, std::vector<Call>& calls) {
        if (t.pipeline.depthMask == mask)
            return;
        calls.push_back(Make(Op::DepthMask, {mask}));
        t.pipeline.depthMask = mask;
    }

    static void Set(Op op, GLint wanted, GLint& held, std::vector<Call>& calls) {
        if (wanted == held)
            return;
        calls.push_back(Make(op, {wanted}));
        held = wanted;
    }

    static void Capability(GLenum capability, GLboolean wanted, GLboolean& held, std::vector<Call>& calls) {
        if (wanted == held)
            return;
        calls.push_back(Make(wanted != 0 ? Op::Enable : Op::Disable, {}, capability));
        held = wanted;
    }

    void Pipeline(const GlPipelineState& s, Tracked& t, std::vector<Call>& calls) {
        GlPipelineState& now = t.pipeline;
        DrawFramebuffer(s.drawFramebuffer, t, calls);
        if (!std::equal(s.viewport, s.viewport + 4, now.viewport)) {
            calls.push_back(Make(Op::Viewport, {s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]}));
            std::copy(s.viewport, s.viewport + 4, now.viewport);
        }
        if (HasClipControl())
            Set(Op::ClipControl, s.clipOrigin, now.clipOrigin, calls);
        Capability(GL_DEPTH_TEST, s.depthTest, now.depthTest, calls);
        Capability(GL_BLEND, s.blend, now.blend, calls);
        Capability(GL_CULL_FACE, s.cull, now.cull, calls);
        // States that matter only while their capability is on wait until it is.
        if (s.depthTest != 0)
            Set(Op::DepthFunc, s.depthFunc, now.depthFunc, calls);
        if (s.blend != 0) {
            if (s.blendSource != now.blendSource || s.blendDestination != now.blendDestination) {
                calls.push_back(Make(Op::BlendFunc, {s.blendSource, s.blendDestination}));
                now.blendSource = s.blendSource;
                now.blendDestination = s.blendDestination;
            }
            Set(Op::BlendEquation, s.blendEquation, now.blendEquation, calls);
        }
        if (s.cull != 0) {
            Set(Op::CullFace, s.cullFace, now.cullFace, calls);
            Set(Op::FrontFace, s.frontFace, now.frontFace, calls);
        }
        Set(Op::PolygonMode, s.polygonMode, now.polygonMode, calls);
        ColorMask(s.colorMask, t, calls);
        DepthMask(s.depthMask, t, calls);
    }

    GLuint SamplerFor(const GlSamplerParameters& p) {
        if (p.wrapS == 0) // no sampler object was bound: the texture's own states apply
            return 0;
        for (const auto& [parameters, sampler] : samplerObjects)
            if (parameters == p)
                return sampler;
        GLuint sampler = 0;
        glGenSamplers(1, &sampler);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, p.wrapS);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, p.wrapT);
        glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, p.wrapR);
        glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER, p.minFilter);
        glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, p.magFilter);
        glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, p.border);
        if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic"))
            glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, p.anisotropy);
        samplerObjects.emplace_back(p, sampler);
        return sampler;
    }

    GLuint BufferName(GLuint engineBuffer) const {
        const auto copy = bufferCopies.find(engineBuffer);
        return copy != bufferCopies.end() ? copy->second : engineBuffer;
    }

    GLuint VertexArrayFor(GlVertexLayout layout) {
        for (GlAttributeState& attribute : layout.attributes)
            attribute.buffer = BufferName(attribute.buffer);
        layout.elements = BufferName(layout.elements);
        for (const auto& [known, vertexArray] : vertexArrays)
            if (known == layout)
                return vertexArray;
        GLuint vertexArray = 0;
        glGenVertexArrays(1, &vertexArray);
        glBindVertexArray(vertexArray);
        for (int location = 0; location < kRecordedAttributes; ++location) {
            const GlAttributeState& a = layout.attributes[location];
            if (a.size == 0)
                continue;
            glBindBuffer(GL_ARRAY_BUFFER, a.buffer);
            glVertexAttribPointer(location, a.size, a.type, a.normalized, a.stride,
                                  reinterpret_cast<const void*>(a.offset));
            glEnableVertexAttribArray(location);
        }
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, layout.elements);
        vertexArrays.emplace_back(layout, vertexArray);
        return vertexArray;
    }

    void TranslateDraw(const GlRecordedDraw& draw, Tracked& t, std::vector<Call>& calls) {
        Pipeline(draw.pipeline, t, calls);
        if (t.program != draw.program) {
            calls.push_back(Make(Op::UseProgram, {static_cast<GLint>(draw.program)}));
            t.program = draw.program;
        }
        auto& uniforms = t.uniforms[draw.program];
        for (const GlUniformValue& uniform : draw.uniforms) {
            std::vector<std::uint32_t>& held = uniforms[uniform.location];
            if (held == uniform.words)
                continue;
            Call call = Make(Op::Uniform, {uniform.location}, uniform.type);
            call.data = uniform.words.data();
            calls.push_back(call);
            held = uniform.words;
        }
        for (const auto& [unit, state] : draw.units) {
            if (t.textures[unit] != state.texture) {
                if (t.activeUnit != unit) {
                    calls.push_back(Make(Op::ActiveTexture, {unit}));
                    t.activeUnit = unit;
                }
                calls.push_back(Make(Op::BindTexture, {static_cast<GLint>(state.texture)}));
                t.textures[unit] = state.texture;
            }
            const GLuint sampler = SamplerFor(state.sampler);
            if (t.samplers[unit] != sampler) {
                calls.push_back(Make(Op::BindSampler, {unit, static_cast<GLint>(sampler)}));
                t.samplers[unit] = sampler;
            }
        }
        const GLuint vertexArray = VertexArrayFor(draw.layout);
        if (t.vertexArray != vertexArray) {
            calls.push_back(Make(Op::BindVertexArray, {static_cast<GLint>(vertexArray)}));
            t.vertexArray = vertexArray;
        }
        Call call =
            Make(Op::Draw, {draw.count, static_cast<GLint>(draw.indexType), draw.baseVertex}, draw.mode);
        call.offset = draw.indexOffset;
        calls.push_back(call);
    }

    void TranslateClear(const GlRecordedClear& clear, Tracked& t, std::vector<Call>& calls) {
        DrawFramebuffer(clear.drawFramebuffer, t, calls);
        if ((clear.mask & GL_COLOR_BUFFER_BIT) != 0) {
            ColorMask(clear.colorMask, t, calls);
            if (!std::equal(clear.color, clear.color + 4, t.clearColor)) {
                Call call{Op::ClearColor};
                std::copy(clear.color, clear.color + 4, call.f);
                calls.push_back(call);
                std::copy(clear.color, clear.color + 4, t.clearColor);
            }
        }
        if ((clear.mask & GL_DEPTH_BUFFER_BIT) != 0) {
            DepthMask(clear.depthMask, t, calls);
            if (clear.depth != t.clearDepth) {
                Call call{Op::ClearDepth};
                call.d = clear.depth;
                calls.push_back(call);
                t.clearDepth = clear.depth;
            }
        }
        calls.push_back(Make(Op::Clear, {}, clear.mask));
    }

    void TranslateBlit(const GlRecordedBlit& blit, Tracked& t, std::vector<Call>& calls) {
        if (t.readFramebuffer != blit.readFramebuffer) {
            calls.push_back(Make(Op::BindReadFramebuffer, {static_cast<GLint>(blit.readFramebuffer)}));
            t.readFramebuffer = blit.readFramebuffer;
        }
        DrawFramebuffer(blit.drawFramebuffer, t, calls);
        ColorMask(blit.colorMask, t, calls);
        const GLint* s = blit.source;
        const GLint* d = blit.destination;
        calls.push_back(
            Make(Op::Blit, {s[0], s[1], s[2], s[3], d[0], d[1], d[2], d[3], static_cast<GLint>(blit.filter)},
                 blit.mask));
    }

    void TranslateUpload(const GlRecordedUpload& upload, Tracked& t, std::vector<Call>& calls) {
        const GLuint buffer = BufferName(upload.buffer);
        if (t.copyBuffer != buffer) {
            calls.push_back(Make(Op::BindCopyBuffer, {static_cast<GLint>(buffer)}));
            t.copyBuffer = buffer;
        }
        Call call = Make(upload.whole ? Op::BufferData : Op::BufferSubData,
                         {static_cast<GLint>(upload.bytes.size())}, upload.usage);
        call.offset = static_cast<std::uintptr_t>(upload.offset);
        call.data = upload.bytes.data();
        calls.push_back(call);
    }

    const GlFrameRecording& recording;
    std::map<GLuint, GLuint> bufferCopies;
    std::vector<std::pair<GlVertexLayout, GLuint>> vertexArrays;
    std::vector<std::pair<GlSamplerParameters, GLuint>> samplerObjects;
    bool abandoned = false;
};

void ApplyPipeline(const GlPipelineState& s) {
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, s.drawFramebuffer);
    glViewport(s.viewport[0], s.viewport[1], s.viewport[2], s.viewport[3]);
    if (HasClipControl())
        glClipControl(s.clipOrigin, GL_ZERO_TO_ONE);
    s.depthTest != 0 ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST);
    s.blend != 0 ? glEnable(GL_BLEND) : glDisable(GL_BLEND);
    s.cull != 0 ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
    glDepthFunc(s.depthFunc);
    glDepthMask(s.depthMask);
    glBlendFunc(s.blendSource, s.blendDestination);
    glBlendEquation(s.blendEquation);
    glCullFace(s.cullFace);
    glFrontFace(s.frontFace);
    glPolygonMode(GL_FRONT_AND_BACK, s.polygonMode);
    glColorMask(s.colorMask[0], s.colorMask[1], s.colorMask[2], s.colorMask[3]);
}

// Everything the replay may change that the device keeps track of.
struct DeviceState {
    GlPipelineState pipeline;
    GLuint program = 0, vertexArray = 0, readFramebuffer = 0;
    GLint activeTexture = GL_TEXTURE0;
    GLuint textures[kRecordedUnits] = {}, samplers[kRecordedUnits] = {};
    GLfloat clearColor[4] = {};
    GLdouble clearDepth = 1.0;
    std::map<GLuint, std::vector<GlUniformValue>> uniforms;

    void Read(const GlFrameRecording& recording) {
        pipeline = ReadPipelineState();
        program = static_cast<GLuint>(Integer(GL_CURRENT_PROGRAM));
        vertexArray = static_cast<GLuint>(Integer(GL_VERTEX_ARRAY_BINDING));
        readFramebuffer = static_cast<GLuint>(Integer(GL_READ_FRAMEBUFFER_BINDING));
        activeTexture = Integer(GL_ACTIVE_TEXTURE);
        for (int unit = 0; unit < kRecordedUnits; ++unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            textures[unit] = static_cast<GLuint>(Integer(GL_TEXTURE_BINDING_2D));
            samplers[unit] = static_cast<GLuint>(Integer(GL_SAMPLER_BINDING));
        }
        glActiveTexture(static_cast<GLenum>(activeTexture));
        glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColor);
        glGetDoublev(GL_DEPTH_CLEAR_VALUE, &clearDepth);
        for (const GlRecordedDraw& draw : recording.draws)
            if (!uniforms.contains(draw.program))
                uniforms[draw.program] = ReadUniforms(draw.program);
    }

    // The same, as the replay's starting point.
    Tracked AsTracked() const {
        Tracked t;
        t.pipeline = pipeline;
        t.program = program;
        t.readFramebuffer = readFramebuffer;
        t.activeUnit = activeTexture - GL_TEXTURE0;
        std::copy(std::begin(textures), std::end(textures), t.textures);
        std::copy(std::begin(samplers), std::end(samplers), t.samplers);
        t.vertexArray = vertexArray;
        std::copy(std::begin(clearColor), std::end(clearColor), t.clearColor);
        t.clearDepth = clearDepth;
        for (const auto& [name, values] : uniforms)
            for (const GlUniformValue& value : values)
                t.uniforms[name][value.location] = value.words;
        return t;
    }

    void Apply() const {
        for (const auto& [name, values] : uniforms) {
            glUseProgram(name);
            for (const GlUniformValue& value : values)
                SetUniform(value.type, value.location, value.words.data());
        }
        glUseProgram(program);
        ApplyPipeline(pipeline);
        glBindVertexArray(vertexArray);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, readFramebuffer);
        for (int unit = 0; unit < kRecordedUnits; ++unit) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glBindTexture(GL_TEXTURE_2D, textures[unit]);
            glBindSampler(unit, samplers[unit]);
        }
        glActiveTexture(static_cast<GLenum>(activeTexture));
        glClearColor(clearColor[0], clearColor[1], clearColor[2], clearColor[3]);
        glClearDepth(clearDepth);
    }
};

std::vector<ProgramSource> keptSources;
bool keepingSources = false;

bool CompileRaw(GLenum stage, const std::string& text, GLuint program) {
    const GLuint shader = glCreateShader(stage);
    const char* source = text.c_str();
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    glAttachShader(program, shader);
    glDeleteShader(shader);
    return compiled == GL_TRUE;
}

} // namespace

struct GlFrameReplay::Prepared {
    explicit Prepared(const GlFrameRecording& recording) : translator(recording) {}
    Translator translator;
    std::vector<Call> steady;
};

GlFrameReplay::GlFrameReplay(GlFrameRecording recorded, SDL_Window* window)
    : recording(std::move(recorded)), window(window), prepared(std::make_unique<Prepared>(recording)) {
    DeviceState device;
    device.Read(recording);
    Tracked tracked = device.AsTracked();
    prepared->translator.Translate(tracked);
    // From the state the frame leaves behind, which is the state every later frame starts from. The
    // active texture unit and the copy binding may be left as they were found, which differs from
    // play to play: the first use sets them.
    tracked.activeUnit = -1;
    tracked.copyBuffer = kUnknown;
    prepared->steady = prepared->translator.Translate(tracked);
    // Making the replay's objects moved bindings.
    device.Apply();
}

GlFrameReplay::~GlFrameReplay() {
    if (SDL_GL_GetCurrentContext() == nullptr)
        prepared->translator.Abandon();
}

std::size_t GlFrameReplay::Calls() const {
    return prepared->steady.size();
}

std::size_t GlFrameReplay::Draws() const {
    return static_cast<std::size_t>(std::count_if(prepared->steady.begin(), prepared->steady.end(),
                                                  [](const Call& call) { return call.op == Op::Draw; }));
}

void GlFrameReplay::Play(int frames, std::vector<std::int64_t>& times) {
    DeviceState device;
    device.Read(recording);
    // Every play starts from the render targets' pictures the engine's frame started from, and the
    // engine's next frame from those its own frame left: copied back outside the timed spans.
    std::map<GLuint, GlTextureCopy> engineLeft;
    for (const auto& [texture, before] : recording.texturesBefore)
        engineLeft.emplace(texture, GlTextureCopy::Of(texture));
    const auto startAsTheEngine = [this] {
        for (const auto& [texture, before] : recording.texturesBefore)
            before.CopyInto(texture);
        glFinish();
    };
    Tracked tracked = device.AsTracked();
    startAsTheEngine();
    Execute(prepared->translator.Translate(tracked), window);
    glFinish();
    if (!warm) {
        startAsTheEngine();
        Execute(prepared->steady, window);
        glFinish();
        warm = true;
    }
    for (int frame = 0; frame < frames; ++frame) {
        startAsTheEngine();
        const std::int64_t start = Nanoseconds();
        Execute(prepared->steady, window);
        glFinish();
        times.push_back(Nanoseconds() - start);
    }
    for (const auto& [texture, left] : engineLeft)
        left.CopyInto(texture);
    device.Apply();
}

void WaitForGpu() {
    glFinish();
}

void KeepProgramSources() {
    keepingSources = true;
}

const std::vector<ProgramSource>& KeptProgramSources() {
    return keptSources;
}

void NoteProgramSource(const ProgramSource& source) {
    if (keepingSources)
        keptSources.push_back(source);
}

std::int64_t CompileRawPrograms(const std::vector<ProgramSource>& sources, int& failures) {
    failures = 0;
    const std::int64_t start = Nanoseconds();
    for (const ProgramSource& source : sources) {
        const GLuint program = glCreateProgram();
        bool compiled = CompileRaw(GL_VERTEX_SHADER, source.vertex, program);
        compiled = CompileRaw(GL_FRAGMENT_SHADER, source.fragment, program) && compiled;
        for (const ProgramAttribute& attribute : source.attributes) {
            const int location = AttributeLocation(attribute.usage, attribute.usageIndex);
            if (location >= 0)
                glBindAttribLocation(program, static_cast<GLuint>(location), attribute.name.c_str());
        }
        GLint linked = GL_FALSE;
        if (compiled) {
            glLinkProgram(program);
            glGetProgramiv(program, GL_LINK_STATUS, &linked);
        }
        failures += linked == GL_TRUE ? 0 : 1;
        glDeleteProgram(program);
    }
    return Nanoseconds() - start;
}

std::string GlRendererName() {
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    return std::string(renderer != nullptr ? renderer : "?") + ", OpenGL " +
           (version != nullptr ? version : "?");
}

} // namespace engine::gpu
