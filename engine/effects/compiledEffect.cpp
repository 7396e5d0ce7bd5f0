#include "effects/compiledEffect.h"

#include "effects/effectParser.h"
#include "perf/zones.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <set>

namespace engine::gfx {

namespace {

// Every effect alive. Never freed: effects held by static objects may outlive any static set.
std::set<CompiledEffect*>& LiveEffects() {
    static auto* effects = new std::set<CompiledEffect*>;
    return *effects;
}

gpu::Result Answer(bool ok) {
    return ok ? gpu::kOk : gpu::kInvalidCall;
}

std::uint32_t PackColor(const std::array<float, 4>& rgba) {
    auto channel = [](float value) {
        return static_cast<std::uint32_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
    };
    return channel(rgba[3]) << 24 | channel(rgba[0]) << 16 | channel(rgba[1]) << 8 | channel(rgba[2]);
}

// The pass's states carry the device's numbers, so they are handed on unchanged.
void ApplyRenderStates(gpu::Device& device, const RenderStates& s) {
    auto set = [&](gpu::RenderState state, const auto& value) {
        if (value)
            device.SetRenderState(state, static_cast<std::uint32_t>(*value));
    };
    set(gpu::RsAlphaBlendEnable, s.alphaBlendEnable);
    set(gpu::RsSrcBlend, s.srcBlend);
    set(gpu::RsDestBlend, s.destBlend);
    set(gpu::RsBlendOp, s.blendOp);
    set(gpu::RsZEnable, s.zEnable);
    set(gpu::RsZFunc, s.zFunc);
    set(gpu::RsZWriteEnable, s.zWriteEnable);
    set(gpu::RsCullMode, s.cullMode);
    set(gpu::RsFillMode, s.fillMode);
    set(gpu::RsColorWriteEnable, s.colorWriteEnable);
}

void ApplySamplerState(gpu::Device& device, std::uint32_t stage, const SamplerState& s) {
    device.SetSamplerState(stage, gpu::SampAddressU, static_cast<std::uint32_t>(s.addressU));
    device.SetSamplerState(stage, gpu::SampAddressV, static_cast<std::uint32_t>(s.addressV));
    device.SetSamplerState(stage, gpu::SampAddressW, static_cast<std::uint32_t>(s.addressW));
    device.SetSamplerState(stage, gpu::SampMinFilter, static_cast<std::uint32_t>(s.minFilter));
    device.SetSamplerState(stage, gpu::SampMagFilter, static_cast<std::uint32_t>(s.magFilter));
    device.SetSamplerState(stage, gpu::SampMipFilter, static_cast<std::uint32_t>(s.mipFilter));
    device.SetSamplerState(stage, gpu::SampMaxAnisotropy, static_cast<std::uint32_t>(s.maxAnisotropy));
    device.SetSamplerState(stage, gpu::SampBorderColor, PackColor(s.borderColor));
}

} // namespace

std::string DiagnosticsText(const std::vector<EffectDiagnostic>& diagnostics) {
    std::string text;
    for (const EffectDiagnostic& diagnostic : diagnostics)
        text += diagnostic.Text() + "\n";
    return text;
}

CompiledEffect::CompiledEffect(gpu::Device* device, EffectSource parsed, SharedParameterPool* pool)
    : device(device), cache(EffectProgramCache::ForDevice(device)), source(std::move(parsed)),
      table(source, pool) {
    LiveEffects().insert(this);
}

CompiledEffect::~CompiledEffect() {
    LiveEffects().erase(this);
}

void CompiledEffect::ForgetTexture(const gpu::Texture* texture) {
    for (CompiledEffect* effect : LiveEffects())
        for (std::size_t i = 0; i < effect->table.Count(); ++i)
            if (const ParameterHandle parameter = effect->table.At(i); parameter->Value().texture == texture)
                effect->table.SetTexture(parameter, nullptr);
}

gpu::Result CompiledEffect::CreateFromFile(gpu::Device* device, const std::string& path,
                                           SharedParameterPool* pool, CompiledEffect** effect,
                                           std::vector<EffectDiagnostic>* diagnostics) {
    perf::ScopedZone zone(perf::Zone::Effects);
    if (effect != nullptr)
        *effect = nullptr;
    EffectDiagnostic error;
    std::optional<EffectSource> parsed = ReadEffectFile(path, error);
    if (!parsed) {
        if (diagnostics != nullptr)
            diagnostics->push_back(error);
        return gpu::kFail;
    }
    return Create(device, std::move(*parsed), pool, effect, diagnostics);
}

gpu::Result CompiledEffect::Create(gpu::Device* device, std::string_view text, const std::string& fileName,
                                   SharedParameterPool* pool, CompiledEffect** effect,
                                   std::vector<EffectDiagnostic>* diagnostics) {
    perf::ScopedZone zone(perf::Zone::Effects);
    if (effect != nullptr)
        *effect = nullptr;
    EffectDiagnostic error;
    std::optional<EffectSource> parsed = ParseEffect(text, fileName, error);
    if (!parsed) {
        if (diagnostics != nullptr)
            diagnostics->push_back(error);
        return gpu::kFail;
    }
    return Create(device, std::move(*parsed), pool, effect, diagnostics);
}

gpu::Result CompiledEffect::Create(gpu::Device* device, EffectSource parsed, SharedParameterPool* pool,
                                   CompiledEffect** effect, std::vector<EffectDiagnostic>* diagnostics) {
    if (device == nullptr || effect == nullptr)
        return gpu::kInvalidCall;
    auto* created = new CompiledEffect(device, std::move(parsed), pool);
    std::vector<EffectDiagnostic> found;
    if (!created->Compile(found)) {
        created->Release();
        if (diagnostics != nullptr)
            diagnostics->insert(diagnostics->end(), found.begin(), found.end());
        return gpu::kFail;
    }
    *effect = created;
    return gpu::kOk;
}

// Every pass of every technique is compiled now, so that an error anywhere in the file's code is
// reported when it is loaded, as Direct3D effects report theirs.
bool CompiledEffect::Compile(std::vector<EffectDiagnostic>& diagnostics) {
    techniques.reserve(source.techniques.size());
    bool ok = true;
    for (const TechniqueSource& technique : source.techniques) {
        EffectTechnique& compiled = techniques.emplace_back(EffectTechnique{&technique, {}});
        for (std::size_t i = 0; i < technique.passes.size(); ++i) {
            std::shared_ptr<EffectProgram> program = cache->Acquire(source, technique, i, diagnostics);
            if (!program) {
                ok = false;
                continue;
            }
            EffectPass pass{&technique.passes[i], program, {}, {}};
            for (const UniformBinding& binding : program->Uniforms())
                pass.uniformValues.push_back(&table.At(binding.parameter)->Value());
            for (const SamplerBinding& binding : program->Samplers())
                pass.samplerParameters.push_back(table.At(binding.parameter));
            // Sized now, so that drawing a pass for the first time allocates nothing.
            boundTextures.reserve(std::max(boundTextures.capacity(), pass.samplerParameters.size()));
            compiled.passes.push_back(std::move(pass));
        }
    }
    current = techniques.empty() ? nullptr : &techniques.front();
    return ok;
}

void CompiledEffect::KeepValuesOf(const CompiledEffect& previous) {
    for (std::size_t i = 0; i < table.Count(); ++i) {
        const ParameterHandle parameter = table.At(i);
        if (parameter->IsShared() || parameter->Type() == ParameterType::Texture)
            continue;
        const ParameterHandle earlier = previous.GetParameterByName(parameter->Name());
        const auto declared =
            std::find_if(previous.source.parameters.begin(), previous.source.parameters.end(),
                         [&](const ParameterSource& p) { return p.name == parameter->Name(); });
        if (earlier == nullptr || declared == previous.source.parameters.end() ||
            earlier->Type() != parameter->Type() || earlier->IsShared())
            continue;
        const auto size = static_cast<std::size_t>(ParameterSize(parameter->Type()));
        const std::byte* value = earlier->Value().bytes.data();
        if (std::memcmp(value, declared->initialValue.data(), size) != 0)
            table.SetRawValue(parameter, value, 0, size);
    }
}

bool CompiledEffect::Owns(TechniqueHandle technique) const {
    return std::any_of(techniques.begin(), techniques.end(),
                       [&](const EffectTechnique& own) { return &own == technique; });
}

TechniqueHandle CompiledEffect::GetTechniqueByName(std::string_view name) const {
    for (const EffectTechnique& technique : techniques)
        if (technique.source->name == name)
            return &technique;
    return nullptr;
}

AnnotationHandle CompiledEffect::GetAnnotationByName(TechniqueHandle technique, std::string_view name) const {
    return Owns(technique) ? FindAnnotation(technique->source->annotations, name) : nullptr;
}

AnnotationHandle CompiledEffect::GetAnnotationByName(ParameterHandle parameter, std::string_view name) const {
    return parameter != nullptr ? FindAnnotation(parameter->Annotations(), name) : nullptr;
}

gpu::Result CompiledEffect::GetBool(AnnotationHandle annotation, bool& value) const {
    return Answer(gfx::GetBool(annotation, value));
}

gpu::Result CompiledEffect::GetString(AnnotationHandle annotation, std::string& value) const {
    return Answer(gfx::GetString(annotation, value));
}

gpu::Result CompiledEffect::SetRawValue(ParameterHandle parameter, const void* data, std::size_t offset,
                                        std::size_t bytes) {
    return Answer(table.SetRawValue(parameter, data, offset, bytes));
}

gpu::Result CompiledEffect::SetMatrix(ParameterHandle parameter, const math::Matrix4x4& matrix) {
    return Answer(table.SetMatrix(parameter, matrix));
}

gpu::Result CompiledEffect::SetFloat(ParameterHandle parameter, float value) {
    return Answer(table.SetFloat(parameter, value));
}

gpu::Result CompiledEffect::SetVector(ParameterHandle parameter, const math::Vector4f& value) {
    return Answer(table.SetVector(parameter, value));
}

gpu::Result CompiledEffect::SetTexture(ParameterHandle parameter, gpu::Texture* texture) {
    return Answer(table.SetTexture(parameter, texture));
}

gpu::Result CompiledEffect::SetTechnique(TechniqueHandle technique) {
    if (begun || !Owns(technique))
        return gpu::kInvalidCall;
    current = technique;
    return gpu::kOk;
}

gpu::Result CompiledEffect::ValidateTechnique(TechniqueHandle technique, std::string* reason) const {
    if (!Owns(technique))
        return gpu::kInvalidCall;
    // Asked every time, so the answer follows the device rather than the caps of the first call.
    gpu::Caps caps;
    if (gpu::Failed(device->GetDeviceCaps(caps))) {
        if (reason != nullptr)
            *reason = "the device reports no capabilities";
        return gpu::kFail;
    }
    for (std::size_t i = 0; i < technique->passes.size(); ++i) {
        const std::string problem = PassProblem(technique->passes[i], caps);
        if (!problem.empty()) {
            if (reason != nullptr)
                *reason = PassLabel(*technique->source, i) + " of " + source.fileName + " " + problem;
            return gpu::kFail;
        }
    }
    return gpu::kOk;
}

std::string CompiledEffect::PassProblem(const EffectPass& pass, const gpu::Caps& caps) {
    const std::size_t textures = pass.program->Samplers().size();
    if (textures > caps.maxSimultaneousTextures)
        return "reads " + std::to_string(textures) + " textures, the device offers " +
               std::to_string(caps.maxSimultaneousTextures);
    for (const VertexInputBinding& input : pass.source->vertexInputs)
        if (static_cast<std::uint32_t>(input.input.location) >= caps.maxVertexAttributes)
            return "reads " + input.name + " at attribute location " + std::to_string(input.input.location) +
                   ", the device offers " + std::to_string(caps.maxVertexAttributes) + " attributes";
    return {};
}

gpu::Result CompiledEffect::Begin(std::uint32_t* passes, std::uint32_t flags) {
    if (begun || current == nullptr)
        return gpu::kInvalidCall;
    begun = true;
    restoreAtEnd = (flags & kEffectDoNotSaveState) == 0;
    if (restoreAtEnd)
        device->CaptureState(saved);
    if (passes != nullptr)
        *passes = static_cast<std::uint32_t>(current->passes.size());
    return gpu::kOk;
}

gpu::Result CompiledEffect::BeginPass(std::uint32_t pass) {
    if (!begun || activePass != nullptr || pass >= current->passes.size())
        return gpu::kInvalidCall;
    activePass = &current->passes[pass];
    ApplyPass(*activePass);
    return gpu::kOk;
}

void CompiledEffect::ApplyPass(const EffectPass& pass) {
    device->SetProgram(pass.program->Get());
    ApplyRenderStates(*device, pass.source->states);
    const std::vector<SamplerBinding>& samplers = pass.program->Samplers();
    for (std::size_t i = 0; i < samplers.size(); ++i)
        ApplySamplerState(*device, samplers[i].stage, pass.samplerParameters[i]->Sampler());
    boundTextures.assign(samplers.size(), 0);
    BindTextures(pass, false);
    UploadUniforms(pass);
}

void CompiledEffect::UploadUniforms(const EffectPass& pass) {
    EffectProgram& program = *pass.program;
    gpu::Program* target = program.Get();
    const std::vector<UniformBinding>& bindings = program.Uniforms();
    std::vector<EffectProgram::Upload>& uploaded = program.Uploaded();
    for (std::size_t i = 0; i < bindings.size(); ++i) {
        const ParameterValue* value = pass.uniformValues[i];
        EffectProgram::Upload& last = uploaded[i];
        if (last.value == value && last.version == value->version)
            continue;
        last = {value, value->version};
        const UniformBinding& binding = bindings[i];
        if (binding.integer)
            target->SetInts(binding.uniform, reinterpret_cast<const std::int32_t*>(value->bytes.data()),
                            binding.words);
        else
            target->SetFloats(binding.uniform, reinterpret_cast<const float*>(value->bytes.data()),
                              binding.words);
    }
}

void CompiledEffect::BindTextures(const EffectPass& pass, bool onlyChanged) {
    const std::vector<SamplerBinding>& samplers = pass.program->Samplers();
    for (std::size_t i = 0; i < samplers.size(); ++i) {
        const ParameterValue& value = pass.samplerParameters[i]->Value();
        if (onlyChanged && boundTextures[i] == value.version)
            continue;
        boundTextures[i] = value.version;
        device->SetTexture(samplers[i].stage, value.texture);
    }
}

gpu::Result CompiledEffect::CommitChanges() {
    if (activePass == nullptr)
        return gpu::kInvalidCall;
    BindTextures(*activePass, true);
    UploadUniforms(*activePass);
    return gpu::kOk;
}

gpu::Result CompiledEffect::EndPass() {
    if (activePass == nullptr)
        return gpu::kInvalidCall;
    activePass = nullptr;
    return gpu::kOk;
}

gpu::Result CompiledEffect::End() {
    if (!begun)
        return gpu::kInvalidCall;
    activePass = nullptr;
    begun = false;
    if (restoreAtEnd) {
        device->ApplyState(saved);
        // The saved block holds references to textures and the program; let them go now.
        saved = gpu::StateBlock{};
    }
    return gpu::kOk;
}

gpu::Result CompiledEffect::OnLostDevice() {
    if (begun)
        End();
    return gpu::kOk;
}

gpu::Result CompiledEffect::OnResetDevice() {
    // The reset returned the device to its defaults; values uploaded before may not be trusted.
    for (const EffectTechnique& technique : techniques)
        for (const EffectPass& pass : technique.passes)
            pass.program->ForgetUploads();
    return gpu::kOk;
}

} // namespace engine::gfx
