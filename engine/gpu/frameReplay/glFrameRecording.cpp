#include "gpu/frameReplay/glFrameRecording.h"

#include <SDL.h>

#include <algorithm>
#include <string>
#include <utility>

namespace engine::gpu {

namespace {

GLint Integer(GLenum name) {
    GLint value = 0;
    glGetIntegerv(name, &value);
    return value;
}

// Words of one element of a uniform of that type, and whether they are integers; 0 for a type the
// replay cannot set (none of the engine's programs declares one).
int WordsOf(GLenum type, bool& integer) {
    integer = false;
    switch (type) {
    case GL_FLOAT:
        return 1;
    case GL_FLOAT_VEC2:
        return 2;
    case GL_FLOAT_VEC3:
        return 3;
    case GL_FLOAT_VEC4:
    case GL_FLOAT_MAT2:
        return 4;
    case GL_FLOAT_MAT3:
        return 9;
    case GL_FLOAT_MAT4:
        return 16;
    case GL_SAMPLER_2D:
    case GL_SAMPLER_CUBE:
    case GL_INT:
    case GL_BOOL:
        integer = true;
        return 1;
    case GL_INT_VEC2:
    case GL_BOOL_VEC2:
        integer = true;
        return 2;
    case GL_INT_VEC3:
    case GL_BOOL_VEC3:
        integer = true;
        return 3;
    case GL_INT_VEC4:
    case GL_BOOL_VEC4:
        integer = true;
        return 4;
    default:
        return 0;
    }
}

bool IsSampler(GLenum type) {
    return type == GL_SAMPLER_2D || type == GL_SAMPLER_CUBE;
}

GlVertexLayout ReadVertexLayout() {
    GlVertexLayout layout;
    for (int location = 0; location < kRecordedAttributes; ++location) {
        GLint enabled = 0;
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        if (enabled == 0)
            continue;
        GlAttributeState& a = layout.attributes[location];
        GLint value = 0;
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_SIZE, &a.size);
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_TYPE, &value);
        a.type = static_cast<GLenum>(value);
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, &value);
        a.normalized = value != 0 ? GL_TRUE : GL_FALSE;
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &a.stride);
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &value);
        a.buffer = static_cast<GLuint>(value);
        void* pointer = nullptr;
        glGetVertexAttribPointerv(location, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
        a.offset = reinterpret_cast<std::uintptr_t>(pointer);
    }
    layout.elements = static_cast<GLuint>(Integer(GL_ELEMENT_ARRAY_BUFFER_BINDING));
    return layout;
}

void ReadColorMask(GLboolean mask[4]) {
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
}

} // namespace

bool HasClipControl() {
    return epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
}

GlPipelineState ReadPipelineState() {
    GlPipelineState s;
    s.drawFramebuffer = static_cast<GLuint>(Integer(GL_DRAW_FRAMEBUFFER_BINDING));
    glGetIntegerv(GL_VIEWPORT, s.viewport);
    if (HasClipControl())
        s.clipOrigin = Integer(GL_CLIP_ORIGIN);
    s.depthTest = glIsEnabled(GL_DEPTH_TEST);
    s.blend = glIsEnabled(GL_BLEND);
    s.cull = glIsEnabled(GL_CULL_FACE);
    s.depthFunc = Integer(GL_DEPTH_FUNC);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &s.depthMask);
    s.blendSource = Integer(GL_BLEND_SRC_RGB);
    s.blendDestination = Integer(GL_BLEND_DST_RGB);
    s.blendEquation = Integer(GL_BLEND_EQUATION_RGB);
    s.cullFace = Integer(GL_CULL_FACE_MODE);
    s.frontFace = Integer(GL_FRONT_FACE);
    // Some drivers answer front and back here.
    GLint polygonMode[2] = {GL_FILL, GL_FILL};
    glGetIntegerv(GL_POLYGON_MODE, polygonMode);
    s.polygonMode = polygonMode[0];
    ReadColorMask(s.colorMask);
    return s;
}

