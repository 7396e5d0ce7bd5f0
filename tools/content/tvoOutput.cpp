#include "content/content.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace quorvel::content {

namespace {

// The mesh reader rejects more names than material slots and keys beyond the built-in effects.
constexpr std::size_t kMaxTextureNames = 7;
constexpr std::int32_t kMaxBuiltinEffect = 3;
// 16-bit indices address this many vertices.
constexpr std::size_t kShortIndexVertices = 65536;

// A mesh the engine would refuse, or draw from the wrong records, is a fault of its maker: nothing is
// written for it.
void CheckMesh(const MeshData& mesh, std::int32_t builtinEffect,
               const std::vector<std::string>& textureNames) {
    const std::size_t count = mesh.positions.size();
    if (mesh.normals.size() != count || (!mesh.texCoords.empty() && mesh.texCoords.size() != count))
        throw std::invalid_argument("mesh streams differ in length: " + std::to_string(count) +
                                    " positions, " + std::to_string(mesh.normals.size()) + " normals, " +
                                    std::to_string(mesh.texCoords.size()) + " texture coordinates");
    if (mesh.indices.size() % 3 != 0)
        throw std::invalid_argument(std::to_string(mesh.indices.size()) +
                                    " indices do not make whole triangles");
    const auto past = std::find_if(mesh.indices.begin(), mesh.indices.end(),
                                   [&](std::uint32_t index) { return index >= count; });
    if (past != mesh.indices.end())
        throw std::invalid_argument("index " + std::to_string(past - mesh.indices.begin()) +
                                    " refers to vertex " + std::to_string(*past) + " of " +
                                    std::to_string(count));
    const auto finite = [](const auto& record) {
        return std::all_of(record.begin(), record.end(), [](float value) { return std::isfinite(value); });
    };
    if (!std::all_of(mesh.positions.begin(), mesh.positions.end(), finite) ||
        !std::all_of(mesh.normals.begin(), mesh.normals.end(), finite) ||
        !std::all_of(mesh.texCoords.begin(), mesh.texCoords.end(), finite))
        throw std::invalid_argument("mesh holds a value that is not a finite number");
    if (builtinEffect < 0 || builtinEffect > kMaxBuiltinEffect)
        throw std::invalid_argument("built-in effect key " + std::to_string(builtinEffect) +
                                    " is outside 0-3");
    if (textureNames.size() > kMaxTextureNames)
        throw std::invalid_argument(std::to_string(textureNames.size()) + " texture names, more than seven");
}

formats::TVOWriter Build(const MeshData& mesh, std::int32_t builtinEffect,
                         const std::vector<std::string>& textureNames) {
    CheckMesh(mesh, builtinEffect, textureNames);
    Float3 min{0, 0, 0}, max{0, 0, 0};
    if (!mesh.positions.empty()) {
        min = max = mesh.positions.front();
        for (const Float3& p : mesh.positions)
            for (int axis = 0; axis < 3; ++axis) {
                min[axis] = std::min(min[axis], p[axis]);
                max[axis] = std::max(max[axis], p[axis]);
            }
    }
    formats::TVOWriter writer;
    writer.Material(builtinEffect, textureNames);
    writer.Extents(min, max);
    writer.Positions(mesh.positions);
    writer.Normals(mesh.normals);
    if (!mesh.texCoords.empty())
        writer.TexCoords(mesh.texCoords);
    writer.Indices(mesh.positions.size() <= kShortIndexVertices ? 2 : 4, mesh.indices);
    writer.End();
    return writer;
}

} // namespace

std::vector<std::uint8_t> EncodeTvo(const MeshData& mesh, std::int32_t builtinEffect,
                                    const std::vector<std::string>& textureNames) {
    return Build(mesh, builtinEffect, textureNames).Data();
}

void WriteTvo(const MeshData& mesh, std::int32_t builtinEffect, const std::vector<std::string>& textureNames,
              const std::filesystem::path& file) {
    Build(mesh, builtinEffect, textureNames).Save(file);
}

} // namespace quorvel::content
