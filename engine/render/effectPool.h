// The effect pool: owns the three built-in effects (ambient, wireframe, diffuse, keyed by their
// shader types 1 to 3) and builds effects from material scripts, taking the first candidate the device
// supports. Creating it publishes the window's device and the renderer module to the shaders.
#pragma once

#include <engine/singleton.h>

#include <boost/shared_ptr.hpp>

#include <map>
#include <string>

namespace engine::gfx {

class Effect;
struct EffectCandidate;

class EffectPool : public pattern::Singleton<EffectPool> {
public:
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

private:
    void RegisterBuiltin(int key, boost::shared_ptr<Effect> effect);
    // The first candidate, in priority order, whose passes all build and run; empty when none does.
    boost::shared_ptr<Effect> FirstSupported(const std::string& scriptPath);
    boost::shared_ptr<Effect> BuildCandidate(const EffectCandidate& candidate);

    std::map<int, boost::shared_ptr<Effect>> builtins;
};

} // namespace engine::gfx
