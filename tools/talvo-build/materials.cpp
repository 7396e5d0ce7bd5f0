#include "materials.h"

#include "core/logging.h"
#include "core/textConversion.h"
#include "effects/effectParser.h"
#include "script/materialScript.h"

#include <algorithm>
#include <cstdlib>
#include <unistd.h>

namespace quorvel::build {

namespace {

namespace fs = std::filesystem;
using engine::gfx::EffectCandidate;
using engine::gfx::ParameterBlock;

// Answers a script's requests without a device: textures and targets are noted, curves looked up.
class CheckingResources : public engine::gfx::MaterialScriptResources {
public:
    explicit CheckingResources(const std::set<std::string>& curves) : curves(curves) {}

    boost::shared_ptr<engine::core::Resource> LoadTexture(const std::wstring& path) override {
        textures.insert(engine::core::WideToNarrow(path));
        return {};
    }
    boost::shared_ptr<engine::core::Resource> GetRenderTarget(const std::wstring&) override { return {}; }
    const float* FindCurve(const std::string& name) override {
        static const float kValue = 0;
        if (curves.count(name) != 0)
            return &kValue;
        missingCurves.insert(name);
        return nullptr;
    }

    const std::set<std::string>& curves;
    std::set<std::string> textures;
    std::set<std::string> missingCurves;
};

std::vector<std::string> ParameterNames(const ParameterBlock& block) {
    std::vector<std::string> names;
    auto add = [&](const auto& list) {
        for (const auto& entry : list)
            names.push_back(entry.first);
    };
    add(block.float4Values);
    add(block.float3Values);
    add(block.float2Values);
    add(block.scalarValues);
    add(block.curveValues);
    add(block.boolValues);
    add(block.textureValues);
    add(block.slotValues);
    return names;
}

const char* const kStreamNames[] = {"pos", "normal", "tex", "tbn"};

} // namespace

MaterialCheck::MaterialCheck(fs::path fxFolder, std::set<std::string> curves)
    : fxFolder(std::move(fxFolder)), curves(std::move(curves)) {
    SilenceEngineLog();
}

void MaterialCheck::CheckEffectFile(const fs::path& file) {
    engine::gfx::EffectDiagnostic error;
    auto source = engine::gfx::ReadEffectFile(file.string(), error);
    if (!source)
        throw BuildError(error.Text());
    effects[file.filename().string()] = std::make_unique<engine::gfx::EffectSource>(std::move(*source));
}

const engine::gfx::EffectSource& MaterialCheck::Effect(const std::string& fxFile, const std::string& where) {
    auto found = effects.find(fxFile);
    if (found != effects.end())
        return *found->second;
    const fs::path file = fxFolder / fxFile;
    if (fxFile.find('/') != std::string::npos || !fs::is_regular_file(file))
        throw BuildError(where + " names the effect file data/fx/" + fxFile +
                         ", which is not made: " + file.string() + " does not exist");
    CheckEffectFile(file);
    return *effects.at(fxFile);
}

void MaterialCheck::CheckMaterialScript(const fs::path& script,
                                        const std::optional<std::set<int>>& meshStreams) {
    const std::string name = script.string();
    CheckingResources resources(curves);
    std::vector<EffectCandidate> candidates;
    try {
        candidates = engine::gfx::ParseMaterialScript(name, resources);
    } catch (const engine::core::Exception& error) {
        const std::string text = engine::core::WideToNarrow(error.GetText());
        throw BuildError(text.find(name) != std::string::npos ? text : name + ": " + text);
    }
    if (!resources.missingCurves.empty())
        throw BuildError(name + ": binds the curve \"" + *resources.missingCurves.begin() +
                         "\", which the curve file does not make");
    for (const std::string& texture : resources.textures)
        texturesNamed.emplace(texture, name);
    ScriptCheck check{script, meshStreams, {script}, resources.textures};
    for (const EffectCandidate& candidate : candidates)
        for (std::size_t i = 0; i < candidate.passes.size(); ++i)
            CheckPass(name + ": pass " + std::to_string(i + 1) + " of the candidate of priority " +
                          std::to_string(candidate.priority),
                      candidate.passes[i], meshStreams, check);
    checks.push_back(std::move(check));
}

void MaterialCheck::CheckPass(const std::string& where, const engine::gfx::PassDescription& pass,
                              const std::optional<std::set<int>>& meshStreams, ScriptCheck& check) {
    check.reads.insert(fxFolder / pass.fxFile);
    const engine::gfx::EffectSource& effect = Effect(pass.fxFile, where);
    const engine::gfx::TechniqueSource* technique = effect.FindTechnique(pass.technique);
    if (technique == nullptr)
        throw BuildError(where + " names the technique \"" + pass.technique + "\", which data/fx/" +
                         pass.fxFile + " does not have");
    for (const std::string& parameter : ParameterNames(pass.params))
        if (std::none_of(effect.parameters.begin(), effect.parameters.end(),
                         [&](const auto& declared) { return declared.name == parameter; }))
            throw BuildError(where + " sets the parameter \"" + parameter + "\", which data/fx/" +
                             pass.fxFile + " does not have");

    bool quad = false;
    engine::gfx::GetBool(engine::gfx::FindAnnotation(technique->annotations, "quad"), quad);
    std::string material;
    if (quad &&
        !engine::gfx::GetString(engine::gfx::FindAnnotation(technique->annotations, "material"), material))
        throw BuildError(where + ": the technique \"" + pass.technique +
                         "\" draws a full-screen quad but names no material for it");
    if (quad && !fs::is_regular_file(fxFolder / (material + ".efx")))
        throw BuildError(where + ": the technique \"" + pass.technique +
                         "\" draws a full-screen quad with the "
                         "material data/fx/" +
                         material + ".efx, which is not made");

    if (meshStreams)
        for (int stream : pass.streams)
            if (stream < 3 && meshStreams->count(stream) == 0)
                throw BuildError(where + " needs the stream \"" + kStreamNames[stream] +
                                 "\", which the mesh does not have");
}

void SilenceEngineLog() {
    if (engine::core::Logging::mInstance != nullptr)
        return;
    char pattern[] = "/tmp/talvo-build-XXXXXX";
    const char* empty = mkdtemp(pattern);
    if (empty == nullptr)
        throw BuildError("cannot make a temporary folder for the engine's log");
    const fs::path previous = fs::current_path();
    fs::current_path(empty);
    engine::core::Logging::Get();
    fs::current_path(previous);
    fs::remove(empty);
}

} // namespace quorvel::build
