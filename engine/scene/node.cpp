#include <engine/scene.h>

namespace engine::gfx {

Node::Node(Spatial* parent) {
    this->parent = parent;
}

Node::~Node() {
    ClearChildren();
}

int Node::AddChild(boost::shared_ptr<Spatial> child) {
    children.push_back(std::move(child));
    return static_cast<int>(children.size()) - 1;
}

void Node::ClearChildren() {
    children.clear();
}

void Node::Update(Renderer* renderer) {
    RefreshParentMatrices();
    UpdateChildren(renderer);
}

void Node::UpdateChildren(Renderer* renderer) {
    for (const boost::shared_ptr<Spatial>& child : children)
        child->Update(renderer);
}

} // namespace engine::gfx
