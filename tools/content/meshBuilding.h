// Small vector helpers and mesh-building steps shared by the generators and the OBJ importer. Front
// faces follow the engine's Direct3D convention: seen from the side a face's normal points to, its
// corners run clockwise, which with these left-handed axes means cross(b - a, c - a) points along the
// normal.
#pragma once

#include "content/content.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvel::content {

Float3 Add(const Float3& a, const Float3& b);
Float3 Subtract(const Float3& a, const Float3& b);
Float3 Scale(const Float3& a, float s);
Float3 Cross(const Float3& a, const Float3& b);
float Dot(const Float3& a, const Float3& b);
// The zero vector stays zero rather than turning into NaNs.
Float3 Normalize(const Float3& a);
// Twice the triangle's area, pointing to its front side.
Float3 FaceNormal(const Float3& a, const Float3& b, const Float3& c);

// Smooth normals for triangles over shared positions: each corner gets the sum of the face normals of
// its triangles, weighted by their areas, normalized.
std::vector<Float3> AreaWeightedNormals(const std::vector<Float3>& positions,
                                        const std::vector<std::uint32_t>& indices);

// Appends a copy of every vertex with its normal reversed and every triangle with its winding
// reversed, so that a flat surface shows a lit front face from both sides.
void AddBackFaces(MeshData& mesh);

} // namespace quorvel::content
