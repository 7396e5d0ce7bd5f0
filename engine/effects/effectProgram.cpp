#include "effects/effectProgram.h"

#include "effects/stageSource.h"

namespace engine::gfx {

namespace {

gpu::ProgramSource MakeSource(const EffectSource& effect, const PassSource& pass) {
    gpu::ProgramSource source;
    source.vertex = BuildStageSource(effect, pass, ShaderStage::Vertex);
    source.fragment = BuildStageSource(effect, pass, ShaderStage::Fragment);
    for (const VertexInputBinding& input : pass.vertexInputs)
        source.attributes.push_back({input.name, static_cast<std::uint8_t>(input.input.usage),
                                     static_cast<std::uint8_t>(input.input.usageIndex)});
    return source;
}

} // namespace

std::string PassLabel(const TechniqueSource& technique, std::size_t passIndex) {
    const PassSource& pass = technique.passes[passIndex];
    return "pass " + (pass.name.empty() ? std::to_string(passIndex) : "'" + pass.name + "'") +
           " of technique '" + technique.name + "'";
}

void EffectProgram::ForgetUploads() {
    for (Upload& upload : uploaded)
        upload = {};
}

std::shared_ptr<EffectProgramCache> EffectProgramCache::ForDevice(gpu::Device* device) {
    // Weak entries: a device's cache goes with the last effect of that device, so a later device at
    // the same address starts with an empty one.
    static std::map<gpu::Device*, std::weak_ptr<EffectProgramCache>> caches;
    std::weak_ptr<EffectProgramCache>& entry = caches[device];
    std::shared_ptr<EffectProgramCache> cache = entry.lock();
    if (!cache) {
        cache = std::make_shared<EffectProgramCache>(device);
        entry = cache;
    }
    std::erase_if(caches, [](const auto& item) { return item.second.expired(); });
    return cache;
}

std::shared_ptr<EffectProgram> EffectProgramCache::Acquire(const EffectSource& effect,
                                                           const TechniqueSource& technique,
                                                           std::size_t passIndex,
                                                           std::vector<EffectDiagnostic>& diagnostics) {
    const PassSource& pass = technique.passes[passIndex];
    gpu::ProgramSource source = MakeSource(effect, pass);
    Entry& entry = entries[{effect.fileName, technique.name, passIndex}];
    if (entry.program && entry.vertex == source.vertex && entry.fragment == source.fragment)
        return entry.program;
    std::shared_ptr<EffectProgram> program =
        Build(effect, pass, source, PassLabel(technique, passIndex), diagnostics);
    if (program) {
        entry.vertex = std::move(source.vertex);
        entry.fragment = std::move(source.fragment);
        entry.program = program;
    }
    return program;
}

std::shared_ptr<EffectProgram> EffectProgramCache::Build(const EffectSource& effect, const PassSource& pass,
                                                         const gpu::ProgramSource& source,
                                                         const std::string& label,
                                                         std::vector<EffectDiagnostic>& diagnostics) {
    gpu::Program* raw = nullptr;
    std::string log;
    const gpu::Result result = device->CreateProgram(source, &raw, &log);
    ++compiles;
    if (gpu::Failed(result)) {
        std::vector<EffectDiagnostic> found = ParseCompilerLog(log, effect.fileName, pass.line);
        if (found.empty())
            found.push_back({effect.fileName, pass.line,
                             result == gpu::kDeviceLost ? label + " cannot be compiled: the device is lost"
                                                        : label + " does not compile on this device"});
        diagnostics.insert(diagnostics.end(), found.begin(), found.end());
        return nullptr;
    }
    auto program = gpu::Ref<gpu::Program>::Adopt(raw);

    std::vector<UniformBinding> uniforms;
    std::vector<SamplerBinding> samplers;
    for (std::size_t i = 0; i < effect.parameters.size(); ++i) {
        const ParameterSource& parameter = effect.parameters[i];
        const int uniform = program->FindUniform(parameter.name);
        if (uniform < 0) // not read by this pass: the compiler dropped it
            continue;
        if (parameter.type != ParameterType::Texture) {
            const bool integer =
                parameter.type == ParameterType::Int || parameter.type == ParameterType::Bool;
            uniforms.push_back({i, uniform, std::size_t(ParameterSize(parameter.type)) / 4, integer});
            continue;
        }
        // Stages past what the device offers are still given out: such a pass compiles, as a
        // Direct3D effect would, and fails validation instead (CompiledEffect::ValidateTechnique).
        const auto stage = static_cast<std::uint32_t>(samplers.size());
        // The sampler keeps its stage for the program's life; the texture is bound to the stage.
        const std::int32_t unit = static_cast<std::int32_t>(stage);
        program->SetInts(uniform, &unit, 1);
        samplers.push_back({i, stage});
    }
    return std::make_shared<EffectProgram>(std::move(program), std::move(uniforms), std::move(samplers));
}

} // namespace engine::gfx
