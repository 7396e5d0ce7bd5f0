// One frame of OpenGL work, recorded where the device issues it, so that it can be replayed with plain
// OpenGL and nothing else: the floor the engine's frame is measured against. What a frame asks of
// the GPU is recorded as OpenGL holds it at that moment (read back with glGet, whatever the device's
// own bookkeeping says): for every draw the framebuffer, the pipeline states, the program and the
// values of all its uniforms, the textures and sampler states of the units it samples and the vertex
// layout; besides the draws the clears, the blits into render targets, the bytes uploaded into buffers
// and the present. Recording is slow and only ever done for a frame chosen for it.
#pragma once

#include "gpu/device.h"

#include <epoxy/gl.h>

#include <array>
#include <cstdint>
#include <map>
#include <vector>

namespace engine::gpu {

constexpr int kRecordedUnits = static_cast<int>(kMaxTextureStages);
constexpr int kRecordedAttributes = 10;

struct GlSamplerParameters {
    GLint wrapS = 0, wrapT = 0, wrapR = 0, minFilter = 0, magFilter = 0;
    GLfloat border[4] = {};
    GLfloat anisotropy = 1.0f;
    bool operator==(const GlSamplerParameters&) const = default;
};

struct GlUnitState {
    GLuint texture = 0;
    GlSamplerParameters sampler;
    bool operator==(const GlUnitState&) const = default;
};

// The fixed pipeline's states the device changes, and where the pictures go.
struct GlPipelineState {
    GLuint drawFramebuffer = 0;
    GLint viewport[4] = {};
    GLint clipOrigin = GL_LOWER_LEFT;
    GLboolean depthTest = GL_FALSE, blend = GL_FALSE, cull = GL_FALSE;
    GLint depthFunc = GL_LESS;
    GLboolean depthMask = GL_TRUE;
    GLint blendSource = GL_ONE, blendDestination = GL_ZERO, blendEquation = GL_FUNC_ADD;
    GLint cullFace = GL_BACK, frontFace = GL_CCW;
    GLint polygonMode = GL_FILL;
    GLboolean colorMask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    bool operator==(const GlPipelineState&) const = default;
};

struct GlAttributeState {
    GLint size = 0;
    GLenum type = 0;
    GLboolean normalized = GL_FALSE;
    GLsizei stride = 0;
    GLuint buffer = 0;
    std::uintptr_t offset = 0;
    bool operator==(const GlAttributeState&) const = default;
};

// The enabled attributes (size 0 where disabled) and the element buffer.
struct GlVertexLayout {
    std::array<GlAttributeState, kRecordedAttributes> attributes{};
    GLuint elements = 0;
    bool operator==(const GlVertexLayout&) const = default;
};

// One element of one uniform: its location, its type and its value as 4-byte words.
struct GlUniformValue {
    GLint location = -1;
    GLenum type = 0;
    std::vector<std::uint32_t> words;
};

struct GlRecordedDraw {
    GlPipelineState pipeline;
    GLuint program = 0;
    std::vector<GlUniformValue> uniforms;
    // The units the program's samplers read, with what they hold.
    std::vector<std::pair<int, GlUnitState>> units;
    GlVertexLayout layout;
    GLenum mode = 0;
    GLsizei count = 0;
    GLenum indexType = 0;
    std::uintptr_t indexOffset = 0;
    GLint baseVertex = 0;
};

struct GlRecordedClear {
    GLuint drawFramebuffer = 0;
    GLbitfield mask = 0;
    GLfloat color[4] = {};
    GLdouble depth = 1.0;
    GLboolean colorMask[4] = {};
    GLboolean depthMask = GL_TRUE;
};

struct GlRecordedBlit {
    GLuint readFramebuffer = 0, drawFramebuffer = 0;
    GLint source[4] = {}, destination[4] = {};
    GLbitfield mask = 0;
    GLenum filter = GL_NEAREST;
    GLboolean colorMask[4] = {};
};

// Bytes written into a buffer: all of it anew (glBufferData) or a range (glBufferSubData).
struct GlRecordedUpload {
    GLuint buffer = 0;
    bool whole = false;
    GLenum usage = 0;
    GLintptr offset = 0;
    std::vector<std::uint8_t> bytes;
};

struct GlRecordedOperation {
    enum class Kind { Draw, Clear, Blit, Upload, Present } kind;
    std::size_t index; // into the list of its kind
};

// A buffer the frame writes into, as it was before the frame's first write.
struct GlBufferBefore {
    GLenum usage = 0;
    std::vector<std::uint8_t> bytes;
};

// A copy of a texture's level 0, made with the GPU's own copy; deleted with it while a context is current.
class GlTextureCopy {
public:
    GlTextureCopy() = default;
    // A new texture of the same size and format holding what `texture` holds now; an empty copy where
    // OpenGL cannot copy images (before 4.3 without ARB_copy_image).
    static GlTextureCopy Of(GLuint texture);
    ~GlTextureCopy();
    GlTextureCopy(GlTextureCopy&& other) noexcept;
    GlTextureCopy& operator=(GlTextureCopy&& other) noexcept;

    // Writes the copy back over `texture`, which must have the copied size and format.
    void CopyInto(GLuint texture) const;

private:
    GLuint copy = 0;
    GLint width = 0;
    GLint height = 0;
};

struct GlFrameRecording {
    std::vector<GlRecordedOperation> operations;
    std::vector<GlRecordedDraw> draws;
    std::vector<GlRecordedClear> clears;
    std::vector<GlRecordedBlit> blits;
    std::vector<GlRecordedUpload> uploads;
    std::map<GLuint, GlBufferBefore> writtenBuffers;
    // Every texture the frame draws, clears or blits into, as it was before the frame's first write.
    // A frame reads what the one before left in some of them (a feedback trail, a glow), so a replay
    // that starts from what the previous play left would draw another picture each time.
    std::map<GLuint, GlTextureCopy> texturesBefore;
};

// Records what the device sends OpenGL while it is the active recorder. The device calls the hooks
// right before the matching OpenGL call, with OpenGL in the state that call sees.
class GlFrameRecorder {
public:
    // The recorder the hooks report to, or null (the case outside a recorded frame).
    static GlFrameRecorder* Active() { return active; }
    void Begin();
    GlFrameRecording End();

    void Draw(GLenum mode, GLsizei count, GLenum indexType, std::uintptr_t indexOffset, GLint baseVertex);
    void Clear(GLbitfield mask);
    void Blit(const GLint source[4], const GLint destination[4], GLbitfield mask, GLenum filter);
    void Upload(GLuint buffer, bool whole, GLenum usage, GLintptr offset, GLsizeiptr size, const void* data);
    void Present();

private:
    // Keeps the colour texture of the bound draw framebuffer, the first time the frame writes there.
    void KeepTargetBeforeWrite();

    static inline GlFrameRecorder* active = nullptr;
    GlFrameRecording recording;
};

// What OpenGL holds now, read back: the pipeline, the units 0 to kRecordedUnits - 1 and the values of
// every active uniform of a program. Used to record and, around a replay, to put the device's state back.
GlPipelineState ReadPipelineState();
GlUnitState ReadUnitState(int unit);
std::vector<GlUniformValue> ReadUniforms(GLuint program);
// The texture units a program's samplers read, from their values.
std::vector<int> SampledUnits(const std::vector<GlUniformValue>& uniforms);
// Whether glClipControl is there to be called or read back.
bool HasClipControl();

} // namespace engine::gpu
