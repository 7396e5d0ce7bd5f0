#include "gpu/glObjects.h"

#include "core/textConversion.h"
#include "gpu/glCheck.h"

#include <stb_image.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace engine::gpu {

namespace {

std::uint32_t FullChainLevels(std::uint32_t width, std::uint32_t height) {
    std::uint32_t levels = 1;
    for (std::uint32_t size = width > height ? width : height; size > 1; size /= 2)
        ++levels;
    return levels;
}

struct PixelLayout {
    GLint internalFormat;
    GLenum format;
    GLenum type;
};

bool LayoutOf(std::uint32_t format, PixelLayout& layout) {
    switch (format) {
    case FormatA8R8G8B8:
        layout = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE};
        return true;
    case FormatX8R8G8B8:
        layout = {GL_RGB8, GL_RGBA, GL_UNSIGNED_BYTE};
        return true;
    case FormatR5G6B5:
        layout = {GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5};
        return true;
    default:
        return false;
    }
}

// The next level of an RGBA picture: each texel the mean of the 2 x 2 block it covers (a side of one
// texel takes its block from that one column or row), rounded to nearest, as drivers reduce
// power-of-two sizes. Done here rather than by glGenerateMipmap, which on a software rasteriser
// compiles a drawing program of its own on first use: a fifth of a second of start-up.
std::vector<std::uint8_t> HalveRgba(const std::vector<std::uint8_t>& source, std::uint32_t width,
                                    std::uint32_t height, std::uint32_t& halfWidth,
                                    std::uint32_t& halfHeight) {
    halfWidth = width > 1 ? width / 2 : 1;
    halfHeight = height > 1 ? height / 2 : 1;
    std::vector<std::uint8_t> half(static_cast<std::size_t>(halfWidth) * halfHeight * 4);
    for (std::uint32_t y = 0; y < halfHeight; ++y) {
        const std::uint32_t y0 = std::min(2 * y, height - 1), y1 = std::min(2 * y + 1, height - 1);
        for (std::uint32_t x = 0; x < halfWidth; ++x) {
            const std::uint32_t x0 = std::min(2 * x, width - 1), x1 = std::min(2 * x + 1, width - 1);
            for (std::uint32_t c = 0; c < 4; ++c) {
                const auto at = [&](std::uint32_t column, std::uint32_t row) {
                    return static_cast<std::uint32_t>(
                        source[(static_cast<std::size_t>(row) * width + column) * 4 + c]);
                };
                const std::uint32_t sum = at(x0, y0) + at(x1, y0) + at(x0, y1) + at(x1, y1);
                half[(static_cast<std::size_t>(y) * halfWidth + x) * 4 + c] =
                    static_cast<std::uint8_t>((sum + 2) / 4);
            }
        }
    }
    return half;
}

void AllocateLevels(const PixelLayout& layout, std::uint32_t width, std::uint32_t height,
                    std::uint32_t levels) {
    // Start every level black: a render target sampled before anything was drawn into it (a feedback or
    // bloom pass on the first frame) would otherwise show whatever the driver left in that memory.
    // Four bytes a pixel covers every layout with its row padding.
    const std::vector<std::uint8_t> black(static_cast<std::size_t>(width) * height * 4, 0);
    for (std::uint32_t level = 0; level < levels; ++level) {
        GL_CALL(glTexImage2D(GL_TEXTURE_2D, level, layout.internalFormat, width, height, 0, layout.format,
                             layout.type, black.data()));
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    // Without this a texture with fewer levels than the full chain is incomplete under mip filtering.
    GL_CALL(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1));
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

GlTexture::GlTexture(ContextToken context, GLuint name, std::uint32_t width, std::uint32_t height,
                     std::uint32_t levels, std::uint32_t usage, std::uint32_t format)
    : context(std::move(context)), name(name), width(width), height(height), levels(levels), usage(usage),
      format(format) {}

GlTexture::~GlTexture() {
    if (!context->alive)
        return;
    if (framebuffer != 0)
        GL_CALL(glDeleteFramebuffers(1, &framebuffer));
    GL_CALL(glDeleteTextures(1, &name));
}

Result GlTexture::GetSurfaceLevel(std::uint32_t level, Surface** surface) {
    if (surface == nullptr || level != 0 || (usage & UsageRenderTarget) == 0)
        return kInvalidCall;
    *surface = new GlSurface(this);
    return kOk;
}

GLuint GlTexture::Framebuffer() {
    if (framebuffer != 0 || !context->alive)
        return framebuffer;
    GLint draw = 0, read = 0;
    GL_CALL(glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw));
    GL_CALL(glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read));
    GL_CALL(glGenFramebuffers(1, &framebuffer));
    GL_CALL(glBindFramebuffer(GL_FRAMEBUFFER, framebuffer));
    GL_CALL(glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, name, 0));
    GL_CALL(glBindFramebuffer(GL_DRAW_FRAMEBUFFER, draw));
    GL_CALL(glBindFramebuffer(GL_READ_FRAMEBUFFER, read));
    return framebuffer;
}

