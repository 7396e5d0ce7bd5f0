// The global curve player: the named curves of data/custom.ipo, loaded once, sampled at the absolute
// demo time on every pass of the main loop, each publishing its value under its name for the material
// scripts to bind shader parameters to.
#pragma once

#include "anim/animationTrack.h"
#include "anim/ipoReader.h"

#include <engine/module.h>
#include <engine/singleton.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <utility>
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

    // Reads data/custom.ipo again (live editing), keeping the time: the curves are sampled at once at
    // the timer's time. A name keeps its address; a curve no longer in the file keeps its last value.
    // A broken file writes an ERROR row and throws, and the curves stay as they were.
    void Reload();

private:
    void Install(const std::vector<IpoCurve>& curves);

    // A deque, so that the addresses in byName never move as names are added.
    std::deque<float> values;
    std::vector<std::unique_ptr<AnimationTrack>> tracks;
    // The value each track publishes to, parallel to tracks.
    std::vector<float*> targets;
    // Every curve has its own value, found again by its name and how many curves of that name came
    // before it in the file.
    std::map<std::pair<std::string, int>, float*> slots;
    std::map<std::string, float*> byName;
};

} // namespace engine::gfx
