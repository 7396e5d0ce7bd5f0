// The parsed form of an effect file: typed parameters with semantics, annotations and initial values,
// techniques with ordered passes and their render states, and the verbatim GLSL sections the passes
// name. The parser fills it; the parameter table and the GL runtime are built from it, never the text.
#pragma once

#include "effects/vertexInput.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace engine::gfx {

enum class ParameterType { Float, Int, Bool, Float2, Float3, Float4, Float4x4, Texture };

// Bytes a value of the type takes in parameter storage: 4 per component (ints as int32, bools as int32
// 0 or 1, floats as IEEE 32-bit), 64 for a matrix, 0 for a texture, which holds a device object instead.
int ParameterSize(ParameterType type);
// The keyword of the type in effect files ("float4x4") and the GLSL type of its uniform ("mat4").
const char* ParameterTypeName(ParameterType type);
const char* GlslTypeName(ParameterType type);

struct Annotation {
    std::string name;
    std::variant<bool, int, float, std::string> value;
    int line = 0;
};
using AnnotationList = std::vector<Annotation>;

// The annotation of that exact name, or null.
const Annotation* FindAnnotation(const AnnotationList& annotations, std::string_view name);
// Annotation reads. GetBool takes bool, int and float annotations (non-zero is true); GetString only
// strings. Both return false and leave value alone for a null annotation or another type.
bool GetBool(const Annotation* annotation, bool& value);
bool GetString(const Annotation* annotation, std::string& value);

// Filters and addressing carry Direct3D 9's numbers, as the render-state enumerations below do.
enum class TextureFilter { None = 0, Point, Linear, Anisotropic };
enum class TextureAddress { Wrap = 1, Mirror, Clamp, Border };

// Sampler state of a texture parameter. The defaults are Direct3D 9's sampler defaults, so an effect
// written for it samples the same way here.
struct SamplerState {
    TextureFilter minFilter = TextureFilter::Point;
    TextureFilter magFilter = TextureFilter::Point;
    TextureFilter mipFilter = TextureFilter::None;
    TextureAddress addressU = TextureAddress::Wrap;
    TextureAddress addressV = TextureAddress::Wrap;
    TextureAddress addressW = TextureAddress::Wrap;
    int maxAnisotropy = 1;
    std::array<float, 4> borderColor{0.0f, 0.0f, 0.0f, 0.0f};
};

struct ParameterSource {
    std::string name;
    ParameterType type = ParameterType::Float;
    std::string semantic; // empty when the parameter has none
    bool shared = false;
    AnnotationList annotations;
    bool hasInitialValue = false;
    // The initial value in storage layout; all zero when none was given.
    alignas(16) std::array<std::byte, 64> initialValue{};
    SamplerState sampler; // textures only
    int line = 0;
};

// The enumerations below carry Direct3D 9's numbers, which the device layer keeps too, so the runtime
// passes them on unchanged.
enum class BlendFactor {
    Zero = 1,
    One,
    SrcColor,
    InvSrcColor,
    SrcAlpha,
    InvSrcAlpha,
    DestAlpha,
    InvDestAlpha,
    DestColor,
    InvDestColor,
    SrcAlphaSat
};
enum class BlendOp { Add = 1, Subtract, RevSubtract, Min, Max };
enum class CompareFunc { Never = 1, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always };
// Which winding is culled, as Direct3D names it: CCW culls counter-clockwise triangles.
enum class CullMode { None = 1, CW, CCW };
enum class FillMode { Point = 1, Wireframe, Solid };

// Colour write mask bits, numbered as Direct3D numbers them.
inline constexpr unsigned kWriteRed = 1, kWriteGreen = 2, kWriteBlue = 4, kWriteAlpha = 8;

// The states a pass sets. A state left empty is not touched by the pass: the device keeps whatever it
// had, as with Direct3D effects. The alpha test is not device state here: it is compiled into the
// fragment code of the pass (see stageSource.h).
struct RenderStates {
    std::optional<bool> alphaBlendEnable;
    std::optional<BlendFactor> srcBlend;
    std::optional<BlendFactor> destBlend;
    std::optional<BlendOp> blendOp;
    std::optional<bool> zEnable;
    std::optional<CompareFunc> zFunc;
    std::optional<bool> zWriteEnable;
    std::optional<CullMode> cullMode;
    std::optional<FillMode> fillMode;
    std::optional<unsigned> colorWriteEnable;
    std::optional<bool> alphaTestEnable;
    std::optional<CompareFunc> alphaFunc;
    std::optional<int> alphaRef; // 0 to 255, compared with the output alpha scaled by 255
};

// A "-- glsl Name" section: the lines after the marker up to the next marker or the end of the file,
// kept verbatim, with what a light scan of them found.
struct GlslSection {
    struct Declaration {
        std::string name;
        int line = 0;
    };
    std::string name;
    int firstLine = 0; // file line of the section's first code line (the one after the marker)
    std::string text;
    std::vector<Declaration> inputs;  // global "in" variables
    std::vector<Declaration> outputs; // global "out" variables
    bool definesMain = false;
};

struct VertexInputBinding {
    std::string name;
    VertexInput input;
};

struct PassSource {
    std::string name; // may be empty
    AnnotationList annotations;
    RenderStates states;
    std::vector<std::size_t> vertexSections; // indices into EffectSource::sections, in order
    std::vector<std::size_t> fragmentSections;
    std::vector<VertexInputBinding> vertexInputs; // what the vertex code reads, bound by usage and index
    std::string colorOutput; // the fragment output the alpha test reads; empty without an alpha test
    int line = 0;
};

struct TechniqueSource {
    std::string name;
    AnnotationList annotations;
    std::vector<PassSource> passes;
    int line = 0;
};

struct EffectSource {
    std::string fileName;
    std::vector<ParameterSource> parameters;
    std::vector<TechniqueSource> techniques;
    std::vector<GlslSection> sections;

    // The technique of that exact name, or null. The pointer stays valid as long as the source.
    const TechniqueSource* FindTechnique(std::string_view name) const;
};

} // namespace engine::gfx
