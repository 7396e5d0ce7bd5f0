#include "particles/arrayModifier.h"

#include "core/logging.h"
#include "math/operators.h"
#include "math/transforms.h"
#include "perf/zones.h"
#include "platform/window.h"
#include "render/renderObject.h"
#include "render/renderer.h"
#include "resources/TVOMesh.h"
#include "scene/geometry.h"

#include <boost/make_shared.hpp>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <sstream>
#include <string>

namespace engine::gfx {

namespace {

constexpr int kPositionFloats = 3;
constexpr int kNormalFloats = 3;
constexpr int kTexCoordFloats = 2;
// Vertices a 16-bit index can address.
constexpr std::uint64_t kSmallIndexVertices = 65536;
constexpr std::uint64_t kMaxDrawVertices = std::numeric_limits<std::int32_t>::max();
constexpr std::uint64_t kMaxBufferBytes = std::numeric_limits<std::uint32_t>::max();

bool IsActive(const ArrayModifierEntry& entry) {
    return entry.useConstantOffset || entry.useObjectOffset;
}

// The first child of a group node; empty for anything that cannot have children.
boost::shared_ptr<Spatial> FirstChild(Spatial* node) {
    auto* group = dynamic_cast<Node*>(node);
    if (group == nullptr || group->GetChildren().empty())
        return {};
    return group->GetChildren().front();
}

const TVOMesh* MeshOf(const Spatial* object) {
    const auto* geometry = dynamic_cast<const Geometry*>(object);
    return geometry != nullptr ? dynamic_cast<const TVOMesh*>(geometry->GetMesh().get()) : nullptr;
}

std::uint32_t SourceIndex(const TVOMesh& mesh, int i) {
    const std::uint8_t* at = mesh.indices.data() + static_cast<std::size_t>(i) * mesh.indexSize;
    if (mesh.indexSize == 4) {
        std::uint32_t wide;
        std::memcpy(&wide, at, 4);
        return wide;
    }
    std::uint16_t narrow;
    std::memcpy(&narrow, at, 2);
    return narrow;
}

int StrideOf(const TVOMesh& mesh) {
    return 4 *
           (kPositionFloats + (mesh.normals ? kNormalFloats : 0) + (mesh.texCoords ? kTexCoordFloats : 0));
}

// The copies of a modifier whose CPU source is unusable would read past it or draw garbage.
std::string MeshRefusal(const TVOMesh& mesh) {
    if (!mesh.positions || mesh.positions->empty() || mesh.indexCount < 3)
        return "Array modifier object's mesh has no vertex positions or indices on the CPU";
    const std::size_t vertices = mesh.positions->size();
    if ((mesh.normals && mesh.normals->size() != vertices) ||
        (mesh.texCoords && mesh.texCoords->size() != vertices))
        return "Array modifier object's mesh has different numbers of positions, normals and texture "
               "coordinates";
    if ((mesh.indexSize != 2 && mesh.indexSize != 4) ||
        mesh.indices.size() != static_cast<std::size_t>(mesh.indexCount) * mesh.indexSize)
        return "Array modifier object's mesh holds " + std::to_string(mesh.indices.size()) +
               " bytes of indices for " + std::to_string(mesh.indexCount) + " indices of " +
               std::to_string(mesh.indexSize) + " bytes";
    for (int i = 0; i < mesh.indexCount; ++i)
        if (SourceIndex(mesh, i) >= vertices)
            return "Array modifier object's mesh has index " + std::to_string(i) + " referring to vertex " +
                   std::to_string(SourceIndex(mesh, i)) + " of " + std::to_string(vertices);
    return {};
}

// Why the record cannot be drawn, or empty; on success `copyCount` is the number of copies.
std::string Refusal(const ArrayModifierInfo& info, int& copyCount) {
    if (!info.object)
        return "Array modifier has no object";
    const TVOMesh* mesh = MeshOf(info.object.get());
    if (mesh == nullptr)
        return "Array modifier object's first child is not a mesh object";
    if (std::string refusal = MeshRefusal(*mesh); !refusal.empty())
        return refusal;

    // Saturates one past the largest drawable count, which every limit below then refuses.
    std::uint64_t copies = 1;
    for (std::size_t e = 0; e < info.entries.size(); ++e) {
        const ArrayModifierEntry& entry = info.entries[e];
        if (!IsActive(entry))
            continue;
        if (entry.useObjectOffset && !entry.offsetObject)
            return "Array modifier entry " + std::to_string(e) + " has no offset object";
        if (entry.count < 1)
            return "Array modifier entry " + std::to_string(e) + " has count " + std::to_string(entry.count) +
                   "; every dimension needs at least one copy";
        copies = std::min(copies * static_cast<std::uint64_t>(entry.count), kMaxDrawVertices + 1);
    }
    const auto vertexCount = static_cast<std::uint64_t>(mesh->positions->size());
    const std::uint64_t vertices = copies * vertexCount;
    const std::uint64_t indexBytes = vertices <= kSmallIndexVertices ? 2 : 4;
    if (vertices > kMaxDrawVertices || vertices * StrideOf(*mesh) > kMaxBufferBytes ||
        copies * static_cast<std::uint64_t>(mesh->indexCount) > kMaxBufferBytes / indexBytes) {
        std::string count =
            copies > kMaxDrawVertices ? "over " + std::to_string(kMaxDrawVertices) : std::to_string(copies);
        return "Array modifier of " + count + " copies of " + std::to_string(vertexCount) + " vertices and " +
               std::to_string(mesh->indexCount) + " indices does not fit in one buffer";
    }
    copyCount = static_cast<int>(copies);
    return {};
}

std::string Answer(gpu::Result result) {
    std::ostringstream text;
    text << "the device answered 0x" << std::hex << static_cast<std::uint32_t>(result);
    return text.str();
}

// The row before a failed creation's ERROR, with what was asked and what the device said.
void WarnCreationFailure(const std::string& what, std::uint64_t bytes, gpu::Device* device,
                         gpu::Result result) {
    std::string text = "Array modifier " + what;
    if (bytes != 0)
        text += " of " + std::to_string(bytes) + " bytes";
    LOG_WARNING(text + ": " + (device != nullptr ? Answer(result) : "no graphics device"));
}

template <typename Index>
void FillIndices(Index* out, const TVOMesh& mesh, int copyCount, int vertexCount) {
    std::vector<std::uint32_t> source(mesh.indexCount);
    for (int i = 0; i < mesh.indexCount; ++i)
        source[i] = SourceIndex(mesh, i);
    for (int k = 0; k < copyCount; ++k) {
        const auto base = static_cast<std::uint32_t>(k) * static_cast<std::uint32_t>(vertexCount);
        for (std::uint32_t index : source)
            *out++ = static_cast<Index>(index + base);
    }
}

// A copy's transform as the vertex loop wants it: the linear part and translation for positions, and
// for normals the inverse transpose of the linear part (times a positive factor, which renormalising
// removes), so they stay perpendicular to surfaces that a non-uniform scale has stretched.
struct CopyTransform {
    float linear[9];
    float translation[3];
    float normal[9];
    // The normal matrix is orthonormal, so unit normals stay unit without a square root per vertex.
    bool keepsLength;
};

// How far from orthonormal a normal matrix may be before normals are renormalised one by one; the
// powers of a rotation drift about this far after a few hundred products.
constexpr float kOrthonormalTolerance = 1e-4f;

[[gnu::always_inline]] inline CopyTransform Prepare(const math::Matrix4x4& copy) {
    const float* m = copy.m;
    CopyTransform c;
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column)
            c.linear[3 * row + column] = m[4 * row + column];
    c.translation[0] = m[12];
    c.translation[1] = m[13];
    c.translation[2] = m[14];
    const float* a = c.linear;
    // The cofactor matrix is the inverse transpose times the determinant.
    float* n = c.normal;
    n[0] = a[4] * a[8] - a[5] * a[7];
    n[1] = a[5] * a[6] - a[3] * a[8];
    n[2] = a[3] * a[7] - a[4] * a[6];
    n[3] = a[2] * a[7] - a[1] * a[8];
    n[4] = a[0] * a[8] - a[2] * a[6];
    n[5] = a[1] * a[6] - a[0] * a[7];
    n[6] = a[1] * a[5] - a[2] * a[4];
    n[7] = a[2] * a[3] - a[0] * a[5];
    n[8] = a[0] * a[4] - a[1] * a[3];
    // Only the sign of the determinant matters once normals come out unit length; a flattened copy
    // has none, and its cofactors still give the one normal it has left.
    const float determinant = a[0] * n[0] + a[1] * n[1] + a[2] * n[2];
    const auto dot = [n](int i, int j) { return n[i] * n[j] + n[i + 1] * n[j + 1] + n[i + 2] * n[j + 2]; };
    const float square = (dot(0, 0) + dot(3, 3) + dot(6, 6)) / 3.0f;
    // Rotations with a uniform scale give rows of one length at right angles: divided by that length
    // the matrix is orthonormal, the common case of every array the demo draws.
    const float tolerance = kOrthonormalTolerance * square;
    c.keepsLength = square > 0.0f && std::abs(dot(0, 0) - square) <= tolerance &&
                    std::abs(dot(3, 3) - square) <= tolerance && std::abs(dot(6, 6) - square) <= tolerance &&
                    std::abs(dot(0, 3)) <= tolerance && std::abs(dot(0, 6)) <= tolerance &&
                    std::abs(dot(3, 6)) <= tolerance;
    const float length = square > 0.0f ? std::sqrt(square) : 1.0f;
    const float scale = (determinant < 0.0f ? -1.0f : 1.0f) / length;
    for (float& value : c.normal)
        value *= scale;
    return c;
}

struct SourceView {
    const float *x, *y, *z, *nx, *ny, *nz, *u, *v;
};

// Vertices are transformed in blocks small enough to stay in the first-level cache.
constexpr int kBlock = 64;

// One copy's vertices, interleaved as the declaration says. Each block is transformed from the
// structure-of-arrays source into a structure-of-arrays scratch, where every load and store is
// contiguous and few coefficients are live at once, and then interleaved into the buffer; both
// steps are loops the compiler vectorises. Renormalising takes a square root, whose error
// handling is a call the vectoriser cannot take, so copies whose normal matrix keeps lengths skip it.
template <bool kNormals, bool kTexCoords, bool kRenormalise>
[[gnu::always_inline]] inline void TransformCopy(const CopyTransform& c, const SourceView& s, int count,
                                                 float* __restrict out) {
    constexpr int kFloats =
        kPositionFloats + (kNormals ? kNormalFloats : 0) + (kTexCoords ? kTexCoordFloats : 0);
    alignas(16) float px[kBlock], py[kBlock], pz[kBlock], qx[kBlock], qy[kBlock], qz[kBlock];
    for (int first = 0; first < count; first += kBlock) {
        const int n = std::min(kBlock, count - first);
        const float *x = s.x + first, *y = s.y + first, *z = s.z + first;
        {
            const float a0 = c.linear[0], a1 = c.linear[1], a2 = c.linear[2], a3 = c.linear[3],
                        a4 = c.linear[4], a5 = c.linear[5], a6 = c.linear[6], a7 = c.linear[7],
                        a8 = c.linear[8];
            const float t0 = c.translation[0], t1 = c.translation[1], t2 = c.translation[2];
            for (int i = 0; i < n; ++i) {
                px[i] = x[i] * a0 + y[i] * a3 + z[i] * a6 + t0;
                py[i] = x[i] * a1 + y[i] * a4 + z[i] * a7 + t1;
                pz[i] = x[i] * a2 + y[i] * a5 + z[i] * a8 + t2;
            }
        }
        if constexpr (kNormals) {
            const float *nx = s.nx + first, *ny = s.ny + first, *nz = s.nz + first;
            const float n0 = c.normal[0], n1 = c.normal[1], n2 = c.normal[2], n3 = c.normal[3],
                        n4 = c.normal[4], n5 = c.normal[5], n6 = c.normal[6], n7 = c.normal[7],
                        n8 = c.normal[8];
            for (int i = 0; i < n; ++i) {
                qx[i] = nx[i] * n0 + ny[i] * n3 + nz[i] * n6;
                qy[i] = nx[i] * n1 + ny[i] * n4 + nz[i] * n7;
                qz[i] = nx[i] * n2 + ny[i] * n5 + nz[i] * n8;
            }
            if constexpr (kRenormalise)
                for (int i = 0; i < n; ++i) {
                    const float length = std::sqrt(qx[i] * qx[i] + qy[i] * qy[i] + qz[i] * qz[i]);
                    const float scale = length > 0.0f ? 1.0f / length : 0.0f;
                    qx[i] *= scale;
                    qy[i] *= scale;
                    qz[i] *= scale;
                }
        }
        float* o = out + static_cast<std::ptrdiff_t>(first) * kFloats;
        for (int i = 0; i < n; ++i, o += kFloats) {
            o[0] = px[i];
            o[1] = py[i];
            o[2] = pz[i];
            if constexpr (kNormals) {
                o[3] = qx[i];
                o[4] = qy[i];
                o[5] = qz[i];
            }
            if constexpr (kTexCoords) {
                o[kFloats - 2] = s.u[first + i];
                o[kFloats - 1] = s.v[first + i];
            }
        }
    }
}

template <bool kNormals, bool kTexCoords>
[[gnu::always_inline]] inline void TransformCopy(const CopyTransform& c, const SourceView& s, int count,
                                                 float* out) {
    if (!kNormals || c.keepsLength)
        TransformCopy<kNormals, kTexCoords, false>(c, s, count, out);
    else
        TransformCopy<kNormals, kTexCoords, true>(c, s, count, out);
}

// Every copy's vertices, one after the other. The loops are built twice, for processors with AVX2 and
// for the rest, and the loader picks one: eight floats a step instead of four, without asking the
// demo's users for a newer processor than the baseline.
__attribute__((target_clones("avx2", "default"))) void
TransformCopies(const std::vector<math::Matrix4x4>& copies, const SourceView& view, int vertexCount,
                bool hasNormals, bool hasTexCoords, std::ptrdiff_t floatsPerCopy, float* out) {
    for (const math::Matrix4x4& copy : copies) {
        const CopyTransform transform = Prepare(copy);
        if (hasNormals && hasTexCoords)
            TransformCopy<true, true>(transform, view, vertexCount, out);
        else if (hasNormals)
            TransformCopy<true, false>(transform, view, vertexCount, out);
        else if (hasTexCoords)
            TransformCopy<false, true>(transform, view, vertexCount, out);
        else
            TransformCopy<false, false>(transform, view, vertexCount, out);
        out += floatsPerCopy;
    }
}

} // namespace

