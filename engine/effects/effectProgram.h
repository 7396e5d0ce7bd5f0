// The GL program of one pass of an effect file, with what the runtime needs to feed it: which
// parameters reach which uniforms, the texture stage of each sampler, and the values last handed to
// the program. Programs are compiled once per (file, technique, pass) on a device and shared by every
// effect loaded from that file, through the device's program cache.
#pragma once

#include "effects/effectDiagnostic.h"
#include "effects/effectSource.h"
#include "effects/parameterValue.h"
#include "gpu/device.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace engine::gfx {

// "pass 'Name' of technique 'T'" (or "pass 2 of ..." for an unnamed pass), for messages.
std::string PassLabel(const TechniqueSource& technique, std::size_t passIndex);

// A parameter that reaches an active uniform of the program.
struct UniformBinding {
    std::size_t parameter; // index into the effect's parameters
    int uniform;           // index into Program::Uniforms()
    std::size_t words;     // 4-byte words uploaded
    bool integer;          // int and bool parameters are set with SetInts
};

// A texture parameter read by the program, with the texture stage its sampler is set to.
struct SamplerBinding {
    std::size_t parameter;
    std::uint32_t stage;
};

class EffectProgram {
public:
    EffectProgram(gpu::Ref<gpu::Program> program, std::vector<UniformBinding> uniforms,
                  std::vector<SamplerBinding> samplers)
        : program(std::move(program)), uniforms(std::move(uniforms)), samplers(std::move(samplers)),
          uploaded(this->uniforms.size()) {}

    gpu::Program* Get() const { return program.Get(); }
    const std::vector<UniformBinding>& Uniforms() const { return uniforms; }
    const std::vector<SamplerBinding>& Samplers() const { return samplers; }

    // What the program holds for each uniform binding: the storage it came from and that storage's
    // version. Effects of one file share the program but not their storage, so both are compared.
    struct Upload {
        const ParameterValue* value = nullptr;
        std::uint64_t version = 0;
    };
    std::vector<Upload>& Uploaded() { return uploaded; }
    // Makes the next upload send every value again.
    void ForgetUploads();

private:
    gpu::Ref<gpu::Program> program;
    std::vector<UniformBinding> uniforms;
    std::vector<SamplerBinding> samplers;
    std::vector<Upload> uploaded;
};

// The programs of one device. Effects hold the cache of their device, so it lives while any of them
// does; effects are released before their device, as device objects are.
class EffectProgramCache {
public:
    explicit EffectProgramCache(gpu::Device* device) : device(device) {}

    // The cache of that device, made on first use.
    static std::shared_ptr<EffectProgramCache> ForDevice(gpu::Device* device);

    // The program of pass `passIndex` of `technique`, compiled on the first request. A later request
    // for the same file, technique and pass gets the same program unless the generated code differs
    // (the file changed between loads). On failure returns null and appends the compiler's messages,
    // mapped to lines of the effect file.
    std::shared_ptr<EffectProgram> Acquire(const EffectSource& effect, const TechniqueSource& technique,
                                           std::size_t passIndex, std::vector<EffectDiagnostic>& diagnostics);

    // Programs compiled so far by this cache.
    std::size_t CompileCount() const { return compiles; }

private:
    std::shared_ptr<EffectProgram> Build(const EffectSource& effect, const PassSource& pass,
                                         const gpu::ProgramSource& source, const std::string& label,
                                         std::vector<EffectDiagnostic>& diagnostics);

    struct Entry {
        std::string vertex, fragment;
        std::shared_ptr<EffectProgram> program;
    };
    gpu::Device* device;
    std::map<std::tuple<std::string, std::string, std::size_t>, Entry> entries;
    std::size_t compiles = 0;
};

} // namespace engine::gfx
