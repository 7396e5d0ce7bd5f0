// The mesh generators. Each surface is laid out as seen from its front: rows run from the top down,
// columns from left to right, and each quad becomes the clockwise triangles (top-left, top-right,
// bottom-right) and (top-left, bottom-right, bottom-left), with texture coordinates running the same
// way (v = 0 on the top row, as the engine samples images).
#include "content/content.h"
#include "content/meshBuilding.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace quorvel::content {

namespace {

// Enough for any surface the demo draws, and small enough that a mistyped count cannot exhaust memory.
constexpr int kMaxSegments = 1024;

void CheckSize(const char* generator, const char* what, float value) {
    if (!(value > 0.0f) || !std::isfinite(value))
        throw std::invalid_argument(std::string(generator) + ": " + what +
                                    " must be a positive number, not " + std::to_string(value));
}

void CheckCount(const char* generator, const char* what, int value, int minimum) {
    if (value < minimum || value > kMaxSegments)
        throw std::invalid_argument(std::string(generator) + ": " + what + " must be between " +
                                    std::to_string(minimum) + " and " + std::to_string(kMaxSegments) +
                                    ", not " + std::to_string(value));
}

std::uint32_t Vertex(MeshData& mesh, const Float3& position, const Float3& normal, const Float2& texCoord) {
    mesh.positions.push_back(position);
    mesh.normals.push_back(normal);
    mesh.texCoords.push_back(texCoord);
    return static_cast<std::uint32_t>(mesh.positions.size() - 1);
}

void Triangle(MeshData& mesh, std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    mesh.indices.insert(mesh.indices.end(), {a, b, c});
}

void Quad(MeshData& mesh, std::uint32_t topLeft, std::uint32_t topRight, std::uint32_t bottomRight,
          std::uint32_t bottomLeft) {
    Triangle(mesh, topLeft, topRight, bottomRight);
    Triangle(mesh, topLeft, bottomRight, bottomLeft);
}

// A rectangle facing `normal`, its corners at centre +- right +- up; `up` must be perpendicular to the
// normal. Seen from the front, cross(normal, up) points to the right.
void FlatQuad(MeshData& mesh, const Float3& centre, const Float3& normal, const Float3& up, float halfWidth,
              float halfHeight) {
    const Float3 right = Scale(Cross(normal, up), halfWidth);
    const Float3 top = Scale(up, halfHeight);
    const std::uint32_t tl = Vertex(mesh, Add(Subtract(centre, right), top), normal, {0, 0});
    const std::uint32_t tr = Vertex(mesh, Add(Add(centre, right), top), normal, {1, 0});
    const std::uint32_t br = Vertex(mesh, Subtract(Add(centre, right), top), normal, {1, 1});
    const std::uint32_t bl = Vertex(mesh, Subtract(Subtract(centre, right), top), normal, {0, 1});
    Quad(mesh, tl, tr, br, bl);
}

// A point on the unit circle in the XZ plane; the angle grows to the right as seen from outside.
Float3 Around(int step, int steps) {
    const double angle = 2.0 * std::numbers::pi * step / steps;
    return {static_cast<float>(std::cos(angle)), 0.0f, static_cast<float>(std::sin(angle))};
}

} // namespace

MeshData Box(Float3 size) {
    for (float edge : size)
        CheckSize("Box", "every edge length", edge);
    const float hx = size[0] / 2, hy = size[1] / 2, hz = size[2] / 2;
    struct Face {
        Float3 normal, up;
        float halfWidth, halfHeight, distance;
    };
    const Face faces[] = {
        {{0, 0, -1}, {0, 1, 0}, hx, hy, hz}, {{1, 0, 0}, {0, 1, 0}, hz, hy, hx},
        {{0, 0, 1}, {0, 1, 0}, hx, hy, hz},  {{-1, 0, 0}, {0, 1, 0}, hz, hy, hx},
        {{0, 1, 0}, {0, 0, 1}, hx, hz, hy},  {{0, -1, 0}, {0, 0, -1}, hx, hz, hy},
    };
    MeshData mesh;
    for (const Face& face : faces)
        FlatQuad(mesh, Scale(face.normal, face.distance), face.normal, face.up, face.halfWidth,
                 face.halfHeight);
    return mesh;
}

