// One drawable submission: the geometry to draw, the material that picks the shaders, and the world
// matrices at submission time. Filled every frame by whatever draws and held by the render queue
// until the next frame begins.
#pragma once

#include "gpu/device.h"

#include <engine/math.h>

#include <boost/shared_ptr.hpp>

namespace engine::gfx {

struct Material;

struct RenderObject {
    // Both matrices start as the identity: full-screen quads and particles keep them as they are.
    RenderObject();

    int numVertices = 0;
    int primitiveCount = 0;
    // Not owned: the mesh that made the object keeps them alive.
    gpu::VertexBuffer* vertexBuffer = nullptr;
    gpu::IndexBuffer* indexBuffer = nullptr;
    gpu::VertexDeclaration* declaration = nullptr;
    boost::shared_ptr<Material> material;
    std::uint32_t primitiveType = gpu::PrimitiveTriangleList;
    math::Matrix4x4 world;
    math::Matrix4x4 worldInverse;
    // Bytes per vertex in stream 0.
    int stride = 0;
};

// The object a drawer submits every frame, as new: the queue lets go of last frame's when the renderer
// begins the next frame, and from then on the drawer holds it alone and refills it instead of
// allocating another. One still held elsewhere (submitted twice in a frame, kept by a caller) is left
// as it is and `kept` gets a new one.
RenderObject& NextRenderObject(boost::shared_ptr<RenderObject>& kept);

} // namespace engine::gfx
