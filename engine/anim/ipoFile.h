// The global curve player: the named curves of data/custom.ipo, loaded once, sampled at the absolute
// demo time on every pass of the main loop, each publishing its value under its name for the material
// scripts to bind shader parameters to.
#pragma once

#include "anim/animationTrack.h"

#include <engine/module.h>
#include <engine/singleton.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace engine::gfx {

class IPOFile : public core::Module, public pattern::Singleton<IPOFile> {
public:
    // Loads data/custom.ipo; a missing or broken file writes an ERROR row and throws.
    IPOFile();
    ~IPOFile() override;

    bool Start() override;
    // Sets every curve to the timer's time since start and publishes the values.
    void Update() override;
    void Stop() override;

    // The address of the named curve's published value, stable for the player's lifetime, or null when
    // no curve has that name. With two curves of one name, the later one.
    const float* Find(const std::string& curveName) const;

private:
    // Reserved for every curve before any is added, so the addresses in byName never move.
    std::vector<float> values;
    std::vector<std::unique_ptr<AnimationTrack>> tracks;
    std::map<std::string, float*> byName;
};

} // namespace engine::gfx
