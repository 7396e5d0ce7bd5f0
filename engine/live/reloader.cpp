#include "live/reloader.h"

#include "anim/ipoFile.h"
#include "audio/musicPlayer.h"
#include "core/kernel.h"
#include "core/logging.h"
#include "core/textConversion.h"
#include "core/timer.h"
#include "effects/compiledEffect.h"
#include "platform/window.h"
#include "render/effect.h"
#include "render/effectPool.h"
#include "render/renderer.h"
#include "resources/TVOMesh.h"
#include "resources/fxEffect.h"
#include "resources/resourceTypes.h"
#include "scene/demoLoader.h"
#include <engine/app.h>

#include <boost/make_shared.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

namespace engine::live {

namespace {

namespace fs = std::filesystem;
using core::ResourceManager;
using core::resources::FXEffect;
using core::resources::ManagedTexture;

constexpr int kRendererModuleId = 10;
constexpr double kFramesPerSecond = 25.0;
const char kCurveFile[] = "custom.ipo";

std::map<std::wstring, std::function<void(gfx::DemoLoader&)>>& Decorators() {
    static std::map<std::wstring, std::function<void(gfx::DemoLoader&)>> decorators;
    return decorators;
}

std::string Text(const core::Exception& error) {
    return core::WideToNarrow(error.GetText());
}

// Moves every animated node below `node` on by `frames`, as if the scene had been shown that long.
void FastForward(gfx::Spatial& node, float frames, std::set<const gfx::Spatial*>& seen) {
    if (!seen.insert(&node).second)
        return;
    if (auto* animated = dynamic_cast<gfx::AnimationNode*>(&node); animated && animated->GetController())
        animated->GetController()->Evaluate(frames);
    if (auto* camera = dynamic_cast<gfx::AnimationCamera*>(&node); camera && camera->GetController())
        camera->GetController()->Evaluate(frames);
    if (auto* group = dynamic_cast<gfx::Node*>(&node))
        for (const boost::shared_ptr<gfx::Spatial>& child : group->GetChildren())
            FastForward(*child, frames, seen);
}

bool OnScreen(const boost::shared_ptr<gfx::Spatial>& scene) {
    auto* renderer = dynamic_cast<gfx::Renderer*>(core::Kernel::Get()->GetModule(kRendererModuleId));
    if (renderer == nullptr || !scene)
        return false;
    const auto& shown = renderer->GetRootNode()->GetChildren();
    return std::find(shown.begin(), shown.end(), scene) != shown.end();
}

// One reload: the build's files sorted by kind, and the problems met on the way.
class ReloadPass {
public:
    ReloadPass(const std::vector<BuiltFile>& written, double sceneSeconds) : sceneSeconds(sceneSeconds) {
        for (const BuiltFile& file : written) {
            const std::string name = "data/" + file.path;
            const fs::path path(file.path);
            const std::string extension = path.extension().string();
            if (extension == ".fx") {
                effectFiles.push_back(name);
                verbatim[name] = file.source;
            } else if (extension == ".efx") {
                scripts.insert(name);
                verbatim[name] = file.source;
            } else if (extension == ".tvo") {
                meshes.push_back(name);
                // A mesh of a scene's folder: the scene is loaded again too, since array modifiers
                // copy their mesh when they are made.
                const std::string folder = path.parent_path().string();
                if (folder.ends_with(".demo_scene"))
                    scenes.insert("data/" + folder.substr(0, folder.size() - 6));
            } else if (extension == ".demo") {
                scenes.insert(name);
            } else if (file.path == kCurveFile) {
                curves = true;
            } else if (extension == ".xm") {
                music.push_back(name);
            } else {
                others.push_back(name);
            }
        }
    }

