#include "render/mesh.h"

#include "render/material.h"
#include "render/renderObject.h"

#include <boost/make_shared.hpp>

namespace engine::gfx {

Mesh::~Mesh() = default;

boost::shared_ptr<RenderObject> Mesh::CreateRenderObject() {
    auto object = boost::make_shared<RenderObject>();
    FillRenderObject(*object);
    return object;
}

void Mesh::FillRenderObject(RenderObject& object) const {
    object.numVertices = vertexCount;
    object.primitiveCount = primitiveCount;
    object.vertexBuffer = vertexBuffer.Get();
    object.indexBuffer = indexBuffer.Get();
    object.declaration = declaration.Get();
    object.material = material;
    object.primitiveType = primitiveType;
    object.stride = stride;
}

} // namespace engine::gfx
