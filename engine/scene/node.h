// A group node: owns its children and passes the per-frame walk on to them after refreshing its own
// view of the parent, so every child sees this frame's world matrix of its parent.
#pragma once

#include "scene/spatial.h"

#include <boost/shared_ptr.hpp>

#include <vector>

namespace engine::gfx {

class Node : public Spatial {
public:
    explicit Node(Spatial* parent);
    ~Node() override;

    // Appends the child and returns its index. The child's parent link is left to its creator.
    int AddChild(boost::shared_ptr<Spatial> child);
    // Drops every child; the children's parent links are left as they were.
    void ClearChildren();
    const std::vector<boost::shared_ptr<Spatial>>& GetChildren() const { return children; }

    void Update(Renderer* renderer) override;

protected:
    void UpdateChildren(Renderer* renderer);

    std::vector<boost::shared_ptr<Spatial>> children;
};

} // namespace engine::gfx
