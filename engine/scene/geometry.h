// A scene-graph leaf that shows a mesh: every frame it asks the mesh for a render object, gives it
// its parent's world matrices and submits it. It has no transform of its own: its matrices are its
// parent's, asked for directly, so it follows a parent moved earlier in the same frame.
#pragma once

#include <engine/scene.h>

#include <boost/shared_ptr.hpp>

namespace engine::gfx {

class Mesh;
struct RenderObject;

class Geometry : public Spatial {
public:
    Geometry(boost::shared_ptr<Mesh> mesh, Spatial* parent);
    ~Geometry() override;

    // The parent's matrices; a geometry without a parent answers with its own (identity) ones.
    math::Matrix4x4 GetWorldMatrix() override;
    math::Matrix4x4 GetWorldInverse() override;
    math::Matrix4x4 GetLocalMatrix() override;
    math::Matrix4x4 GetLocalInverse() override;
    // Submits one render object of the mesh; with a null renderer or no mesh it does nothing.
    void Update(Renderer* renderer) override;

    const boost::shared_ptr<Mesh>& GetMesh() const { return mesh; }

private:
    boost::shared_ptr<Mesh> mesh;
    // Submitted every frame, refilled once the queue has let it go.
    boost::shared_ptr<RenderObject> submitted;
};

} // namespace engine::gfx
