#include "anim/animationNode.h"

namespace engine::gfx {

AnimationNode::AnimationNode(Spatial* parent) : Node(parent) {}

AnimationNode::~AnimationNode() {
    controller.reset();
}

void AnimationNode::Update(Renderer* renderer) {
    RefreshParentMatrices();
    if (controller)
        transform = controller->Evaluate();
    UpdateChildren(renderer);
}

} // namespace engine::gfx
