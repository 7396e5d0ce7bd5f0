// The render queue's records and rules: one entry per object and shader, the order the queue is
// drawn in (priority, then render target, then shader or effect and technique) and the test of
// whether two shaders can share one batch.
#pragma once

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <vector>

namespace engine::gfx {

class Shader;
struct RenderObject;

// Where an entry sorts, read from its shader when the queue is sorted. Identities are addresses:
// their order is fixed within a run and means nothing more.
struct QueueKey {
    int priority = 0;
    // The render target; 0 (the back buffer) is the smallest.
    std::uintptr_t target = 0;
    // The compiled effect for effect-file shaders, the shader itself otherwise.
    std::uintptr_t state = 0;
    // The technique handle for effect-file shaders, 0 otherwise.
    std::uintptr_t technique = 0;
};

struct QueueEntry {
    // Index of the shader in the effect of the object's material.
    int shaderIndex = 0;
    boost::shared_ptr<RenderObject> object;
    // That shader, resolved at submission; the object's material keeps it alive.
    Shader* shader = nullptr;
    QueueKey key;
};

struct BatchEntry {
    boost::shared_ptr<RenderObject> object;
    Shader* shader = nullptr;
};

// Reads the entry's sort key from its shader.
QueueKey MakeQueueKey(Shader& shader);
// Ascending priority; then larger target first (so pictures built for textures come before the
// back buffer's); then larger shader or effect, then larger technique. Effect-file shaders with the
// same effect and technique compare equal, so they end up next to each other.
bool QueueOrder(const QueueEntry& a, const QueueEntry& b);
// Sorts the queue (unstable), reading every entry's key afresh.
void SortQueueEntries(std::vector<QueueEntry>& queue);
// The same shader, or two effect-file shaders on the same effect and technique.
bool SharesState(Shader& x, Shader& y);

} // namespace engine::gfx
