// Reading pictures back without stalling the drawing: each read copies a framebuffer into a pixel
// buffer object of its own and sets a fence, so the copy runs on the GPU while the next frame is drawn;
// taking the oldest read waits on its fence only if the GPU has not finished it, and maps the buffer.
#pragma once

#include "gpu/glObjects.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace engine::gpu {

class GlReadBack {
public:
    // Reads in flight at most: one being drawn behind, one being copied, one being taken.
    static constexpr std::size_t kSlots = 3;

    GlReadBack() = default;
    GlReadBack(const GlReadBack&) = delete;
    GlReadBack& operator=(const GlReadBack&) = delete;

    bool Full() const { return count == kSlots; }
    bool Empty() const { return count == 0; }
    // Starts copying the framebuffer's colour (width x height); rows run bottom first unless
    // `topRowFirst`. Binds the framebuffer for reading and leaves it bound. Needs a free slot.
    void Queue(GLuint framebuffer, std::uint32_t width, std::uint32_t height, bool topRowFirst);
    // The oldest read as RGBA bytes, top row first. Needs a read queued. False when the driver could
    // not map the buffer.
    bool Take(std::vector<std::uint8_t>& rgba);
    // Deletes the buffers and fences (the context is going away); reads in flight are dropped.
    void Release();

private:
    struct Slot {
        GLuint buffer = 0;
        std::size_t capacity = 0;
        GLsync fence = nullptr;
        std::uint32_t width = 0, height = 0;
        bool topRowFirst = false;
    };

    std::array<Slot, kSlots> slots;
    std::size_t first = 0, count = 0;
};

} // namespace engine::gpu
