// The curve names a scene may animate and the pipe each becomes: its class, axis and channel code.
// The code orders the pipes: time first, then location, scale and the rotations X, Y, Z.
#pragma once

#include "anim/animationPipe.h"

#include <engine/math.h>

#include <memory>
#include <string_view>

namespace engine::gfx {

enum class PipeKind { Time, Location, Rotation, Scale };

struct Channel {
    const char* name;
    PipeKind kind;
    math::Vector3f axis;
    int code;
};

// The table entry for a curve name, or null when no pipe drives that name.
const Channel* FindChannel(std::string_view name);

// A new pipe of the channel's class, axis and code, driven by track.
std::unique_ptr<AnimationPipe> CreatePipe(const Channel& channel, std::unique_ptr<AnimationTrack> track);

} // namespace engine::gfx
