#include "scene/light.h"

#include "scene/lightManager.h"

namespace engine::gfx {

Light::Light(Node* parent) : index(LightManager::Get()->AddLight()) {
    this->parent = parent;
}

Light::~Light() = default;

void Light::Update(Renderer*) {
    // A light with no parent sits at the world origin.
    const math::Matrix4x4 world = parent != nullptr ? parent->GetWorldMatrix() : math::Matrix4x4::Identity;
    // A manager recreated after teardown no longer holds this light's entry.
    LightManager& manager = *LightManager::Get();
    if (index < manager.positions.size()) {
        manager.positions[index] = {world.m[12], world.m[13], world.m[14], world.m[15]};
        manager.Published(index);
    }
}

} // namespace engine::gfx