MeshData Grid(float width, float depth, int segmentsX, int segmentsZ) {
    CheckSize("Grid", "width", width);
    CheckSize("Grid", "depth", depth);
    CheckCount("Grid", "segmentsX", segmentsX, 1);
    CheckCount("Grid", "segmentsZ", segmentsZ, 1);
    // Seen from above, +X is right and +Z is up: row 0 is the far edge.
    MeshData mesh;
    for (int row = 0; row <= segmentsZ; ++row)
        for (int column = 0; column <= segmentsX; ++column) {
            const float u = static_cast<float>(column) / segmentsX, v = static_cast<float>(row) / segmentsZ;
            Vertex(mesh, {(u - 0.5f) * width, 0.0f, (0.5f - v) * depth}, {0, 1, 0}, {u, v});
        }
    const auto at = [&](int column, int row) {
        return static_cast<std::uint32_t>(row * (segmentsX + 1) + column);
    };
    for (int row = 0; row < segmentsZ; ++row)
        for (int column = 0; column < segmentsX; ++column)
            Quad(mesh, at(column, row), at(column + 1, row), at(column + 1, row + 1), at(column, row + 1));
    return mesh;
}

MeshData Cylinder(float radius, float height, int segments, bool caps) {
    CheckSize("Cylinder", "radius", radius);
    CheckSize("Cylinder", "height", height);
    CheckCount("Cylinder", "segments", segments, 3);
    MeshData mesh;
    // The seam's column is repeated so that u runs from 0 to 1 around the side.
    for (int column = 0; column <= segments; ++column) {
        const Float3 normal = Around(column, segments);
        const float u = static_cast<float>(column) / segments;
        Vertex(mesh, Add(Scale(normal, radius), {0, height, 0}), normal, {u, 0});
        Vertex(mesh, Scale(normal, radius), normal, {u, 1});
    }
    for (std::uint32_t column = 0; column < static_cast<std::uint32_t>(segments); ++column)
        Quad(mesh, 2 * column, 2 * column + 2, 2 * column + 3, 2 * column + 1);
    if (!caps)
        return mesh;

    // Each cap is a fan around its centre; seen from above the angle grows clockwise, from below
    // counter-clockwise, so the two caps take their rim in opposite orders.
    for (const float y : {height, 0.0f}) {
        const bool top = y > 0.0f;
        const Float3 normal = {0, top ? 1.0f : -1.0f, 0};
        const std::uint32_t centre = Vertex(mesh, {0, y, 0}, normal, {0.5f, 0.5f});
        for (int step = 0; step < segments; ++step) {
            const Float3 rim = Around(step, segments);
            Vertex(mesh, {rim[0] * radius, y, rim[2] * radius}, normal,
                   {0.5f + 0.5f * rim[0], 0.5f + (top ? -0.5f : 0.5f) * rim[2]});
        }
        for (std::uint32_t step = 0; step < static_cast<std::uint32_t>(segments); ++step) {
            const std::uint32_t a = centre + 1 + step, b = centre + 1 + (step + 1) % segments;
            if (top)
                Triangle(mesh, centre, b, a);
            else
                Triangle(mesh, centre, a, b);
        }
    }
    return mesh;
}

MeshData Sphere(float radius, int segments, int rings) {
    CheckSize("Sphere", "radius", radius);
    CheckCount("Sphere", "segments", segments, 3);
    CheckCount("Sphere", "rings", rings, 2);
    MeshData mesh;
    // Rows from the north pole down; the poles are repeated per column so that each column has its own u.
    for (int row = 0; row <= rings; ++row) {
        const double polar = std::numbers::pi * row / rings;
        const float ringRadius = static_cast<float>(std::sin(polar)), y = static_cast<float>(std::cos(polar));
        for (int column = 0; column <= segments; ++column) {
            const Float3 around = Around(column, segments);
            const Float3 normal = {around[0] * ringRadius, y, around[2] * ringRadius};
            Vertex(mesh, Scale(normal, radius), normal,
                   {static_cast<float>(column) / segments, static_cast<float>(row) / rings});
        }
    }
    const auto at = [&](int column, int row) {
        return static_cast<std::uint32_t>(row * (segments + 1) + column);
    };
    for (int row = 0; row < rings; ++row)
        for (int column = 0; column < segments; ++column) {
            // At the poles one triangle of each quad has no area.
            if (row > 0)
                Triangle(mesh, at(column, row), at(column + 1, row), at(column + 1, row + 1));
            if (row < rings - 1)
                Triangle(mesh, at(column, row), at(column + 1, row + 1), at(column, row + 1));
        }
    return mesh;
}

