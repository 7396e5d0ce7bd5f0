#include "render/renderQueue.h"

#include "render/shader.h"
#include "resources/resourceTypes.h"

#include <algorithm>

namespace engine::gfx {

namespace {
constexpr int kEffectFileShader = 0;

template <typename T>
std::uintptr_t Identity(const T* object) {
    return reinterpret_cast<std::uintptr_t>(object);
}
} // namespace

QueueKey MakeQueueKey(Shader& shader) {
    QueueKey key;
    key.priority = shader.GetPriority();
    key.target = Identity(shader.GetRenderTarget().get());
    if (shader.GetType() == kEffectFileShader) {
        key.state = Identity(shader.GetEffectResource());
        key.technique = shader.GetTechniqueHandle();
    } else {
        key.state = Identity(&shader);
    }
    return key;
}

bool QueueOrder(const QueueEntry& a, const QueueEntry& b) {
    if (a.key.priority != b.key.priority)
        return a.key.priority < b.key.priority;
    if (a.key.target != b.key.target)
        return a.key.target > b.key.target;
    if (a.key.state != b.key.state)
        return a.key.state > b.key.state;
    return a.key.technique > b.key.technique;
}

void SortQueueEntries(std::vector<QueueEntry>& queue) {
    if (queue.empty())
        return;
    for (QueueEntry& entry : queue)
        entry.key = MakeQueueKey(*entry.shader);
    std::sort(queue.begin(), queue.end(), QueueOrder);
}

bool SharesState(Shader& x, Shader& y) {
    if (&x == &y)
        return true;
    return x.GetType() == kEffectFileShader && y.GetType() == kEffectFileShader &&
           x.GetEffectResource() == y.GetEffectResource() && x.GetTechniqueHandle() == y.GetTechniqueHandle();
}

} // namespace engine::gfx
