// How effect code names its vertex inputs. A vertex section reads a vertex-declaration element by
// declaring a global "in" variable named after the element's usage and index (POSITION, NORMAL,
// TEXCOORD0 ...); each name has a fixed attribute location, so one program draws any declaration.
#pragma once

#include <optional>
#include <string_view>

namespace engine::gfx {

// Element usages, with Direct3D 9's numbers so that vertex declarations map onto them unchanged.
enum class VertexUsage { Position = 0, Normal = 3, TexCoord = 5, Tangent = 6, Binormal = 7, Color = 10 };

struct VertexInput {
    VertexUsage usage = VertexUsage::Position;
    int usageIndex = 0;
    int location = 0; // the attribute location the runtime binds the name to before linking
};

inline constexpr int kVertexInputCount = 10;

// The input a GLSL name stands for ("TEXCOORD1" -> texture coordinate 1), or nothing.
std::optional<VertexInput> FindVertexInput(std::string_view name);
// The names the language knows, for messages: "POSITION, NORMAL, ...".
const char* VertexInputNameList();

} // namespace engine::gfx
