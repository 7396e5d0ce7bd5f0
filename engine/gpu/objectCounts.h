// How many OpenGL objects the device layer holds at this moment, by kind: the figure a long editing
// session watches to show that each reload lets go of what it replaced.
#pragma once

#include <atomic>

namespace engine::gpu {

enum class GlObjectKind { Texture, Buffer, Program };

struct GlObjectCounts {
    long textures = 0;
    long buffers = 0;
    long programs = 0;

    bool operator==(const GlObjectCounts&) const = default;
};

GlObjectCounts LiveGlObjects();

// A member of every object of a kind, so the count follows the object however it is made or let go.
class LiveCount {
public:
    explicit LiveCount(GlObjectKind kind);
    ~LiveCount();
    LiveCount(const LiveCount&) = delete;
    LiveCount& operator=(const LiveCount&) = delete;

private:
    std::atomic<long>& count;
};

} // namespace engine::gpu
