#include "render/drawStateCache.h"

#include "render/renderObject.h"

namespace engine::gfx {

void DrawStateCache::Bind(gpu::Device& device, const RenderObject& object) {
    if (object.declaration != declaration) {
        device.SetVertexDeclaration(object.declaration);
        declaration = object.declaration;
    }
    if (object.vertexBuffer != vertexBuffer) {
        device.SetStreamSource(0, object.vertexBuffer, 0, static_cast<std::uint32_t>(object.stride));
        vertexBuffer = object.vertexBuffer;
    }
    if (object.indexBuffer != indexBuffer) {
        device.SetIndices(object.indexBuffer);
        indexBuffer = object.indexBuffer;
    }
}

void DrawStateCache::Forget() {
    *this = DrawStateCache{};
}

} // namespace engine::gfx
