// The one global list of light positions. Lights publish their world position into it every frame;
// shaders read it and never see the lights themselves. Entries are only ever appended.
#pragma once

#include <engine/math.h>
#include <engine/singleton.h>

#include <cstdint>
#include <vector>

namespace engine::gfx {

class LightManager : public pattern::Singleton<LightManager> {
public:
    ~LightManager() override;

    // Appends the origin with w = 0 (not yet published) and returns the new entry's index.
    std::uint32_t AddLight();
    // The position the shaders light with: the first entry, or the origin (0, 0, 0, 1) while no light
    // has ever been created, so a scene without lamps still draws.
    math::Vector4f FirstLightPosition() const;

    // One entry per light ever constructed, in construction order; read directly by the shaders.
    std::vector<math::Vector4f> positions;
};

} // namespace engine::gfx
