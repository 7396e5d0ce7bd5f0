#include "gpu/objectCounts.h"

namespace engine::gpu {

namespace {

std::atomic<long> counts[3];

} // namespace

GlObjectCounts LiveGlObjects() {
    return {counts[int(GlObjectKind::Texture)].load(), counts[int(GlObjectKind::Buffer)].load(),
            counts[int(GlObjectKind::Program)].load()};
}

LiveCount::LiveCount(GlObjectKind kind) : count(counts[int(kind)]) {
    ++count;
}

LiveCount::~LiveCount() {
    --count;
}

} // namespace engine::gpu