    std::vector<std::string> Run() {
        // Taken first: effects made while meshes load below are built from the new files already.
        const std::vector<gfx::EffectPool::BuiltEffect> built = gfx::EffectPool::Get()->LiveBuiltEffects();
        for (const std::string& name : effectFiles)
            ReloadEffectFile(name);
        for (const std::string& name : others)
            ReloadTexture(name);
        for (const std::string& name : meshes)
            ReloadMesh(name);
        RebuildEffects(built);
        if (curves)
            ReloadCurves();
        for (const std::string& name : scenes)
            for (gfx::DemoLoader* loader : gfx::LoadersOf(core::NarrowToWide(name)))
                ReloadScene(*loader, name);
        for (const std::string& name : music)
            ReloadMusic(name);
        return problems;
    }

private:
    // Names the content file where the data file is its word-for-word copy, so lines match.
    void Problem(std::string text) {
        for (const auto& [copy, source] : verbatim)
            for (std::size_t at = text.find(copy); at != std::string::npos; at = text.find(copy, at))
                if (!source.empty()) {
                    text.replace(at, copy.size(), source);
                    at += source.size();
                } else {
                    at += copy.size();
                }
        problems.push_back(std::move(text));
    }

    // Compiled without the resource's own rows, so a broken file costs only the problem; nobody
    // having asked for the file yet leaves nothing to replace.
    void ReloadEffectFile(const std::string& name) {
        const std::wstring wide = core::NarrowToWide(name);
        boost::shared_ptr<FXEffect> previous = ResourceManager::Get()->Find<FXEffect>(wide);
        if (!previous)
            return;
        gpu::Device* device = core::CWin32Window::Get()->device;
        gfx::CompiledEffect* compiled = nullptr;
        std::vector<gfx::EffectDiagnostic> diagnostics;
        if (device == nullptr || gpu::Failed(gfx::CompiledEffect::CreateFromFile(
                                     device, name, FXEffect::SharedPool(), &compiled, &diagnostics))) {
            for (const gfx::EffectDiagnostic& diagnostic : diagnostics)
                Problem(diagnostic.Text());
            if (diagnostics.empty())
                Problem(name + ": cannot be compiled without a graphics device");
            return;
        }
        if (previous->Retrieve() != nullptr)
            compiled->KeepValuesOf(*previous->Retrieve());
        // The shaders drawing with the previous resource keep it until their effects are rebuilt.
        ResourceManager::Get()->AddUnmanaged(wide, boost::make_shared<FXEffect>(wide, compiled));
        changedEffectFiles.insert(name.substr(std::string("data/fx/").size()));
        LOG_MESSAGE("Reloaded effect file " + name);
    }

    void ReloadTexture(const std::string& name) {
        const std::wstring wide = core::NarrowToWide(name);
        boost::shared_ptr<ManagedTexture> texture = ResourceManager::Get()->Find<ManagedTexture>(wide);
        if (!texture)
            return;
        ManagedTexture fresh(wide);
        try {
            fresh.Load();
        } catch (const core::Exception& error) {
            Problem(name + ": " + Text(error));
            return;
        }
        // `fresh` now holds the old texture: letting it go makes the effects forget it.
        texture->ExchangeWith(fresh);
        LOG_MESSAGE("Reloaded texture " + name);
    }

    void ReloadMesh(const std::string& name) {
        const std::wstring wide = core::NarrowToWide(name);
        boost::shared_ptr<gfx::TVOMesh> mesh = ResourceManager::Get()->Find<gfx::TVOMesh>(wide);
        if (!mesh)
            return;
        gfx::TVOMesh fresh(wide);
        try {
            fresh.Load();
        } catch (const core::Exception& error) {
            Problem(name + ": " + Text(error));
            return;
        }
        mesh->TakeOver(fresh);
        LOG_MESSAGE("Reloaded mesh " + name);
    }

