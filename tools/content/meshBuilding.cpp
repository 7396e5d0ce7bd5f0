#include "content/meshBuilding.h"

#include <cmath>

namespace quorvel::content {

Float3 Add(const Float3& a, const Float3& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}

Float3 Subtract(const Float3& a, const Float3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Float3 Scale(const Float3& a, float s) {
    return {a[0] * s, a[1] * s, a[2] * s};
}

Float3 Cross(const Float3& a, const Float3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

float Dot(const Float3& a, const Float3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Float3 Normalize(const Float3& a) {
    const float length = std::sqrt(Dot(a, a));
    return length > 0.0f ? Scale(a, 1.0f / length) : a;
}

Float3 FaceNormal(const Float3& a, const Float3& b, const Float3& c) {
    return Cross(Subtract(b, a), Subtract(c, a));
}

std::vector<Float3> AreaWeightedNormals(const std::vector<Float3>& positions,
                                        const std::vector<std::uint32_t>& indices) {
    std::vector<Float3> normals(positions.size(), Float3{0, 0, 0});
    for (std::size_t i = 0; i + 2 < indices.size(); i += 3) {
        const Float3 n =
            FaceNormal(positions[indices[i]], positions[indices[i + 1]], positions[indices[i + 2]]);
        for (std::size_t k = 0; k < 3; ++k)
            normals[indices[i + k]] = Add(normals[indices[i + k]], n);
    }
    for (Float3& n : normals)
        n = Normalize(n);
    return normals;
}

void AddBackFaces(MeshData& mesh) {
    const auto offset = static_cast<std::uint32_t>(mesh.positions.size());
    const std::size_t vertexCount = mesh.positions.size();
    for (std::size_t i = 0; i < vertexCount; ++i) {
        mesh.positions.push_back(mesh.positions[i]);
        mesh.normals.push_back(Scale(mesh.normals[i], -1.0f));
        if (!mesh.texCoords.empty())
            mesh.texCoords.push_back(mesh.texCoords[i]);
    }
    const std::size_t indexCount = mesh.indices.size();
    for (std::size_t i = 0; i + 2 < indexCount; i += 3) {
        mesh.indices.push_back(mesh.indices[i] + offset);
        mesh.indices.push_back(mesh.indices[i + 2] + offset);
        mesh.indices.push_back(mesh.indices[i + 1] + offset);
    }
}

} // namespace quorvel::content