bool ConvertArrayInfo(const ArrayInfo& info, ArrayModifierInfo& out) {
    out = {};
    std::string refusal;
    if (info.object == nullptr)
        refusal = "Array modifier has no object";
    else if (!(out.object = FirstChild(info.object)))
        refusal = "Array modifier object has no child";
    for (std::size_t e = 0; e < info.entries.size() && refusal.empty(); ++e) {
        const ArrayEntry& entry = info.entries[e];
        ArrayModifierEntry& kept = out.entries.emplace_back();
        kept.offset = entry.offset;
        kept.count = entry.count;
        kept.useConstantOffset = entry.useConstantOffset;
        kept.useObjectOffset = entry.useObjectOffset;
        if (!entry.useObjectOffset)
            continue;
        if (entry.offsetObject == nullptr)
            refusal = "Array modifier entry " + std::to_string(e) + " has no offset object";
        else if (!(kept.offsetObject = FirstChild(entry.offsetObject)))
            refusal = "Array modifier offset object of entry " + std::to_string(e) + " has no child";
    }
    int copyCount = 0;
    if (refusal.empty())
        refusal = Refusal(out, copyCount);
    if (refusal.empty())
        return true;
    LOG_WARNING(refusal);
    return false;
}

ArrayModifier::ArrayModifier(ArrayModifierInfo record, Spatial* parent)
    : info(std::move(record)), objectInverse(math::Matrix4x4::Identity) {
    this->parent = parent;
    if (std::string refusal = Refusal(info, copyCount); !refusal.empty())
        LOG_ERROR(refusal);
    geometry = boost::dynamic_pointer_cast<Geometry>(info.object);
    const TVOMesh& mesh = *MeshOf(geometry.get());
    TakeSource(mesh);
    copies.reserve(copyCount);

    gpu::Device* device = core::CWin32Window::Get()->device;
    CreateDeclaration(device);
    CreateVertexBuffer(device);
    CreateIndexBuffer(device, mesh);
}

