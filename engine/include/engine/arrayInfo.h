// The record a program fills to repeat a mesh object: the node whose first child is the object, and
// one entry per array dimension, the first entry innermost. Each step of a dimension applies a constant
// offset, the pose of an offset object relative to the repeated object, or both.
#pragma once

#include <engine/math.h>

#include <cstdint>
#include <vector>

namespace engine {

namespace gfx {
class Spatial;
} // namespace gfx

struct ArrayEntry {
    math::Vector3f offset;
    // A node whose first child stands for the offset object; read only when useObjectOffset is set.
    gfx::Spatial* offsetObject = nullptr;
    // Copies along this dimension.
    std::int32_t count = 1;
    bool useConstantOffset = false;
    bool useObjectOffset = false;
};

struct ArrayInfo {
    // A node whose first child is the geometry to repeat.
    gfx::Spatial* object = nullptr;
    std::vector<ArrayEntry> entries;
};

} // namespace engine
