// The scene-graph types a program hangs things on: every node's transform, the node interface and the
// group node with its children. A program may rely on what is declared here: the four matrix queries,
// the per-frame walk (Update, which a null renderer turns into a refresh of the cached matrices), the
// parent link, the child list and AddChild. Which kind of node a scene file made (animated or not,
// camera or lamp) stays the engine's business; nodes fetched from a DemoLoader by name are Nodes.
#pragma once

#include <engine/export.h>
#include <engine/math.h>

#include <boost/shared_ptr.hpp>

#include <vector>

namespace engine::gfx {

class Renderer;

// The rigid local transform every scene node carries, and the two matrices built from it: rotate, then
// translate, and its cheap inverse, which relies on the rotation being orthonormal.
struct ENGINE_API Transform {
    // Rows are the rotated axes. Scale curves fold their scaling into this matrix too.
    math::Matrix3x3 rotation;
    math::Vector3f translation;
    // Carried with the transform; the matrix builders do not read it.
    float scale;
    // Cleared whenever an animation pipe writes the transform; the camera reads it as "no pose yet".
    bool isIdentity;
    bool spareFlag;

    Transform();

    // L = R4 * T: the rotation in the upper-left block, the translation in the last row.
    math::Matrix4x4 LocalMatrix() const;
    // T(-translation) * transpose(R4), the inverse of LocalMatrix for an orthonormal rotation only.
    math::Matrix4x4 LocalInverse() const;
};

// The node interface: a parent link, the node's own transform and the parent's world matrices cached
// by the per-frame walk, from which every node computes its world matrix on demand.
class ENGINE_API Spatial {
public:
    Spatial();
    virtual ~Spatial();
    Spatial(const Spatial&) = delete;
    Spatial& operator=(const Spatial&) = delete;

    // L * parentWorld.
    virtual math::Matrix4x4 GetWorldMatrix();
    // L^-1 * parentInverse, in this order at every level of the tree.
    virtual math::Matrix4x4 GetWorldInverse();
    virtual math::Matrix4x4 GetLocalMatrix();
    virtual math::Matrix4x4 GetLocalInverse();
    // The per-frame walk. A null renderer refreshes the caches and submits nothing.
    virtual void Update(Renderer* renderer) = 0;

    void SetLocalTransform(Transform newTransform);
    const Transform& GetLocalTransform() const { return transform; }

    // The parent does not own this node; whoever links the node into a tree sets it.
    void SetParent(Spatial* newParent) { parent = newParent; }
    Spatial* GetParent() const { return parent; }

protected:
    // Copies the parent's world matrix and world inverse into the caches; a root keeps its caches.
    void RefreshParentMatrices();

    Spatial* parent = nullptr;
    math::Matrix4x4 parentWorld;
    math::Matrix4x4 parentInverse;
    Transform transform;
};

// A group node: owns its children and passes the per-frame walk on to them after refreshing its own
// view of the parent, so every child sees this frame's world matrix of its parent.
class ENGINE_API Node : public Spatial {
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
