#include "anim/channelTable.h"

#include <array>

namespace engine::gfx {

namespace {

const math::Vector3f kX(1.0f, 0.0f, 0.0f);
const math::Vector3f kY(0.0f, 1.0f, 0.0f);
const math::Vector3f kZ(0.0f, 0.0f, 1.0f);
const math::Vector3f kNone(0.0f, 0.0f, 0.0f);

// The delta-location curves take the free codes 4-6: they add to the translation like the location
// curves, so a scene that keys both gets the sum instead of losing one of them.
const std::array<Channel, 16> kChannels = {{
    {"Time", PipeKind::Time, kNone, 0},
    {"LocX", PipeKind::Location, kX, 1},
    {"LocY", PipeKind::Location, kY, 2},
    {"LocZ", PipeKind::Location, kZ, 3},
    {"dLocX", PipeKind::Location, kX, 4},
    {"dLocY", PipeKind::Location, kY, 5},
    {"dLocZ", PipeKind::Location, kZ, 6},
    {"ScaleX", PipeKind::Scale, kX, 7},
    {"ScaleY", PipeKind::Scale, kY, 8},
    {"ScaleZ", PipeKind::Scale, kZ, 9},
    {"dRotX", PipeKind::Rotation, kX, 13},
    {"RotX", PipeKind::Rotation, kX, 14},
    {"dRotY", PipeKind::Rotation, kY, 15},
    {"RotY", PipeKind::Rotation, kY, 16},
    {"dRotZ", PipeKind::Rotation, kZ, 17},
    {"RotZ", PipeKind::Rotation, kZ, 18},
}};

} // namespace

const Channel* FindChannel(std::string_view name) {
    for (const Channel& channel : kChannels)
        if (name == channel.name)
            return &channel;
    return nullptr;
}

std::unique_ptr<AnimationPipe> CreatePipe(const Channel& channel, std::unique_ptr<AnimationTrack> track) {
    switch (channel.kind) {
    case PipeKind::Time:
        return std::make_unique<TimePipe>(channel.code, std::move(track));
    case PipeKind::Location:
        return std::make_unique<LocPipe>(channel.code, std::move(track), channel.axis);
    case PipeKind::Rotation:
        return std::make_unique<RotPipe>(channel.code, std::move(track), channel.axis);
    case PipeKind::Scale:
        return std::make_unique<ScalePipe>(channel.code, std::move(track), channel.axis);
    }
    return nullptr;
}

} // namespace engine::gfx
