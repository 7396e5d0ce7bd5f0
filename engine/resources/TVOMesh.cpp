#include "resources/TVOMesh.h"

#include "core/logging.h"
#include "core/textConversion.h"
#include "perf/zones.h"
#include "platform/window.h"
#include "render/effect.h"
#include "render/effectPool.h"
#include "render/material.h"
#include "resources/resourceTypes.h"

#include <boost/make_shared.hpp>

#include <cstring>
#include <sstream>

namespace engine::gfx {

namespace {

constexpr int kPositionBytes = 12;
constexpr int kNormalBytes = 12;
constexpr int kTexCoordBytes = 8;

std::string DeviceAnswer(gpu::Device* device, gpu::Result result) {
    if (device == nullptr)
        return "no graphics device";
    std::ostringstream text;
    text << "the device answered 0x" << std::hex << static_cast<std::uint32_t>(result);
    return text.str();
}

template <typename T>
int CountOf(const std::optional<std::vector<T>>& records) {
    return records ? static_cast<int>(records->size()) : 0;
}

} // namespace

TVOMesh::TVOMesh() : Mesh(std::wstring()) {}

TVOMesh::TVOMesh(std::wstring name) : Mesh(std::move(name)) {}

TVOMesh::~TVOMesh() = default;

void TVOMesh::Load() {
    perf::ScopedZone zone(perf::Zone::Meshes);
    const std::string narrowName = core::WideToNarrow(name);
    LOG_MESSAGE("Loading .tvo mesh " + narrowName);
    Unload();
    TVOData data = ReadTVOFile(name);
    TakeData(data);
    BuildMaterial(narrowName);
    CheckStreams(narrowName);

    gpu::Device* device = core::CWin32Window::Get()->device;
    CreateIndexBuffer(device, narrowName);
    CreateVertexBuffer(device, narrowName);
    CreateDeclaration(device, narrowName);
    index32 = indexSize == 4;
    primitiveCount = indexCount / 3;
    vertexCount = positionCount;
    primitiveType = gpu::PrimitiveTriangleList;
}

void TVOMesh::TakeData(TVOData& data) {
    loaded = true; // the reader only returns once it has seen the end chunk
    builtinEffect = data.builtinEffect;
    textureNames = std::move(data.textureNames);
    extents[0] = data.extents[0];
    extents[1] = data.extents[1];
    positions = std::move(data.positions);
    normals = std::move(data.normals);
    texCoords = std::move(data.texCoords);
    positionCount = CountOf(positions);
    normalCount = CountOf(normals);
    texCoordCount = CountOf(texCoords);
    indexCount = data.indexCount;
    indexSize = data.indexSize;
    indices = std::move(data.indices);
}

void TVOMesh::BuildMaterial(const std::string& narrowName) {
    auto made = boost::make_shared<Material>();
    EffectPool* pool = EffectPool::Get();
    // The material script sits next to the mesh under the mesh's full name, ".tvo" included.
    made->effect =
        builtinEffect != 0 ? pool->GetBuiltin(builtinEffect) : pool->BuildEffect(narrowName + ".efx");
    // An empty effect would be dereferenced by every shader look-up at draw time.
    if (!made->effect)
        LOG_ERROR(narrowName + " names built-in effect " + std::to_string(builtinEffect) +
                  ", which the effect pool does not have");
    core::ResourceManager* manager = core::ResourceManager::Get();
    for (std::size_t i = 0; i < textureNames.size(); ++i)
        made->textures[i] =
            manager->GetResource<core::resources::ManagedTexture>(core::NarrowToWide(textureNames[i]));
    material = made;
}

void TVOMesh::CheckStreams(const std::string& narrowName) const {
    for (int stream : material->effect->GetStreams()) {
        if (stream == StreamPositions && !positions)
            LOG_ERROR("Effect requires vertex coordinates, not found in .tvo mesh " + narrowName);
        if (stream == StreamNormals && !normals)
            LOG_ERROR("Effect requires normal coordinates, not found in .tvo mesh " + narrowName);
        if (stream == StreamTexCoords && !texCoords)
            LOG_ERROR("Effect requires texture coordinates, not found in .tvo mesh " + narrowName);
    }
}

void TVOMesh::CreateIndexBuffer(gpu::Device* device, const std::string& narrowName) {
    const auto length = static_cast<std::uint32_t>(indices.size());
    gpu::IndexBuffer* raw = nullptr;
    gpu::Result result = gpu::kInvalidCall;
    if (device != nullptr)
        result = device->CreateIndexBuffer(length, gpu::UsageWriteOnly,
                                           indexSize == 4 ? gpu::FormatIndex32 : gpu::FormatIndex16, &raw);
    void* target = nullptr;
    if (!gpu::Failed(result)) {
        indexBuffer = gpu::Ref<gpu::IndexBuffer>::Adopt(raw);
        result = raw->Lock(0, 0, &target, 0);
    }
    if (gpu::Failed(result)) {
        LOG_WARNING("Mesh " + narrowName + ", index buffer of " + std::to_string(length) +
                    " bytes: " + DeviceAnswer(device, result));
        LOG_ERROR("Creating index buffer failed");
    }
    std::memcpy(target, indices.data(), length);
    raw->Unlock();
}

void TVOMesh::CreateVertexBuffer(gpu::Device* device, const std::string& narrowName) {
    stride =
        (positions ? kPositionBytes : 0) + (normals ? kNormalBytes : 0) + (texCoords ? kTexCoordBytes : 0);
    const auto length = static_cast<std::uint32_t>(positionCount) * static_cast<std::uint32_t>(stride);
    gpu::VertexBuffer* raw = nullptr;
    gpu::Result result = gpu::kInvalidCall;
    if (device != nullptr)
        result = device->CreateVertexBuffer(length, gpu::UsageWriteOnly, &raw);
    void* target = nullptr;
    if (!gpu::Failed(result)) {
        vertexBuffer = gpu::Ref<gpu::VertexBuffer>::Adopt(raw);
        result = raw->Lock(0, 0, &target, 0);
    }
    if (gpu::Failed(result)) {
        LOG_WARNING("Mesh " + narrowName + ", vertex buffer of " + std::to_string(length) +
                    " bytes: " + DeviceAnswer(device, result));
        LOG_ERROR("Creating vertex buffer failed");
    }
    // Interleaved in declaration order: position, normal, texture coordinate.
    auto* out = static_cast<std::uint8_t*>(target);
    for (int i = 0; i < positionCount; ++i) {
        std::memcpy(out, &(*positions)[i], kPositionBytes);
        out += kPositionBytes;
        if (normals) {
            std::memcpy(out, &(*normals)[i], kNormalBytes);
            out += kNormalBytes;
        }
        if (texCoords) {
            std::memcpy(out, &(*texCoords)[i], kTexCoordBytes);
            out += kTexCoordBytes;
        }
    }
    raw->Unlock();
}

void TVOMesh::CreateDeclaration(gpu::Device* device, const std::string& narrowName) {
    std::vector<gpu::VertexElement> elements;
    std::uint16_t offset = 0;
    const auto add = [&](bool present, std::uint8_t type, std::uint8_t usage, int bytes) {
        if (!present)
            return;
        elements.push_back({0, offset, type, 0, usage, 0});
        offset = static_cast<std::uint16_t>(offset + bytes);
    };
    add(positions.has_value(), gpu::DeclFloat3, gpu::UsagePosition, kPositionBytes);
    add(normals.has_value(), gpu::DeclFloat3, gpu::UsageNormal, kNormalBytes);
    add(texCoords.has_value(), gpu::DeclFloat2, gpu::UsageTexCoord, kTexCoordBytes);
    elements.push_back(gpu::kDeclEnd);
    gpu::VertexDeclaration* raw = nullptr;
    const gpu::Result result = device->CreateVertexDeclaration(elements.data(), &raw);
    // A mesh without a declaration would draw nothing, or garbage, with no word in the log.
    if (gpu::Failed(result)) {
        LOG_WARNING("Mesh " + narrowName + ", vertex declaration: " + DeviceAnswer(device, result));
        LOG_ERROR("Creating vertex declaration failed");
    }
    declaration = gpu::Ref<gpu::VertexDeclaration>::Adopt(raw);
}

void TVOMesh::Unload() {
    positions.reset();
    normals.reset();
    texCoords.reset();
    indices.clear();
    indices.shrink_to_fit();
}

void TVOMesh::TakeOver(TVOMesh& fresh) {
    loaded = fresh.loaded;
    builtinEffect = fresh.builtinEffect;
    textureNames = std::move(fresh.textureNames);
    positionCount = fresh.positionCount;
    normalCount = fresh.normalCount;
    texCoordCount = fresh.texCoordCount;
    indexCount = fresh.indexCount;
    indexSize = fresh.indexSize;
    positions = std::move(fresh.positions);
    normals = std::move(fresh.normals);
    texCoords = std::move(fresh.texCoords);
    indices = std::move(fresh.indices);
    vertexCount = fresh.vertexCount;
    primitiveCount = fresh.primitiveCount;
    stride = fresh.stride;
    index32 = fresh.index32;
    vertexBuffer = fresh.vertexBuffer;
    indexBuffer = fresh.indexBuffer;
    declaration = fresh.declaration;
    extents[0] = fresh.extents[0];
    extents[1] = fresh.extents[1];
    primitiveType = fresh.primitiveType;
    if (material && fresh.material)
        *material = *fresh.material;
    else
        material = fresh.material;
}

void TVOMesh::OnLostDevice() {}

void TVOMesh::OnResetDevice() {}

} // namespace engine::gfx
