// A group node whose local transform its animation controller rebuilds on every walk, before the
// children are visited. Without a controller it keeps its transform, like a plain node.
#pragma once

#include "anim/animationController.h"
#include <engine/scene.h>

#include <boost/shared_ptr.hpp>

namespace engine::gfx {

class AnimationNode : public Node {
public:
    explicit AnimationNode(Spatial* parent);
    ~AnimationNode() override;

    void SetController(boost::shared_ptr<AnimationController> newController) {
        controller = std::move(newController);
    }
    const boost::shared_ptr<AnimationController>& GetController() const { return controller; }

    // Every call advances the curves by one frame's time: a node walked twice a frame runs twice as fast.
    void Update(Renderer* renderer) override;

private:
    boost::shared_ptr<AnimationController> controller;
};

} // namespace engine::gfx
