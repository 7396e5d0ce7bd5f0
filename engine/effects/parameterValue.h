// The storage of one effect parameter: its bytes in the layout its uniform takes, or the texture bound
// to it, and a version that grows with every change, so the runtime uploads only what changed since
// it last looked. Shared parameters have one such value for every effect that declares them.
#pragma once

#include "effects/effectSource.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace engine::gpu {
class Texture;
}

namespace engine::gfx {

struct ParameterValue {
    explicit ParameterValue(const ParameterSource& source) : type(source.type), bytes(source.initialValue) {}

    ParameterType type;
    alignas(16) std::array<std::byte, 64> bytes;
    // Not owned: textures are resources that outlive the effects using them.
    gpu::Texture* texture = nullptr;
    // Starts at 1, so a runtime that records 0 for "never uploaded" uploads the initial value.
    std::uint64_t version = 1;
};

} // namespace engine::gfx
