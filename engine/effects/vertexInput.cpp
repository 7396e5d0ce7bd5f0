#include "effects/vertexInput.h"

namespace engine::gfx {

namespace {

struct NamedInput {
    const char* name;
    VertexUsage usage;
    int usageIndex;
};

// The position in this table is the attribute location, the one the device gives each usage and
// index in every vertex declaration (gpu/glObjects.h), so a program reads whatever declaration is
// drawn. Position takes location 0, which some drivers treat specially (it must be an enabled array).
constexpr NamedInput kInputs[kVertexInputCount] = {
    {"POSITION", VertexUsage::Position, 0},  {"NORMAL", VertexUsage::Normal, 0},
    {"TEXCOORD0", VertexUsage::TexCoord, 0}, {"TEXCOORD1", VertexUsage::TexCoord, 1},
    {"TEXCOORD2", VertexUsage::TexCoord, 2}, {"TEXCOORD3", VertexUsage::TexCoord, 3},
    {"TANGENT", VertexUsage::Tangent, 0},    {"BINORMAL", VertexUsage::Binormal, 0},
    {"COLOR0", VertexUsage::Color, 0},       {"COLOR1", VertexUsage::Color, 1},
};

} // namespace

std::optional<VertexInput> FindVertexInput(std::string_view name) {
    for (int i = 0; i < kVertexInputCount; ++i)
        if (name == kInputs[i].name)
            return VertexInput{kInputs[i].usage, kInputs[i].usageIndex, i};
    return std::nullopt;
}

const char* VertexInputNameList() {
    return "POSITION, NORMAL, TANGENT, BINORMAL, TEXCOORD0 to TEXCOORD3, COLOR0, COLOR1";
}

} // namespace engine::gfx
