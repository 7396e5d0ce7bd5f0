// A compiled effect file on the device: the engine's stand-in for a Direct3D effect object. It finds
// techniques, parameters and annotations, holds the parameter values, and draws a technique pass by
// pass, applying each pass's render states, program and textures and restoring the device state when
// the technique ends. Built on the parser (effectParser.h), the parameter table and the program cache.
#pragma once

#include "effects/effectDiagnostic.h"
#include "effects/effectProgram.h"
#include "effects/parameterTable.h"
#include "effects/sharedParameterPool.h"
#include "gpu/device.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace engine::gfx {

// One pass as the runtime draws it: its program and, parallel to the program's bindings, this
// effect's storage for each uniform and its parameter for each sampler.
struct EffectPass {
    const PassSource* source;
    std::shared_ptr<EffectProgram> program;
    std::vector<const ParameterValue*> uniformValues;
    std::vector<ParameterHandle> samplerParameters;
};

// Callers hold techniques only through TechniqueHandle.
struct EffectTechnique {
    const TechniqueSource* source;
    std::vector<EffectPass> passes;
};

// Valid for the life of the effect that gave it out; null means "no such technique".
using TechniqueHandle = const EffectTechnique*;
using AnnotationHandle = const Annotation*;

// Begin flag: leave the device state as the technique's passes set it instead of restoring it at End.
inline constexpr std::uint32_t kEffectDoNotSaveState = 1;

class CompiledEffect final : public gpu::Object {
public:
    // Reads, parses and compiles every pass of the file. Shared parameters take their storage from
    // `pool` (none: each parameter is the effect's own). On failure returns kFail with *effect null and
    // every problem in `diagnostics` ("file:line: message"): a file that cannot be read, the first
    // header error, or the compiler's messages of each pass that does not compile.
    static gpu::Result CreateFromFile(gpu::Device* device, const std::string& path, SharedParameterPool* pool,
                                      CompiledEffect** effect, std::vector<EffectDiagnostic>* diagnostics);
    // The same from text already in memory; fileName names it in diagnostics and in the program cache.
    static gpu::Result Create(gpu::Device* device, std::string_view text, const std::string& fileName,
                              SharedParameterPool* pool, CompiledEffect** effect,
                              std::vector<EffectDiagnostic>* diagnostics);

    const std::string& FileName() const { return source.fileName; }

    // Takes over the values of an earlier compile of the same file, which live editing replaces: a
    // parameter of the same name and type keeps the value it was set to there. One that still held
    // its initial value takes this file's, so an edited initial value shows. Textures are left out
    // (shaders set them at every draw) and shared parameters keep their one storage anyway.
    void KeepValuesOf(const CompiledEffect& previous);
    // Takes a texture that is going away out of the parameters of every effect alive, so that no pass
    // binds it again. Textures outlive the effects using them, except where live editing replaces
    // the texture of a changed file.
    static void ForgetTexture(const gpu::Texture* texture);

    // Look-ups, all exact. A parameter name is looked up among the effect's top-level parameters.
    TechniqueHandle GetTechniqueByName(std::string_view name) const;
    ParameterHandle GetParameterByName(std::string_view name) const { return table.GetParameterByName(name); }
    ParameterHandle GetParameterBySemantic(std::string_view semantic) const {
        return table.GetParameterBySemantic(semantic);
    }
    AnnotationHandle GetAnnotationByName(TechniqueHandle technique, std::string_view name) const;
    AnnotationHandle GetAnnotationByName(ParameterHandle parameter, std::string_view name) const;
    // GetBool reads bool, int and float annotations (non-zero is true), GetString strings; another
    // type or a null handle gives kInvalidCall and leaves value alone.
    gpu::Result GetBool(AnnotationHandle annotation, bool& value) const;
    gpu::Result GetString(AnnotationHandle annotation, std::string& value) const;

    // Setters write the parameter's storage; inside a pass the change reaches the program at
    // CommitChanges, otherwise at the next BeginPass. A null handle, or a value the parameter cannot
    // take, gives kInvalidCall and changes nothing.
    gpu::Result SetRawValue(ParameterHandle parameter, const void* data, std::size_t offset,
                            std::size_t bytes);
    gpu::Result SetMatrix(ParameterHandle parameter, const math::Matrix4x4& matrix);
    gpu::Result SetFloat(ParameterHandle parameter, float value);
    gpu::Result SetVector(ParameterHandle parameter, const math::Vector4f& value);
    // The texture is not referenced: textures are resources that outlive the effects using them.
    gpu::Result SetTexture(ParameterHandle parameter, gpu::Texture* texture);

    // The technique Begin draws; the first one of the file until another is set. Not while begun.
    gpu::Result SetTechnique(TechniqueHandle technique);
    TechniqueHandle GetCurrentTechnique() const { return current; }
    // kOk when the technique belongs to this effect (kInvalidCall otherwise) and every pass fits the
    // limits the device reports in its caps: no more textures than maxSimultaneousTextures, no vertex
    // input at an attribute location of maxVertexAttributes or above. Every pass compiled and linked
    // already, or the effect would not exist. On kFail `reason` (if given) says which pass and limit.
    gpu::Result ValidateTechnique(TechniqueHandle technique, std::string* reason = nullptr) const;

    // Begin saves the device state (unless kEffectDoNotSaveState) and gives the number of passes;
    // End restores the state. Between them each pass is drawn inside BeginPass/EndPass. Calls out of
    // this order give kInvalidCall and change nothing.
    gpu::Result Begin(std::uint32_t* passes, std::uint32_t flags);
    gpu::Result BeginPass(std::uint32_t pass);
    // Uploads to the pass's program the values changed since they were last uploaded.
    gpu::Result CommitChanges();
    gpu::Result EndPass();
    gpu::Result End();

    // A lost device ends a technique still begun; after the reset every value is uploaded again.
    gpu::Result OnLostDevice();
    gpu::Result OnResetDevice();

private:
    CompiledEffect(gpu::Device* device, EffectSource parsed, SharedParameterPool* pool);
    static gpu::Result Create(gpu::Device* device, EffectSource parsed, SharedParameterPool* pool,
                              CompiledEffect** effect, std::vector<EffectDiagnostic>* diagnostics);
    ~CompiledEffect() override;

    bool Compile(std::vector<EffectDiagnostic>& diagnostics);
    bool Owns(TechniqueHandle technique) const;
    // What keeps the pass from running on a device with these caps, or nothing.
    static std::string PassProblem(const EffectPass& pass, const gpu::Caps& caps);
    void ApplyPass(const EffectPass& pass);
    void UploadUniforms(const EffectPass& pass);
    void BindTextures(const EffectPass& pass, bool onlyChanged);

    gpu::Device* device;
    std::shared_ptr<EffectProgramCache> cache;
    const EffectSource source;
    ParameterTable table;
    std::vector<EffectTechnique> techniques;
    TechniqueHandle current = nullptr;

    bool begun = false;
    bool restoreAtEnd = false;
    const EffectPass* activePass = nullptr;
    gpu::StateBlock saved;
    // Versions of the textures bound for the active pass, parallel to its samplers.
    std::vector<std::uint64_t> boundTextures;
};

// The diagnostics as text, one "file:line: message" per line.
std::string DiagnosticsText(const std::vector<EffectDiagnostic>& diagnostics);

} // namespace engine::gfx
