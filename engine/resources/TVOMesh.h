// The mesh resource read from a .tvo file: the bounds-checked reader gives the vertex data, this class
// picks the material (a built-in effect by key, or the material script next to the file), checks that
// the effect's streams are present and puts the vertices, indices and declaration on the device.
#pragma once

#include "render/mesh.h"
#include "resources/tvoReader.h"

#include <engine/singleton.h>

#include <optional>
#include <string>
#include <vector>

namespace engine::gfx {

class TVOMesh : public Mesh, public pattern::Creator<TVOMesh> {
public:
    // Without a name: a holder for geometry that does not come from a file.
    TVOMesh();
    explicit TVOMesh(std::wstring name);
    ~TVOMesh() override;

    // Reads the file named by the resource name. Every failure writes an ERROR row and throws; a mesh
    // whose effect lacks a stream the file holds no data for gets no device buffers.
    void Load() override;
    // Frees the CPU copies; the device buffers stay until the mesh goes.
    void Unload() override;
    // The device layer keeps buffers and declarations across a reset, so there is nothing to rebuild.
    void OnLostDevice() override;
    void OnResetDevice() override;

    // Takes the data, buffers and material of a fresh mesh loaded from the changed file, so that every
    // geometry holding this one draws the new version. The material is replaced in place: whatever
    // borrowed it (an array modifier's copies) draws with the new effect too.
    void TakeOver(TVOMesh& fresh);

    bool loaded = false;
    int builtinEffect = 0;
    std::vector<std::string> textureNames;
    int positionCount = 0;
    int normalCount = 0;
    int texCoordCount = 0;
    int indexCount = 0;
    // Bytes per stored index after loading: 2 or 4.
    int indexSize = 2;
    // CPU copies, absent when the file has no chunk of that kind (and after Unload).
    std::optional<std::vector<math::Vector3f>> positions;
    std::optional<std::vector<math::Vector3f>> normals;
    std::optional<std::vector<TVOTexCoord>> texCoords;
    std::vector<std::uint8_t> indices;

private:
    void TakeData(TVOData& data);
    void BuildMaterial(const std::string& narrowName);
    void CheckStreams(const std::string& narrowName) const;
    void CreateIndexBuffer(gpu::Device* device, const std::string& narrowName);
    void CreateVertexBuffer(gpu::Device* device, const std::string& narrowName);
    void CreateDeclaration(gpu::Device* device, const std::string& narrowName);
};

} // namespace engine::gfx