    void RebuildEffects(const std::vector<gfx::EffectPool::BuiltEffect>& built) {
        std::set<const gfx::Effect*> rebuilt;
        for (const gfx::EffectPool::BuiltEffect& entry : built) {
            const bool namesChangedFile =
                std::any_of(entry.fxFiles.begin(), entry.fxFiles.end(),
                            [&](const std::string& file) { return changedEffectFiles.count(file) != 0; });
            if (scripts.count(entry.scriptPath) == 0 && !namesChangedFile)
                continue;
            // Effects of shaders dropped by an earlier rebuild (quad materials) are gone by now.
            boost::shared_ptr<gfx::Effect> effect = entry.effect.lock();
            if (!effect || !rebuilt.insert(effect.get()).second)
                continue;
            try {
                if (!gfx::EffectPool::Get()->Rebuild(*effect, entry.scriptPath))
                    Problem(entry.scriptPath + ": no candidate of the script is supported");
            } catch (const core::Exception& error) {
                Problem(entry.scriptPath + ": " + Text(error));
            }
        }
    }

    void ReloadCurves() {
        if (gfx::IPOFile::mInstance == nullptr)
            return;
        try {
            gfx::IPOFile::mInstance->Reload();
            LOG_MESSAGE("Reloaded the global curves");
        } catch (const core::Exception& error) {
            Problem(std::string("data/") + kCurveFile + ": " + Text(error));
        }
    }

    // Only the music playing is replaced; a module nobody plays is read when it is loaded.
    void ReloadMusic(const std::string& name) {
        if (audio::MusicReload(name))
            LOG_MESSAGE("Reloaded the music " + name);
    }

    void ReloadScene(gfx::DemoLoader& loader, const std::string& name) {
        const bool shown = OnScreen(loader.GetBaseNode());
        // Loading walks the camera's subtree once to fill its matrices, which moves its animated nodes
        // on by the time since the last pass.
        const double loadSeconds =
            core::Timer::mInstance != nullptr ? core::Timer::mInstance->SinceLast() : 0.0;
        try {
            loader.Load(core::NarrowToWide(name));
        } catch (const core::Exception& error) {
            Problem(name + ": " + Text(error));
            return;
        }
        if (const auto* decorate = SceneDecorator(loader.GetPath())) {
            try {
                (*decorate)(loader);
            } catch (const core::Exception& error) {
                Problem(name + ": decorating the scene: " + Text(error));
            }
        }
        if (shown) {
            std::set<const gfx::Spatial*> seen;
            if (const boost::shared_ptr<gfx::Spatial> camera = loader.GetCameraNode())
                FastForward(*camera, static_cast<float>((sceneSeconds - loadSeconds) * kFramesPerSecond),
                            seen);
            FastForward(*loader.GetBaseNode(), static_cast<float>(sceneSeconds * kFramesPerSecond), seen);
            SetRootNode(loader.GetBaseNode());
        }
        LOG_MESSAGE("Reloaded scene " + name);
    }

    double sceneSeconds;
    std::vector<std::string> effectFiles;
    std::set<std::string> scripts;
    std::vector<std::string> meshes;
    std::set<std::string> scenes;
    std::vector<std::string> others;
    std::vector<std::string> music;
    bool curves = false;
    // Data files that are copies of content files, line for line.
    std::map<std::string, std::string> verbatim;
    // Effect files ("glow.fx") whose new version is registered.
    std::set<std::string> changedEffectFiles;
    std::vector<std::string> problems;
};

} // namespace

std::vector<std::string> ReloadBuiltFiles(const std::vector<BuiltFile>& written, double sceneSeconds) {
    return ReloadPass(written, sceneSeconds).Run();
}

const std::function<void(gfx::DemoLoader&)>* SceneDecorator(const std::wstring& scenePath) {
    const auto found = Decorators().find(scenePath);
    return found != Decorators().end() ? &found->second : nullptr;
}

} // namespace engine::live

namespace engine {

void SetSceneDecorator(const std::wstring& scenePath, std::function<void(gfx::DemoLoader&)> decorate) {
    live::Decorators()[scenePath] = std::move(decorate);
}

} // namespace engine
