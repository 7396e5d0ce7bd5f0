#include "gpu/glReadBack.h"

#include "gpu/glCheck.h"

#include <cstring>

namespace engine::gpu {

void GlReadBack::Queue(GLuint framebuffer, std::uint32_t width, std::uint32_t height, bool topRowFirst) {
    Slot& slot = slots[(first + count) % kSlots];
    const std::size_t bytes = static_cast<std::size_t>(width) * height * 4;
    if (slot.buffer == 0)
        GL_CALL(glGenBuffers(1, &slot.buffer));
    GL_CALL(glBindBuffer(GL_PIXEL_PACK_BUFFER, slot.buffer));
    if (slot.capacity != bytes) {
        GL_CALL(glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(bytes), nullptr, GL_STREAM_READ));
        slot.capacity = bytes;
    }
    GL_CALL(glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer));
    GL_CALL(glPixelStorei(GL_PACK_ALIGNMENT, 4));
    GL_CALL(glReadPixels(0, 0, static_cast<GLsizei>(width), static_cast<GLsizei>(height), GL_RGBA,
                         GL_UNSIGNED_BYTE, nullptr));
    GL_CALL(glBindBuffer(GL_PIXEL_PACK_BUFFER, 0));
    GL_CALL(slot.fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0));
    // Without a flush the fence might never reach the GPU, and the wait in Take could not end.
    GL_CALL(glFlush());
    slot.width = width;
    slot.height = height;
    slot.topRowFirst = topRowFirst;
    ++count;
}

bool GlReadBack::Take(std::vector<std::uint8_t>& rgba) {
    Slot& slot = slots[first];
    first = (first + 1) % kSlots;
    --count;
    if (slot.fence != nullptr) {
        // Waits in steps of a second, however long the GPU takes: a picture is never given up.
        GLenum waited = GL_TIMEOUT_EXPIRED;
        while (waited == GL_TIMEOUT_EXPIRED)
            GL_CALL(waited = glClientWaitSync(slot.fence, GL_SYNC_FLUSH_COMMANDS_BIT, 1'000'000'000));
        GL_CALL(glDeleteSync(slot.fence));
        slot.fence = nullptr;
    }
    const std::size_t row = static_cast<std::size_t>(slot.width) * 4;
    rgba.resize(row * slot.height);
    GL_CALL(glBindBuffer(GL_PIXEL_PACK_BUFFER, slot.buffer));
    const void* map = nullptr;
    GL_CALL(map = glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(slot.capacity),
                                   GL_MAP_READ_BIT));
    const auto* mapped = static_cast<const std::uint8_t*>(map);
    if (mapped != nullptr) {
        if (slot.topRowFirst)
            std::memcpy(rgba.data(), mapped, rgba.size());
        else
            for (std::uint32_t y = 0; y < slot.height; ++y)
                std::memcpy(rgba.data() + y * row, mapped + (slot.height - 1 - y) * row, row);
        GL_CALL(glUnmapBuffer(GL_PIXEL_PACK_BUFFER));
    }
    GL_CALL(glBindBuffer(GL_PIXEL_PACK_BUFFER, 0));
    return mapped != nullptr;
}

void GlReadBack::Release() {
    for (Slot& slot : slots) {
        if (slot.fence != nullptr)
            GL_CALL(glDeleteSync(slot.fence));
        if (slot.buffer != 0)
            GL_CALL(glDeleteBuffers(1, &slot.buffer));
        slot = {};
    }
    first = count = 0;
}

} // namespace engine::gpu
