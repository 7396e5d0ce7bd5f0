// The array modifier: a scene-graph leaf that draws many copies of one mesh object in one draw. Each
// array dimension steps by a constant offset, by the pose of an offset object relative to the repeated
// object, or by both; every frame the copy transforms are recomputed from the current poses, all
// copies' vertices are rewritten into one dynamic vertex buffer and a single render object borrowing
// the object's material and world matrix is submitted. Leans on the mesh's CPU copies of its vertices
// and indices (TVOMesh) and on the device layer for the buffers.
#pragma once

#include "gpu/device.h"

#include <engine/arrayInfo.h>
#include <engine/scene.h>

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <vector>

namespace engine::gfx {

class Geometry;
class TVOMesh;
struct RenderObject;

// One array dimension, as the modifier keeps it.
struct ArrayModifierEntry {
    math::Vector3f offset;
    // The first child of the entry's offset node; empty unless useObjectOffset is set.
    boost::shared_ptr<Spatial> offsetObject;
    int count = 1;
    bool useConstantOffset = false;
    bool useObjectOffset = false;
};

// What an ArrayModifier is built from: ConvertArrayInfo makes it from a program's ArrayInfo.
struct ArrayModifierInfo {
    // The first child of the object node: a Geometry showing a TVOMesh that still has its CPU copies.
    boost::shared_ptr<Spatial> object;
    // The first entry is the innermost dimension.
    std::vector<ArrayModifierEntry> entries;
};

// For the facade's AddArrayModifier: converts the program's record into the modifier's own, taking the
// first child of info.object and of every offset node an entry reads. Returns false, with one WARNING
// row saying why and `out` unspecified, when the record cannot be drawn: a null object or offset node,
// a node without a child, an object whose first child is not mesh geometry or whose mesh has no CPU
// positions and indices (or inconsistent ones), a count below 1 in an entry that has a flag set, or
// more copies than one vertex or index buffer can address. On true, `new ArrayModifier(out, node)`
// added as a child of node is what the facade does next; only buffer creation can fail from there.
bool ConvertArrayInfo(const ArrayInfo& info, ArrayModifierInfo& out);

class ArrayModifier : public Spatial {
public:
    // Creates the declaration and the buffers for every copy and fills the indices once. A record that
    // ConvertArrayInfo would refuse writes an ERROR row with the same reason; a device that cannot make
    // a buffer writes the ERROR row of that buffer. Both throw.
    ArrayModifier(ArrayModifierInfo info, Spatial* parent);
    ~ArrayModifier() override;

    // Recomputes the copies from this frame's poses, rewrites every vertex and submits one render
    // object for all copies. A null renderer does nothing.
    void Update(Renderer* renderer) override;

    // One transform per drawn copy, as of the last Update; the first entry's index varies fastest.
    const std::vector<math::Matrix4x4>& GetCopies() const { return copies; }
    // The number of copies the buffers hold: the product of the counts of the entries with a flag set.
    int GetCopyCount() const { return copyCount; }
    gpu::VertexBuffer* GetVertexBuffer() const { return vertexBuffer.Get(); }
    gpu::IndexBuffer* GetIndexBuffer() const { return indexBuffer.Get(); }
    gpu::VertexDeclaration* GetDeclaration() const { return declaration.Get(); }
    int GetStride() const { return stride; }

private:
    // The source vertices, one array per component, so the per-copy loop reads them contiguously.
    struct SourceVertices {
        std::vector<float> x, y, z;
        std::vector<float> nx, ny, nz;
        std::vector<float> u, v;
    };

    void TakeSource(const TVOMesh& mesh);
    void CreateDeclaration(gpu::Device* device);
    void CreateVertexBuffer(gpu::Device* device);
    void CreateIndexBuffer(gpu::Device* device, const TVOMesh& mesh);
    void ComputeCopies();
    // False when the buffer could not be locked; the frame then draws nothing of this modifier.
    bool WriteVertices();

    ArrayModifierInfo info;
    std::vector<math::Matrix4x4> copies;
    // Submitted every frame, refilled once the queue has let it go.
    boost::shared_ptr<RenderObject> submitted;
    math::Matrix4x4 objectInverse;
    gpu::Ref<gpu::VertexBuffer> vertexBuffer;
    gpu::Ref<gpu::IndexBuffer> indexBuffer;
    gpu::Ref<gpu::VertexDeclaration> declaration;

    boost::shared_ptr<Geometry> geometry;
    SourceVertices source;
    bool hasNormals = false;
    bool hasTexCoords = false;
    int vertexCount = 0;
    int indexCount = 0;
    int copyCount = 0;
    int stride = 0;
    // One warning for a buffer that will not lock, not one per frame.
    bool lockWarned = false;
};

} // namespace engine::gfx
