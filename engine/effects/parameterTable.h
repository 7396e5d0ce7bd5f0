// The parameters of one effect as the runtime and its callers see them: opaque handles found by name
// or by semantic, and the setters that write a parameter's storage (raw bytes, floats, vectors,
// matrices, textures) and mark it changed. A null handle is accepted everywhere and changes nothing,
// so a handle that a look-up did not find can be kept and used without tests.
#pragma once

#include "effects/parameterValue.h"
#include "effects/sharedParameterPool.h"

#include <engine/math.h>

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace engine::gfx {

class EffectParameter {
public:
    EffectParameter(ParameterSource source, std::shared_ptr<ParameterValue> value)
        : source(std::move(source)), value(std::move(value)) {}

    const std::string& Name() const { return source.name; }
    ParameterType Type() const { return source.type; }
    const std::string& Semantic() const { return source.semantic; }
    bool IsShared() const { return source.shared; }
    const AnnotationList& Annotations() const { return source.annotations; }
    const SamplerState& Sampler() const { return source.sampler; }
    // The storage; for a shared parameter, the pool's.
    ParameterValue& Value() const { return *value; }

private:
    ParameterSource source;
    std::shared_ptr<ParameterValue> value;
};

// Valid for the life of the table that gave it out; null means "no such parameter".
using ParameterHandle = const EffectParameter*;

class ParameterTable {
public:
    // Shared parameters take their storage from the pool; without a pool each effect keeps its own.
    ParameterTable(const EffectSource& effect, SharedParameterPool* pool);
    // Handles point into the table, so it is never copied.
    ParameterTable(const ParameterTable&) = delete;
    ParameterTable& operator=(const ParameterTable&) = delete;

    std::size_t Count() const { return parameters.size(); }
    ParameterHandle At(std::size_t index) const {
        return index < parameters.size() ? &parameters[index] : nullptr;
    }
    // Exact matches; the first parameter declared wins when several carry one semantic.
    ParameterHandle GetParameterByName(std::string_view name) const;
    ParameterHandle GetParameterBySemantic(std::string_view semantic) const;

    // Each setter returns false and changes nothing for a null handle or a value the parameter cannot
    // take. A write of the bytes already stored changes nothing either, so the version moves only on
    // real changes.
    //
    // Copies bytes into the storage at offset, so ints and floats keep their bit patterns; the range
    // must lie inside the parameter (4 bytes for a scalar, 64 for a matrix). Not for textures.
    bool SetRawValue(ParameterHandle parameter, const void* data, std::size_t offset, std::size_t bytes);
    // float: stored; int: truncated toward zero (clamped to the int range); bool: non-zero is true.
    bool SetFloat(ParameterHandle parameter, float value);
    // float to float4: the first components of the vector.
    bool SetVector(ParameterHandle parameter, const math::Vector4f& value);
    // float4x4 only, the 64 bytes unchanged (row-major, row vectors).
    bool SetMatrix(ParameterHandle parameter, const math::Matrix4x4& value);
    bool SetTexture(ParameterHandle parameter, gpu::Texture* texture);

private:
    std::vector<EffectParameter> parameters;
};

} // namespace engine::gfx