GlUnitState ReadUnitState(int unit) {
    const GLint active = Integer(GL_ACTIVE_TEXTURE);
    glActiveTexture(GL_TEXTURE0 + unit);
    GlUnitState state;
    state.texture = static_cast<GLuint>(Integer(GL_TEXTURE_BINDING_2D));
    const auto sampler = static_cast<GLuint>(Integer(GL_SAMPLER_BINDING));
    glActiveTexture(static_cast<GLenum>(active));
    GlSamplerParameters& p = state.sampler;
    if (sampler == 0)
        return state;
    glGetSamplerParameteriv(sampler, GL_TEXTURE_WRAP_S, &p.wrapS);
    glGetSamplerParameteriv(sampler, GL_TEXTURE_WRAP_T, &p.wrapT);
    glGetSamplerParameteriv(sampler, GL_TEXTURE_WRAP_R, &p.wrapR);
    glGetSamplerParameteriv(sampler, GL_TEXTURE_MIN_FILTER, &p.minFilter);
    glGetSamplerParameteriv(sampler, GL_TEXTURE_MAG_FILTER, &p.magFilter);
    glGetSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, p.border);
    if (epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic"))
        glGetSamplerParameterfv(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, &p.anisotropy);
    return state;
}

std::vector<GlUniformValue> ReadUniforms(GLuint program) {
    std::vector<GlUniformValue> values;
    if (program == 0)
        return values;
    GLint count = 0;
    glGetProgramiv(program, GL_ACTIVE_UNIFORMS, &count);
    for (GLint i = 0; i < count; ++i) {
        char name[256];
        GLsizei length = 0;
        GLint size = 0;
        GLenum type = 0;
        glGetActiveUniform(program, static_cast<GLuint>(i), sizeof name, &length, &size, &type, name);
        bool integer = false;
        const int words = WordsOf(type, integer);
        if (words == 0)
            continue;
        std::string base(name, length);
        if (base.ends_with("[0]"))
            base.resize(base.size() - 3);
        for (GLint element = 0; element < size; ++element) {
            const std::string elementName = size > 1 ? base + "[" + std::to_string(element) + "]" : base;
            const GLint location = glGetUniformLocation(program, elementName.c_str());
            if (location < 0) // a member of a uniform block
                continue;
            GlUniformValue value{location, type, std::vector<std::uint32_t>(words)};
            if (integer)
                glGetUniformiv(program, location, reinterpret_cast<GLint*>(value.words.data()));
            else
                glGetUniformfv(program, location, reinterpret_cast<GLfloat*>(value.words.data()));
            values.push_back(std::move(value));
        }
    }
    return values;
}

std::vector<int> SampledUnits(const std::vector<GlUniformValue>& uniforms) {
    std::vector<int> units;
    for (const GlUniformValue& uniform : uniforms) {
        const auto unit = static_cast<int>(uniform.words[0]);
        if (IsSampler(uniform.type) && unit >= 0 && unit < kRecordedUnits &&
            std::find(units.begin(), units.end(), unit) == units.end())
            units.push_back(unit);
    }
    return units;
}

GlTextureCopy GlTextureCopy::Of(GLuint texture) {
    GlTextureCopy kept;
    if (epoxy_gl_version() < 43 && !epoxy_has_gl_extension("GL_ARB_copy_image"))
        return kept;
    const GLint bound = Integer(GL_TEXTURE_BINDING_2D);
    GLint format = 0;
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &kept.width);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &kept.height);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    glGenTextures(1, &kept.copy);
    glBindTexture(GL_TEXTURE_2D, kept.copy);
    // The data format only describes the (absent) upload; the internal format is what the copy needs.
    glTexImage2D(GL_TEXTURE_2D, 0, format, kept.width, kept.height, 0, GL_RGBA, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    glCopyImageSubData(texture, GL_TEXTURE_2D, 0, 0, 0, 0, kept.copy, GL_TEXTURE_2D, 0, 0, 0, 0, kept.width,
                       kept.height, 1);
    return kept;
}

GlTextureCopy::~GlTextureCopy() {
    if (copy != 0 && SDL_GL_GetCurrentContext() != nullptr)
        glDeleteTextures(1, &copy);
}

GlTextureCopy::GlTextureCopy(GlTextureCopy&& other) noexcept
    : copy(std::exchange(other.copy, 0)), width(other.width), height(other.height) {}

GlTextureCopy& GlTextureCopy::operator=(GlTextureCopy&& other) noexcept {
    std::swap(copy, other.copy);
    std::swap(width, other.width);
    std::swap(height, other.height);
    return *this;
}

void GlTextureCopy::CopyInto(GLuint texture) const {
    if (copy != 0)
        glCopyImageSubData(copy, GL_TEXTURE_2D, 0, 0, 0, 0, texture, GL_TEXTURE_2D, 0, 0, 0, 0, width, height,
                           1);
}

