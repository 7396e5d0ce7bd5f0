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
    boost::shared_ptr<RenderObject> object = mesh->CreateRenderObject();
    RefreshParentMatrices();
    object->world = GetWorldMatrix();
    object->worldInverse = GetWorldInverse();
    renderer->Submit(object);
}

} // namespace engine::gfx
