#include "scene/geometry.h"

#include "render/mesh.h"
#include "render/renderObject.h"
#include "render/renderer.h"

namespace engine::gfx {

Geometry::Geometry(boost::shared_ptr<Mesh> mesh, Spatial* parent) : mesh(std::move(mesh)) {
    this->parent = parent;
}

Geometry::~Geometry() = default;

math::Matrix4x4 Geometry::GetWorldMatrix() {
    return parent != nullptr ? parent->GetWorldMatrix() : Spatial::GetWorldMatrix();
}

math::Matrix4x4 Geometry::GetWorldInverse() {
    return parent != nullptr ? parent->GetWorldInverse() : Spatial::GetWorldInverse();
}

math::Matrix4x4 Geometry::GetLocalMatrix() {
    return parent != nullptr ? parent->GetLocalMatrix() : Spatial::GetLocalMatrix();
}

math::Matrix4x4 Geometry::GetLocalInverse() {
    return parent != nullptr ? parent->GetLocalInverse() : Spatial::GetLocalInverse();
}

void Geometry::Update(Renderer* renderer) {
    if (renderer == nullptr || !mesh)
        return;
    RenderObject& object = NextRenderObject(submitted);
    mesh->FillRenderObject(object);
    RefreshParentMatrices();
    object.world = GetWorldMatrix();
    object.worldInverse = GetWorldInverse();
    renderer->Submit(submitted);
}

} // namespace engine::gfx
