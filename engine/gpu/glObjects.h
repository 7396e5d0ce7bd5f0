// The OpenGL objects behind the device interface: buffers with a CPU copy for Lock/Unlock, vertex
// declarations resolved to attribute formats, textures with their framebuffer, surfaces and programs.
// Each holds the shared context token, so an object that outlives the device never calls GL.
#pragma once

#include "gpu/device.h"
#include "gpu/objectCounts.h"

#include <epoxy/gl.h>

#include <memory>

namespace engine::gpu {

// Shared by the device and every object it created; `alive` turns false when the context goes.
struct GlContextToken {
    bool alive = true;
};
using ContextToken = std::shared_ptr<GlContextToken>;

// Fixed attribute locations by declaration usage and usage index, so that the fixed-function programs
// and effect programs read the same declarations. -1 for a pair with no location.
constexpr int kAttributeLocations = 10;
int AttributeLocation(std::uint8_t usage, std::uint8_t usageIndex);

// Lock hands out the CPU copy; Unlock uploads what was locked.
class GlBuffer {
public:
    GlBuffer(ContextToken context, std::uint32_t length, std::uint32_t usage);
    ~GlBuffer();
    Result Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags);
    Result Unlock();
    GLuint Name() const { return name; }
    std::uint32_t Length() const { return static_cast<std::uint32_t>(shadow.size()); }
    std::uint32_t GetUsage() const { return usage; }
    const std::uint8_t* Data() const { return shadow.data(); }

private:
    LiveCount counted{GlObjectKind::Buffer};
    ContextToken context;
    GLuint name = 0;
    std::uint32_t usage;
    std::vector<std::uint8_t> shadow;
    bool locked = false;
    bool discard = false;
    std::uint32_t lockOffset = 0, lockSize = 0;
};

class GlVertexBuffer : public VertexBuffer {
public:
    GlVertexBuffer(ContextToken context, std::uint32_t length, std::uint32_t usage)
        : buffer(std::move(context), length, usage) {}
    std::uint32_t Length() const override { return buffer.Length(); }
    Result Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) override {
        return buffer.Lock(offset, size, data, flags);
    }
    Result Unlock() override { return buffer.Unlock(); }
    GLuint Name() const { return buffer.Name(); }

private:
    GlBuffer buffer;
};

class GlIndexBuffer : public IndexBuffer {
public:
    GlIndexBuffer(ContextToken context, std::uint32_t length, std::uint32_t usage, std::uint32_t format)
        : buffer(std::move(context), length, usage), format(format) {}
    std::uint32_t Length() const override { return buffer.Length(); }
    std::uint32_t GetFormat() const override { return format; }
    Result Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags) override {
        return buffer.Lock(offset, size, data, flags);
    }
    // Also finds the range of the indices, which draws check against the vertex buffer.
    Result Unlock() override;
    GLuint Name() const { return buffer.Name(); }
    std::uint32_t IndexSize() const { return format == FormatIndex32 ? 4 : 2; }
    std::uint32_t MinIndex() const { return minIndex; }
    std::uint32_t MaxIndex() const { return maxIndex; }

private:
    GlBuffer buffer;
    std::uint32_t format;
    std::uint32_t minIndex = 0, maxIndex = 0;
};

struct GlAttribute {
    int location;
    GLint components;
    GLenum type;
    GLboolean normalized;
    std::uint32_t offset;
};

class GlVertexDeclaration : public VertexDeclaration {
public:
    GlVertexDeclaration(std::vector<VertexElement> elements, std::vector<GlAttribute> attributes,
                        std::uint32_t vertexSize)
        : elements(std::move(elements)), attributes(std::move(attributes)), vertexSize(vertexSize) {}
    const std::vector<VertexElement>& Elements() const override { return elements; }
    const std::vector<GlAttribute>& Attributes() const { return attributes; }
    // Bytes from the start of a vertex to the end of its last element.
    std::uint32_t VertexSize() const { return vertexSize; }

private:
    std::vector<VertexElement> elements;
    std::vector<GlAttribute> attributes;
    std::uint32_t vertexSize;
};

