// The scene camera: a node whose controller animates the camera's pose and whose world matrix is the
// inverse of that pose, the view transform, so everything below it is seen through the camera.
#pragma once

#include "anim/animationController.h"
#include <engine/scene.h>

#include <boost/shared_ptr.hpp>

namespace engine::gfx {

class AnimationCamera : public Node {
public:
    explicit AnimationCamera(Spatial* parent);
    ~AnimationCamera() override;

    void SetController(boost::shared_ptr<AnimationController> newController) {
        controller = std::move(newController);
    }
    const boost::shared_ptr<AnimationController>& GetController() const { return controller; }

    // T * R4 of the stored (already inverted) pose times parentWorld: the view matrix. A pose that no
    // pipe has written counts as the identity.
    math::Matrix4x4 GetWorldMatrix() override;
    // Evaluates the pose and stores its inverse; only parentWorld is refreshed from the parent. Without
    // a controller the stored transform is kept as it is.
    void Update(Renderer* renderer) override;

private:
    boost::shared_ptr<AnimationController> controller;
};

} // namespace engine::gfx