ArrayModifier::~ArrayModifier() = default;

void ArrayModifier::TakeSource(const TVOMesh& mesh) {
    vertexCount = static_cast<int>(mesh.positions->size());
    indexCount = mesh.indexCount;
    hasNormals = mesh.normals.has_value();
    hasTexCoords = mesh.texCoords.has_value();
    stride = StrideOf(mesh);
    for (const math::Vector3f& p : *mesh.positions) {
        source.x.push_back(p.x);
        source.y.push_back(p.y);
        source.z.push_back(p.z);
    }
    // Unit source normals let copies whose normal matrix is orthonormal skip renormalising.
    if (hasNormals)
        for (const math::Vector3f& n : *mesh.normals) {
            const float length = n.Mag();
            const float scale = length > 0.0f ? 1.0f / length : 0.0f;
            source.nx.push_back(n.x * scale);
            source.ny.push_back(n.y * scale);
            source.nz.push_back(n.z * scale);
        }
    if (hasTexCoords)
        for (const TVOTexCoord& t : *mesh.texCoords) {
            source.u.push_back(t.u);
            source.v.push_back(t.v);
        }
}

void ArrayModifier::CreateDeclaration(gpu::Device* device) {
    std::vector<gpu::VertexElement> elements;
    std::uint16_t offset = 0;
    const auto add = [&](bool present, std::uint8_t type, std::uint8_t usage, int floats) {
        if (!present)
            return;
        elements.push_back({0, offset, type, 0, usage, 0});
        offset = static_cast<std::uint16_t>(offset + 4 * floats);
    };
    add(true, gpu::DeclFloat3, gpu::UsagePosition, kPositionFloats);
    add(hasNormals, gpu::DeclFloat3, gpu::UsageNormal, kNormalFloats);
    add(hasTexCoords, gpu::DeclFloat2, gpu::UsageTexCoord, kTexCoordFloats);
    elements.push_back(gpu::kDeclEnd);
    gpu::VertexDeclaration* raw = nullptr;
    const gpu::Result result =
        device != nullptr ? device->CreateVertexDeclaration(elements.data(), &raw) : gpu::kInvalidCall;
    // Without a declaration the draw would read the buffer with whatever layout was bound before.
    if (gpu::Failed(result)) {
        WarnCreationFailure("vertex declaration", 0, device, result);
        LOG_ERROR("Failed to create array modifier vertex declaration");
    }
    declaration = gpu::Ref<gpu::VertexDeclaration>::Adopt(raw);
}