MeshData Leaf(float length, float width, int segments) {
    CheckSize("Leaf", "length", length);
    CheckSize("Leaf", "width", width);
    CheckCount("Leaf", "segments", segments, 2);
    // The front faces -Z. Between the stalk and the tip, each row has a left edge, the midrib and a right
    // edge; the edges rise towards the front by a quarter of the half-width, which cups the blade.
    constexpr float kCup = 0.25f;
    MeshData mesh;
    const std::uint32_t stalk = Vertex(mesh, {0, 0, 0}, {}, {0.5f, 1.0f});
    for (int row = 1; row < segments; ++row) {
        const float t = static_cast<float>(row) / segments;
        const float half = 0.5f * width * static_cast<float>(std::sin(std::numbers::pi * t));
        const float y = t * length, v = 1.0f - t, edgeU = half / width;
        Vertex(mesh, {-half, y, -kCup * half}, {}, {0.5f - edgeU, v});
        Vertex(mesh, {0, y, 0}, {}, {0.5f, v});
        Vertex(mesh, {half, y, -kCup * half}, {}, {0.5f + edgeU, v});
    }
    const std::uint32_t tip = Vertex(mesh, {0, length, 0}, {}, {0.5f, 0.0f});
    const auto at = [](int row, std::uint32_t side) {
        return static_cast<std::uint32_t>(1 + 3 * (row - 1)) + side;
    };
    Triangle(mesh, stalk, at(1, 0), at(1, 1));
    Triangle(mesh, stalk, at(1, 1), at(1, 2));
    for (int row = 1; row + 1 < segments; ++row) {
        Quad(mesh, at(row + 1, 0), at(row + 1, 1), at(row, 1), at(row, 0));
        Quad(mesh, at(row + 1, 1), at(row + 1, 2), at(row, 2), at(row, 1));
    }
    Triangle(mesh, at(segments - 1, 0), tip, at(segments - 1, 1));
    Triangle(mesh, at(segments - 1, 1), tip, at(segments - 1, 2));
    mesh.normals = AreaWeightedNormals(mesh.positions, mesh.indices);
    AddBackFaces(mesh);
    return mesh;
}

MeshData GrassBlade(float height, float width, int segments, float bend) {
    CheckSize("GrassBlade", "height", height);
    CheckSize("GrassBlade", "width", width);
    CheckCount("GrassBlade", "segments", segments, 1);
    if (!std::isfinite(bend))
        throw std::invalid_argument("GrassBlade: bend must be a number, not " + std::to_string(bend));
    // The front faces -Z. Rows of two vertices narrow linearly to a single tip; the bend grows with the
    // square of the height, so the blade leaves the ground upright.
    MeshData mesh;
    for (int row = 0; row < segments; ++row) {
        const float t = static_cast<float>(row) / segments;
        const float half = 0.5f * width * (1.0f - t), z = bend * t * t, v = 1.0f - t;
        Vertex(mesh, {-half, t * height, z}, {}, {0.5f - 0.5f * (1.0f - t), v});
        Vertex(mesh, {half, t * height, z}, {}, {0.5f + 0.5f * (1.0f - t), v});
    }
    const std::uint32_t tip = Vertex(mesh, {0, height, bend}, {}, {0.5f, 0.0f});
    for (std::uint32_t row = 0; row + 1 < static_cast<std::uint32_t>(segments); ++row)
        Quad(mesh, 2 * row + 2, 2 * row + 3, 2 * row + 1, 2 * row);
    const auto last = static_cast<std::uint32_t>(2 * (segments - 1));
    Triangle(mesh, last, tip, last + 1);
    mesh.normals = AreaWeightedNormals(mesh.positions, mesh.indices);
    AddBackFaces(mesh);
    return mesh;
}

MeshData ScreenQuad() {
    MeshData mesh;
    FlatQuad(mesh, {0, 0, 0}, {0, 0, -1}, {0, 1, 0}, 1.0f, 1.0f);
    return mesh;
}

} // namespace quorvel::content
