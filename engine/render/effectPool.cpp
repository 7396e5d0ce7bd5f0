#include "render/effectPool.h"

#include "core/kernel.h"
#include "core/logging.h"
#include "perf/zones.h"
#include "platform/window.h"
#include "render/FXShader.h"
#include "render/ambientShader.h"
#include "render/diffuseShader.h"
#include "render/effect.h"
#include "render/renderer.h"
#include "render/wireframeShader.h"
#include "script/materialScript.h"
#include <engine/exception.h>

#include <boost/make_shared.hpp>

#include <algorithm>

namespace engine::gfx {

namespace {

constexpr int kRendererModuleId = 10;
constexpr int kBuiltinRank = 100;

template <typename ShaderType>
boost::shared_ptr<Effect> MakeBuiltin(int key) {
    auto effect = boost::make_shared<Effect>();
    effect->AddShader(boost::make_shared<ShaderType>());
    effect->GetRanks()[key] = kBuiltinRank;
    return effect;
}

} // namespace

EffectPool::EffectPool() {
    SetShaderContext(core::CWin32Window::Get()->device,
                     dynamic_cast<Renderer*>(core::Kernel::Get()->GetModule(kRendererModuleId)));
    RegisterBuiltin(kAmbientKey, MakeBuiltin<AmbientShader>(kAmbientKey));
    RegisterBuiltin(kWireframeKey, MakeBuiltin<WireframeShader>(kWireframeKey));
    RegisterBuiltin(kDiffuseKey, MakeBuiltin<DiffuseShader>(kDiffuseKey));
}

EffectPool::~EffectPool() = default;

void EffectPool::RegisterBuiltin(int key, boost::shared_ptr<Effect> effect) {
    boost::shared_ptr<Effect>& entry = builtins[key];
    if (!entry || entry->GetRanks()[key] < effect->GetRanks()[key])
        entry = effect;
}

boost::shared_ptr<Effect> EffectPool::GetBuiltin(int key) {
    return builtins[key];
}

boost::shared_ptr<Effect> EffectPool::BuildEffect(const std::string& scriptPath) {
    std::set<std::string> fxFiles;
    if (boost::shared_ptr<Effect> effect = FirstSupported(scriptPath, fxFiles)) {
        Remember(scriptPath, std::move(fxFiles), effect);
        return effect;
    }
    LOG_WARNING("No effects supported in the list, falling back to wireframe");
    return GetBuiltin(kWireframeKey);
}

boost::shared_ptr<Effect> EffectPool::BuildEffectStrict(const std::string& scriptPath) {
    std::set<std::string> fxFiles;
    boost::shared_ptr<Effect> effect = FirstSupported(scriptPath, fxFiles);
    if (!effect)
        LOG_ERROR("Failed to generate an effect");
    Remember(scriptPath, std::move(fxFiles), effect);
    return effect;
}

std::vector<EffectPool::BuiltEffect> EffectPool::LiveBuiltEffects() {
    ForgetReleased();
    return built;
}

bool EffectPool::Rebuild(Effect& effect, const std::string& scriptPath) {
    std::set<std::string> fxFiles;
    boost::shared_ptr<Effect> fresh = FirstSupported(scriptPath, fxFiles);
    if (!fresh)
        return false;
    effect = std::move(*fresh);
    for (BuiltEffect& entry : built)
        if (entry.effect.lock().get() == &effect)
            entry.fxFiles = fxFiles;
    return true;
}

void EffectPool::Remember(const std::string& scriptPath, std::set<std::string> fxFiles,
                          const boost::shared_ptr<Effect>& effect) {
    ForgetReleased();
    built.push_back({scriptPath, std::move(fxFiles), effect});
}

void EffectPool::ForgetReleased() {
    std::erase_if(built, [](const BuiltEffect& entry) { return entry.effect.expired(); });
}

boost::shared_ptr<Effect> EffectPool::FirstSupported(const std::string& scriptPath,
                                                     std::set<std::string>& fxFiles) {
    perf::ScopedZone zone(perf::Zone::Scripts);
    std::vector<EffectCandidate> candidates = ParseMaterialScript(scriptPath);
    for (const EffectCandidate& candidate : candidates)
        for (const PassDescription& pass : candidate.passes)
            fxFiles.insert(pass.fxFile);
    std::stable_sort(
        candidates.begin(), candidates.end(),
        [](const EffectCandidate& a, const EffectCandidate& b) { return a.priority > b.priority; });
    for (const EffectCandidate& candidate : candidates) {
        boost::shared_ptr<Effect> effect = BuildCandidate(candidate);
        if (effect && effect->IsSupported()) {
            effect->Finalize();
            return effect;
        }
    }
    return {};
}

boost::shared_ptr<Effect> EffectPool::BuildCandidate(const EffectCandidate& candidate) {
    auto effect = boost::make_shared<Effect>();
    for (const PassDescription& pass : candidate.passes) {
        try {
            effect->AddShader(boost::make_shared<FXShader>("data/fx/" + pass.fxFile, pass));
        } catch (const core::Exception&) {
            // The pass's own ERROR row says why; this one says which candidate is dropped.
            LOG_WARNING("Effect data/fx/" + pass.fxFile + " Technique " + pass.technique + " failed");
            return {};
        }
    }
    return effect;
}

} // namespace engine::gfx
