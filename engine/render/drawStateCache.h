// What the shaders bound last for geometry (declaration, vertex buffer, index buffer), kept by the
// renderer so that consecutive objects with the same buffers skip redundant binds, across batches and
// frames. The device holds references to what is bound, so a cached pointer cannot dangle while bound.
#pragma once

#include "gpu/device.h"

namespace engine::gfx {

struct RenderObject;

struct DrawStateCache {
    // Binds the object's declaration, vertex buffer (stream 0) and index buffer where they differ
    // from the cached ones, and remembers them.
    void Bind(gpu::Device& device, const RenderObject& object);
    // After a device reset nothing is bound any more.
    void Forget();

    gpu::VertexBuffer* vertexBuffer = nullptr;
    gpu::IndexBuffer* indexBuffer = nullptr;
    gpu::VertexDeclaration* declaration = nullptr;
};

} // namespace engine::gfx
