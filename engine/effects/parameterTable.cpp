#include "effects/parameterTable.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace engine::gfx {

namespace {

bool Write(ParameterValue& value, const void* data, std::size_t offset, std::size_t bytes) {
    std::byte* target = value.bytes.data() + offset;
    if (bytes == 0 || std::memcmp(target, data, bytes) == 0)
        return true;
    std::memcpy(target, data, bytes);
    ++value.version;
    return true;
}

std::int32_t TruncateToInt(float value) {
    if (std::isnan(value))
        return 0;
    if (value >= 2147483520.0f) // the largest float below 2^31
        return std::numeric_limits<std::int32_t>::max();
    if (value <= -2147483648.0f)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(value);
}

} // namespace

ParameterTable::ParameterTable(const EffectSource& effect, SharedParameterPool* pool) {
    parameters.reserve(effect.parameters.size());
    for (const ParameterSource& source : effect.parameters) {
        auto value = source.shared && pool != nullptr ? pool->Acquire(source)
                                                      : std::make_shared<ParameterValue>(source);
        parameters.emplace_back(source, std::move(value));
    }
}

ParameterHandle ParameterTable::GetParameterByName(std::string_view name) const {
    for (const EffectParameter& parameter : parameters)
        if (parameter.Name() == name)
            return &parameter;
    return nullptr;
}

ParameterHandle ParameterTable::GetParameterBySemantic(std::string_view semantic) const {
    if (semantic.empty())
        return nullptr;
    for (const EffectParameter& parameter : parameters)
        if (parameter.Semantic() == semantic)
            return &parameter;
    return nullptr;
}

bool ParameterTable::SetRawValue(ParameterHandle parameter, const void* data, std::size_t offset,
                                 std::size_t bytes) {
    if (parameter == nullptr || parameter->Type() == ParameterType::Texture || (data == nullptr && bytes > 0))
        return false;
    const auto size = static_cast<std::size_t>(ParameterSize(parameter->Type()));
    if (offset > size || bytes > size - offset)
        return false;
    return Write(parameter->Value(), data, offset, bytes);
}

bool ParameterTable::SetFloat(ParameterHandle parameter, float value) {
    if (parameter == nullptr)
        return false;
    switch (parameter->Type()) {
    case ParameterType::Float:
        return Write(parameter->Value(), &value, 0, 4);
    case ParameterType::Int: {
        const std::int32_t number = TruncateToInt(value);
        return Write(parameter->Value(), &number, 0, 4);
    }
    case ParameterType::Bool: {
        const std::int32_t flag = value != 0.0f ? 1 : 0;
        return Write(parameter->Value(), &flag, 0, 4);
    }
    default:
        return false;
    }
}

bool ParameterTable::SetVector(ParameterHandle parameter, const math::Vector4f& value) {
    if (parameter == nullptr)
        return false;
    const ParameterType type = parameter->Type();
    if (type != ParameterType::Float && type != ParameterType::Float2 && type != ParameterType::Float3 &&
        type != ParameterType::Float4)
        return false;
    const float components[4] = {value.x, value.y, value.z, value.w};
    return Write(parameter->Value(), components, 0, static_cast<std::size_t>(ParameterSize(type)));
}

bool ParameterTable::SetMatrix(ParameterHandle parameter, const math::Matrix4x4& value) {
    if (parameter == nullptr || parameter->Type() != ParameterType::Float4x4)
        return false;
    return Write(parameter->Value(), value.m, 0, sizeof value.m);
}

bool ParameterTable::SetTexture(ParameterHandle parameter, gpu::Texture* texture) {
    if (parameter == nullptr || parameter->Type() != ParameterType::Texture)
        return false;
    ParameterValue& value = parameter->Value();
    if (value.texture != texture) {
        value.texture = texture;
        ++value.version;
    }
    return true;
}

} // namespace engine::gfx