class GlTexture : public Texture {
public:
    GlTexture(ContextToken context, GLuint name, std::uint32_t width, std::uint32_t height,
              std::uint32_t levels, std::uint32_t usage, std::uint32_t format);
    ~GlTexture() override;
    std::uint32_t Width() const override { return width; }
    std::uint32_t Height() const override { return height; }
    std::uint32_t LevelCount() const override { return levels; }
    std::uint32_t GetFormat() const override { return format; }
    std::uint32_t GetUsage() const override { return usage; }
    Result GetSurfaceLevel(std::uint32_t level, Surface** surface) override;
    GLuint Name() const { return name; }
    // The framebuffer that draws into level 0, made on first use.
    GLuint Framebuffer();

private:
    LiveCount counted{GlObjectKind::Texture};
    ContextToken context;
    GLuint name;
    GLuint framebuffer = 0;
    std::uint32_t width, height, levels, usage, format;
};

// The back buffer (framebuffer 0, bottom row first) or level 0 of a render-target texture (its own
// framebuffer, top row first, so that textures are sampled right side up).
class GlSurface : public Surface {
public:
    GlSurface(std::uint32_t width, std::uint32_t height, std::uint32_t format, std::uint32_t samples)
        : width(width), height(height), format(format), samples(samples) {}
    explicit GlSurface(GlTexture* texture)
        : texture(texture), width(texture->Width()), height(texture->Height()), format(texture->GetFormat()) {
    }
    std::uint32_t Width() const override { return width; }
    std::uint32_t Height() const override { return height; }
    std::uint32_t GetFormat() const override { return format; }
    GLuint Framebuffer() const { return texture ? texture.Get()->Framebuffer() : 0; }
    bool TopRowFirst() const { return static_cast<bool>(texture); }
    std::uint32_t Samples() const { return samples; }
    void Resize(std::uint32_t newWidth, std::uint32_t newHeight) {
        width = newWidth;
        height = newHeight;
    }

private:
    Ref<GlTexture> texture;
    std::uint32_t width, height, format;
    std::uint32_t samples = 0;
};

class GlProgram : public Program {
public:
    GlProgram(ContextToken context, GLuint name);
    ~GlProgram() override;
    const std::vector<UniformInfo>& Uniforms() const override { return uniforms; }
    int FindUniform(const std::string& name) const override;
    Result SetFloats(int uniform, const float* values, std::size_t count) override;
    Result SetInts(int uniform, const std::int32_t* values, std::size_t count) override;
    Result SetMatrix(int uniform, const math::Matrix4x4& matrix) override;
    GLuint Name() const { return name; }
    // Uploads the values set since the last flush; the program must be in use.
    void Flush();

private:
    LiveCount counted{GlObjectKind::Program};
    struct Slot {
        GLint location;
        std::size_t offset; // into `values`, in 4-byte words
        std::size_t words;
        bool dirty;
        // Whether a value was set since the program was made.
        bool set;
    };
    Result Store(int uniform, const void* data, std::size_t words, bool integer);

    ContextToken context;
    GLuint name;
    std::vector<UniformInfo> uniforms;
    std::vector<Slot> slots;
    std::vector<std::uint32_t> values;
    bool anyDirty = false;
};

// Compiles and links a program; binds each attribute to its declaration location before linking.
Result BuildGlProgram(const ProgramSource& source, GLuint& program, std::string& diagnostics);

} // namespace engine::gpu

namespace engine::gpu {

// Textures are created and filled on this unit, which the device never binds for drawing, so that
// creating one never disturbs the device's record of what is bound.
constexpr GLenum kScratchTextureUnit = GL_TEXTURE15;

// An empty texture (levels 0: the full chain); render-target textures use the back buffer's format.
Result CreateGlTexture(const ContextToken& context, std::uint32_t width, std::uint32_t height,
                       std::uint32_t levels, std::uint32_t usage, std::uint32_t format, GlTexture** texture);
// An image file as RGBA with a full mip chain; `maxSize` bounds either dimension.
Result LoadGlTexture(const ContextToken& context, const std::wstring& path, std::uint32_t maxSize,
                     GlTexture** texture, std::string* reason);

} // namespace engine::gpu
