// A point light: a leaf of the scene graph that publishes its parent's world origin into the
// LightManager's list once per frame. Its own transform is ignored.
#pragma once

#include <engine/scene.h>

#include <cstdint>

namespace engine::gfx {

class Light : public Spatial {
public:
    // Takes the next entry of the manager's list; the entry outlives the light.
    explicit Light(Node* parent);
    ~Light() override;

    void Update(Renderer* renderer) override;

    std::uint32_t GetIndex() const { return index; }

private:
    std::uint32_t index;
};

} // namespace engine::gfx
