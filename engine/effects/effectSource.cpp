#include "effects/effectSource.h"

namespace engine::gfx {

int ParameterSize(ParameterType type) {
    switch (type) {
    case ParameterType::Float:
    case ParameterType::Int:
    case ParameterType::Bool:
        return 4;
    case ParameterType::Float2:
        return 8;
    case ParameterType::Float3:
        return 12;
    case ParameterType::Float4:
        return 16;
    case ParameterType::Float4x4:
        return 64;
    case ParameterType::Texture:
        return 0;
    }
    return 0;
}

const char* ParameterTypeName(ParameterType type) {
    switch (type) {
    case ParameterType::Float:
        return "float";
    case ParameterType::Int:
        return "int";
    case ParameterType::Bool:
        return "bool";
    case ParameterType::Float2:
        return "float2";
    case ParameterType::Float3:
        return "float3";
    case ParameterType::Float4:
        return "float4";
    case ParameterType::Float4x4:
        return "float4x4";
    case ParameterType::Texture:
        return "texture";
    }
    return "";
}

const char* GlslTypeName(ParameterType type) {
    switch (type) {
    case ParameterType::Float:
        return "float";
    case ParameterType::Int:
        return "int";
    case ParameterType::Bool:
        return "bool";
    case ParameterType::Float2:
        return "vec2";
    case ParameterType::Float3:
        return "vec3";
    case ParameterType::Float4:
        return "vec4";
    case ParameterType::Float4x4:
        return "mat4";
    case ParameterType::Texture:
        return "sampler2D";
    }
    return "";
}

const Annotation* FindAnnotation(const AnnotationList& annotations, std::string_view name) {
    for (const Annotation& annotation : annotations)
        if (annotation.name == name)
            return &annotation;
    return nullptr;
}

bool GetBool(const Annotation* annotation, bool& value) {
    if (annotation == nullptr || std::holds_alternative<std::string>(annotation->value))
        return false;
    value = std::visit(
        [](const auto& stored) {
            if constexpr (std::is_same_v<std::decay_t<decltype(stored)>, std::string>)
                return false;
            else
                return stored != 0;
        },
        annotation->value);
    return true;
}

bool GetString(const Annotation* annotation, std::string& value) {
    if (annotation == nullptr || !std::holds_alternative<std::string>(annotation->value))
        return false;
    value = std::get<std::string>(annotation->value);
    return true;
}

const TechniqueSource* EffectSource::FindTechnique(std::string_view name) const {
    for (const TechniqueSource& technique : techniques)
        if (technique.name == name)
            return &technique;
    return nullptr;
}

} // namespace engine::gfx