void GlFrameRecorder::KeepTargetBeforeWrite() {
    if (Integer(GL_DRAW_FRAMEBUFFER_BINDING) == 0)
        return;
    GLint type = GL_NONE;
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_TYPE, &type);
    if (type != GL_TEXTURE)
        return;
    GLint name = 0;
    glGetFramebufferAttachmentParameteriv(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0,
                                          GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &name);
    const auto texture = static_cast<GLuint>(name);
    if (!recording.texturesBefore.contains(texture))
        recording.texturesBefore.emplace(texture, GlTextureCopy::Of(texture));
}

void GlFrameRecorder::Begin() {
    recording = {};
    active = this;
}

GlFrameRecording GlFrameRecorder::End() {
    if (active == this)
        active = nullptr;
    return std::move(recording);
}

void GlFrameRecorder::Draw(GLenum mode, GLsizei count, GLenum indexType, std::uintptr_t indexOffset,
                           GLint baseVertex) {
    KeepTargetBeforeWrite();
    GlRecordedDraw draw;
    draw.pipeline = ReadPipelineState();
    draw.program = static_cast<GLuint>(Integer(GL_CURRENT_PROGRAM));
    draw.uniforms = ReadUniforms(draw.program);
    for (int unit : SampledUnits(draw.uniforms))
        draw.units.emplace_back(unit, ReadUnitState(unit));
    draw.layout = ReadVertexLayout();
    draw.mode = mode;
    draw.count = count;
    draw.indexType = indexType;
    draw.indexOffset = indexOffset;
    draw.baseVertex = baseVertex;
    recording.operations.push_back({GlRecordedOperation::Kind::Draw, recording.draws.size()});
    recording.draws.push_back(std::move(draw));
}

void GlFrameRecorder::Clear(GLbitfield mask) {
    KeepTargetBeforeWrite();
    GlRecordedClear clear;
    clear.drawFramebuffer = static_cast<GLuint>(Integer(GL_DRAW_FRAMEBUFFER_BINDING));
    clear.mask = mask;
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear.color);
    glGetDoublev(GL_DEPTH_CLEAR_VALUE, &clear.depth);
    ReadColorMask(clear.colorMask);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &clear.depthMask);
    recording.operations.push_back({GlRecordedOperation::Kind::Clear, recording.clears.size()});
    recording.clears.push_back(clear);
}

void GlFrameRecorder::Blit(const GLint source[4], const GLint destination[4], GLbitfield mask,
                           GLenum filter) {
    KeepTargetBeforeWrite();
    GlRecordedBlit blit;
    blit.readFramebuffer = static_cast<GLuint>(Integer(GL_READ_FRAMEBUFFER_BINDING));
    blit.drawFramebuffer = static_cast<GLuint>(Integer(GL_DRAW_FRAMEBUFFER_BINDING));
    std::copy(source, source + 4, blit.source);
    std::copy(destination, destination + 4, blit.destination);
    blit.mask = mask;
    blit.filter = filter;
    ReadColorMask(blit.colorMask);
    recording.operations.push_back({GlRecordedOperation::Kind::Blit, recording.blits.size()});
    recording.blits.push_back(blit);
}

void GlFrameRecorder::Upload(GLuint buffer, bool whole, GLenum usage, GLintptr offset, GLsizeiptr size,
                             const void* data) {
    // The buffer is bound to the copy-write target for the upload.
    if (!recording.writtenBuffers.contains(buffer)) {
        GlBufferBefore& before = recording.writtenBuffers[buffer];
        GLint64 length = 0;
        glGetBufferParameteri64v(GL_COPY_WRITE_BUFFER, GL_BUFFER_SIZE, &length);
        GLint bufferUsage = 0;
        glGetBufferParameteriv(GL_COPY_WRITE_BUFFER, GL_BUFFER_USAGE, &bufferUsage);
        before.usage = static_cast<GLenum>(bufferUsage);
        before.bytes.resize(static_cast<std::size_t>(length));
        if (length > 0)
            glGetBufferSubData(GL_COPY_WRITE_BUFFER, 0, length, before.bytes.data());
    }
    GlRecordedUpload upload{buffer, whole, usage, offset, {}};
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    upload.bytes.assign(bytes, bytes + size);
    recording.operations.push_back({GlRecordedOperation::Kind::Upload, recording.uploads.size()});
    recording.uploads.push_back(std::move(upload));
}

void GlFrameRecorder::Present() {
    recording.operations.push_back({GlRecordedOperation::Kind::Present, 0});
}

} // namespace engine::gpu