void ArrayModifier::CreateVertexBuffer(gpu::Device* device) {
    const std::uint64_t length = static_cast<std::uint64_t>(stride) * vertexCount * copyCount;
    gpu::VertexBuffer* raw = nullptr;
    const gpu::Result result = device != nullptr
                                   ? device->CreateVertexBuffer(static_cast<std::uint32_t>(length),
                                                                gpu::UsageDynamic | gpu::UsageWriteOnly, &raw)
                                   : gpu::kInvalidCall;
    if (gpu::Failed(result)) {
        WarnCreationFailure("vertex buffer", length, device, result);
        LOG_ERROR("Failed to create array modifier vertex buffer");
    }
    vertexBuffer = gpu::Ref<gpu::VertexBuffer>::Adopt(raw);
}

void ArrayModifier::CreateIndexBuffer(gpu::Device* device, const TVOMesh& mesh) {
    const bool small = static_cast<std::uint64_t>(vertexCount) * copyCount <= kSmallIndexVertices;
    const std::uint32_t width = small ? 2 : 4;
    const std::uint64_t length = static_cast<std::uint64_t>(width) * indexCount * copyCount;
    gpu::IndexBuffer* raw = nullptr;
    gpu::Result result =
        device != nullptr ? device->CreateIndexBuffer(static_cast<std::uint32_t>(length), gpu::UsageWriteOnly,
                                                      small ? gpu::FormatIndex16 : gpu::FormatIndex32, &raw)
                          : gpu::kInvalidCall;
    void* target = nullptr;
    if (!gpu::Failed(result)) {
        indexBuffer = gpu::Ref<gpu::IndexBuffer>::Adopt(raw);
        result = raw->Lock(0, 0, &target, 0);
    }
    // A buffer that cannot be filled is as useless as one that was never made.
    if (gpu::Failed(result)) {
        WarnCreationFailure(small ? "16-bit index buffer" : "32-bit index buffer", length, device, result);
        LOG_ERROR(small ? "Failed to create a 16bit array modifier index buffer"
                        : "Failed to create a 32bit array modifier index buffer");
    }
    if (small)
        FillIndices(static_cast<std::uint16_t*>(target), mesh, copyCount, vertexCount);
    else
        FillIndices(static_cast<std::uint32_t*>(target), mesh, copyCount, vertexCount);
    raw->Unlock();
}

