// The scene-graph node interface: a parent link, the node's own transform and the parent's world
// matrices cached by the per-frame walk, from which every node computes its world matrix on demand.
#pragma once

#include "scene/transform.h"

#include <engine/math.h>

namespace engine::gfx {

class Renderer;

class Spatial {
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

} // namespace engine::gfx
