#include "scene/lightManager.h"

namespace engine::gfx {

LightManager::~LightManager() = default;

std::uint32_t LightManager::AddLight() {
    positions.emplace_back(0.0f, 0.0f, 0.0f, 0.0f);
    return static_cast<std::uint32_t>(positions.size() - 1);
}

void LightManager::BeginWalk() {
    walkFirst.reset();
}

void LightManager::Published(std::uint32_t index) {
    if (!walkFirst)
        walkFirst = index;
}

math::Vector4f LightManager::FirstLightPosition() const {
    if (walkFirst && *walkFirst < positions.size())
        return positions[*walkFirst];
    if (positions.empty())
        return {0.0f, 0.0f, 0.0f, 1.0f};
    return positions.front();
}

} // namespace engine::gfx