void ArrayModifier::ComputeCopies() {
    objectInverse = info.object->GetLocalInverse();
    copies.clear();
    copies.push_back(math::Matrix4x4::Identity);
    for (const ArrayModifierEntry& entry : info.entries) {
        if (!IsActive(entry))
            continue;
        math::Matrix4x4 step = math::Matrix4x4::Identity;
        if (entry.useObjectOffset)
            step = entry.offsetObject->GetLocalMatrix() * objectInverse;
        if (entry.useConstantOffset)
            step = math::MatrixTranslation(entry.offset) * step;
        // Every copy made so far is one tuple of the inner dimensions; this dimension repeats them all,
        // once per power of its step, so the inner indices keep varying fastest.
        const std::size_t inner = copies.size();
        math::Matrix4x4 power = step;
        for (int j = 1; j < entry.count; ++j) {
            for (std::size_t i = 0; i < inner; ++i)
                copies.push_back(copies[i] * power);
            power = power * step;
        }
    }
}

bool ArrayModifier::WriteVertices() {
    void* data = nullptr;
    const gpu::Result result = vertexBuffer->Lock(0, 0, &data, gpu::LockDiscard);
    if (gpu::Failed(result)) {
        if (!lockWarned)
            LOG_WARNING("Array modifier vertex buffer could not be locked, so nothing is drawn: " +
                        Answer(result));
        lockWarned = true;
        return false;
    }
    const SourceView view{source.x.data(),  source.y.data(),  source.z.data(), source.nx.data(),
                          source.ny.data(), source.nz.data(), source.u.data(), source.v.data()};
    const std::ptrdiff_t floatsPerCopy = static_cast<std::ptrdiff_t>(stride / 4) * vertexCount;
    TransformCopies(copies, view, vertexCount, hasNormals, hasTexCoords, floatsPerCopy,
                    static_cast<float*>(data));
    vertexBuffer->Unlock();
    return true;
}

void ArrayModifier::Update(Renderer* renderer) {
    perf::ScopedZone zone(perf::Zone::ArrayModifier);
    if (renderer == nullptr)
        return;
    ComputeCopies();
    if (!WriteVertices())
        return;

    RenderObject& object = NextRenderObject(submitted);
    const int drawn = static_cast<int>(copies.size());
    object.numVertices = drawn * vertexCount;
    object.primitiveCount = (indexCount / 3) * drawn;
    object.vertexBuffer = vertexBuffer.Get();
    object.indexBuffer = indexBuffer.Get();
    object.declaration = declaration.Get();
    object.primitiveType = gpu::PrimitiveTriangleList;
    // The layout is the one this modifier wrote, which equals the mesh's for every loaded mesh.
    object.stride = stride;
    object.world = geometry->GetWorldMatrix();
    // Effects that light in object space need the inverse that goes with the borrowed world matrix.
    object.worldInverse = geometry->GetWorldInverse();
    object.material = geometry->GetMesh()->material;
    renderer->Submit(submitted);
}

} // namespace engine::gfx
