// Reads a .demo scene file into plain records: the header, then every object with its names, parent,
// rest pose and keyframe curves, each field bounds-checked. The scene loader builds nodes, pipes and
// resources from the result; the reader itself needs no device or scene graph.
#pragma once

#include "anim/channelTable.h"
#include "anim/ipoReader.h"

#include <engine/math.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace engine::gfx {

// One keyframe curve of an object: the pipe channel it drives, and its keys in the record of the
// global curve file (named after the channel, words already mapped), so CreateTrack builds its track.
struct DemoCurve {
    const Channel* channel;
    IpoCurve track;
};

struct DemoObject {
    std::string type; // "Mesh", "Lamp", "Camera"; any other word is a plain group
    std::string name;
    std::string meshName;   // base name of the mesh file, for "Mesh", inside the scene's folder
    std::string parentName; // empty: no parent
    math::Vector3f position;
    math::Vector3f rotation; // radians, as stored
    std::vector<DemoCurve> curves;
};

struct DemoData {
    int length = 0; // scene length in frames, 25 per second
    std::vector<DemoObject> objects;
};

// Reads the scene file at path. Every failure writes an ERROR row and throws.
DemoData ReadDemoFile(const std::wstring& path);
// The same on bytes already in memory; name is the file name the errors carry.
DemoData ParseDemo(std::span<const std::uint8_t> bytes, const std::string& name);

} // namespace engine::gfx