Result CreateGlTexture(const ContextToken& context, std::uint32_t width, std::uint32_t height,
                       std::uint32_t levels, std::uint32_t usage, std::uint32_t format, GlTexture** texture) {
    PixelLayout layout;
    if (texture == nullptr || width == 0 || height == 0 || !LayoutOf(format, layout))
        return kInvalidCall;
    const std::uint32_t fullChain = FullChainLevels(width, height);
    if (levels == 0 || levels > fullChain)
        levels = fullChain;
    GLuint name = 0;
    GL_CALL(glGenTextures(1, &name));
    GL_CALL(glActiveTexture(kScratchTextureUnit));
    GL_CALL(glBindTexture(GL_TEXTURE_2D, name));
    AllocateLevels(layout, width, height, levels);
    *texture = new GlTexture(context, name, width, height, levels, usage, format);
    return kOk;
}

Result LoadGlTexture(const ContextToken& context, const std::wstring& path, std::uint32_t maxSize,
                     GlTexture** texture, std::string* reason) {
    auto fail = [reason](std::string why) {
        if (reason != nullptr)
            *reason = std::move(why);
        return kFail;
    };
    if (texture == nullptr)
        return kInvalidCall;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(core::WideToNarrow(path).c_str(), "rb"));
    if (!file)
        return fail(std::string("cannot open the file: ") + std::strerror(errno));
    int width = 0, height = 0, channels = 0;
    // The size from the header alone (the file is left where it was): a picture the device cannot hold
    // is refused before its pixels are decoded into memory of their size.
    if (stbi_info_from_file(file.get(), &width, &height, &channels) == 0)
        return fail(std::string("not a readable image: ") + stbi_failure_reason());
    if (std::uint32_t(width) > maxSize || std::uint32_t(height) > maxSize)
        return fail("the image is " + std::to_string(width) + "x" + std::to_string(height) +
                    ", larger than the device's largest texture, " + std::to_string(maxSize) + "x" +
                    std::to_string(maxSize));
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(
        stbi_load_from_file(file.get(), &width, &height, &channels, 4), stbi_image_free);
    if (!pixels)
        return fail(std::string("not a readable image: ") + stbi_failure_reason());

    const std::uint32_t levels = FullChainLevels(width, height);
    GLuint name = 0;
    GL_CALL(glGenTextures(1, &name));
    GL_CALL(glActiveTexture(kScratchTextureUnit));
    GL_CALL(glBindTexture(GL_TEXTURE_2D, name));
    GL_CALL(glPixelStorei(GL_UNPACK_ALIGNMENT, 1));
    // Rows go up as stored, top row first, which matches Direct3D's texture coordinates (v = 0 at top).
    std::uint32_t levelWidth = width, levelHeight = height;
    std::vector<std::uint8_t> level(pixels.get(),
                                    pixels.get() + static_cast<std::size_t>(width) * height * 4);
    pixels.reset();
    for (std::uint32_t index = 0; index < levels; ++index) {
        if (index > 0)
            level = HalveRgba(level, levelWidth, levelHeight, levelWidth, levelHeight);
        GL_CALL(glTexImage2D(GL_TEXTURE_2D, index, GL_RGBA8, levelWidth, levelHeight, 0, GL_RGBA,
                             GL_UNSIGNED_BYTE, level.data()));
    }
    GL_CALL(glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, levels - 1));
    *texture = new GlTexture(context, name, width, height, levels, 0, FormatA8R8G8B8);
    return kOk;
}

} // namespace engine::gpu
