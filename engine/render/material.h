// What a mesh or particle system is drawn with: an effect, up to seven textures that effects bind by
// slot, and the colours the built-in fixed-function shaders read. Copies share the effect and textures.
#pragma once

#include <boost/shared_ptr.hpp>

#include <array>

namespace engine::core::resources {
class ManagedTexture;
} // namespace engine::core::resources

namespace engine::gfx {

class Effect;

struct Material {
    static constexpr int kTextureSlots = 7;

    boost::shared_ptr<Effect> effect;
    std::array<boost::shared_ptr<core::resources::ManagedTexture>, kTextureSlots> textures;
    // No loader assigns the colours, so they start white and unshiny: a mesh without colour data is
    // lit white by the built-in shaders.
    float ambientColor[3] = {1.0f, 1.0f, 1.0f};
    float diffuseColor[3] = {1.0f, 1.0f, 1.0f};
    float specularColor[3] = {0.0f, 0.0f, 0.0f};
    float specularPower = 0.0f;
};

} // namespace engine::gfx
