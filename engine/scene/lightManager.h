// The one global list of light positions. Lights publish their world position into it every frame;
// shaders read it and never see the lights themselves. Entries are only ever appended. Every scene's
// lights stay in the list, so the shaders light with the first light the current walk published: the
// first lamp of the scene on screen.
#pragma once

#include <engine/math.h>
#include <engine/singleton.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace engine::gfx {

class LightManager : public pattern::Singleton<LightManager> {
public:
    ~LightManager() override;

    // Appends the origin with w = 0 (not yet published) and returns the new entry's index.
    std::uint32_t AddLight();
    // A walk of the scene graph begins: the next light to publish becomes the one the shaders use.
    void BeginWalk();
    // Called by a light that has just written its entry.
    void Published(std::uint32_t index);
    // The position the shaders light with: that of the first light published since the walk began;
    // where none was (a scene without lamps), the first entry, or the origin (0, 0, 0, 1) while no
    // light has ever been created, so a scene without lamps still draws.
    math::Vector4f FirstLightPosition() const;

    // One entry per light ever constructed, in construction order; read directly by the shaders.
    std::vector<math::Vector4f> positions;

private:
    std::optional<std::uint32_t> walkFirst;
};

} // namespace engine::gfx
