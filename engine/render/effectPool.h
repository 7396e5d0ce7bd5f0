// The effect pool: owns the three built-in effects (ambient, wireframe, diffuse, keyed by their
// shader types 1 to 3) and builds effects from material scripts, taking the first candidate the device
// supports. Creating it publishes the window's device and the renderer module to the shaders.
#pragma once

#include <engine/singleton.h>

#include <boost/shared_ptr.hpp>
#include <boost/weak_ptr.hpp>

#include <map>
#include <set>
#include <string>
#include <vector>

namespace engine::gfx {

class Effect;
struct EffectCandidate;

class EffectPool : public pattern::Singleton<EffectPool> {
public:
    // An effect the pool built from a script, remembered while anything holds it so that live editing
    // can rebuild it when the script or an effect file it names changes.
    struct BuiltEffect {
        std::string scriptPath;
        // Every effect file the script's candidates name, chosen or not: a candidate dropped because
        // its file did not compile comes back once the file is fixed.
        std::set<std::string> fxFiles;
        boost::weak_ptr<Effect> effect;
    };

    static constexpr int kAmbientKey = 1;
    static constexpr int kWireframeKey = 2;
    static constexpr int kDiffuseKey = 3;

    // Needs the window and the renderer module (id 10) to exist already.
    EffectPool();
    ~EffectPool() override;

    // The built-in effect under key; a key without one gives an empty pointer (and keeps an empty entry).
    boost::shared_ptr<Effect> GetBuiltin(int key);
    // The first supported candidate of the script, or built-in wireframe with a WARNING row when none
    // is. A script that cannot be read or run throws.
    boost::shared_ptr<Effect> BuildEffect(const std::string& scriptPath);
    // The same, but ERROR "Failed to generate an effect" (which throws) when no candidate is usable.
    boost::shared_ptr<Effect> BuildEffectStrict(const std::string& scriptPath);

    // The effects built from scripts that are still held somewhere, oldest first.
    std::vector<BuiltEffect> LiveBuiltEffects();
    // Builds the script's first supported candidate again into `effect`, in place, so that every
    // material holding the effect draws the new version. False, with the effect unchanged, when no
    // candidate is supported; a script that cannot be read or run throws and changes nothing either.
    bool Rebuild(Effect& effect, const std::string& scriptPath);

private:
    void RegisterBuiltin(int key, boost::shared_ptr<Effect> effect);
    // The first candidate, in priority order, whose passes all build and run; empty when none does.
    // fxFiles receives the effect files of all candidates.
    boost::shared_ptr<Effect> FirstSupported(const std::string& scriptPath, std::set<std::string>& fxFiles);
    boost::shared_ptr<Effect> BuildCandidate(const EffectCandidate& candidate);
    void Remember(const std::string& scriptPath, std::set<std::string> fxFiles,
                  const boost::shared_ptr<Effect>& effect);
    void ForgetReleased();

    std::map<int, boost::shared_ptr<Effect>> builtins;
    std::vector<BuiltEffect> built;
};

} // namespace engine::gfx
