// The abstract mesh resource: device buffers, a vertex declaration and a material, from which the
// scene graph makes a fresh render object every frame. The file-backed kind loads these from a
// .tvo file; the buffers are owned here and released with the mesh.
#pragma once

#include "gpu/device.h"
#include "resources/resourceManager.h"

#include <engine/math.h>

#include <boost/shared_ptr.hpp>

namespace engine::gfx {

struct Material;
struct RenderObject;

class Mesh : public core::UnmanagedResource {
public:
    using core::UnmanagedResource::UnmanagedResource;
    ~Mesh() override;

    // A new object sharing the mesh's buffers (not referenced again: the mesh keeps them alive) and
    // material; the caller fills in the world matrices.
    virtual boost::shared_ptr<RenderObject> CreateRenderObject();
    // The same into an object the caller keeps from frame to frame.
    void FillRenderObject(RenderObject& object) const;

    int vertexCount = 0;
    // Triangles: index count / 3.
    int primitiveCount = 0;
    int stride = 0;
    bool index32 = false;
    gpu::Ref<gpu::VertexBuffer> vertexBuffer;
    gpu::Ref<gpu::IndexBuffer> indexBuffer;
    gpu::Ref<gpu::VertexDeclaration> declaration;
    boost::shared_ptr<Material> material;
    math::Vector3f extents[2] = {};
    std::uint32_t primitiveType = gpu::PrimitiveTriangleList;
};

} // namespace engine::gfx
