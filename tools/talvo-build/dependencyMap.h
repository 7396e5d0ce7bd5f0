// The dependency map a full build leaves behind: for every unit of the content (a file the build
// compiles on its own into outputs of its own) the content files its outputs are made from, the
// material scripts it checked and what those checks read. After a save, CompileChanges compiles only
// what the saved files reach, from the same functions a full build calls, so its outputs are byte for
// byte what a full build gives; whatever the map cannot decide is left to a full build.
#pragma once

#include "materials.h"
#include "scene.h"

#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace quorvel::build {

struct ContentUnit {
    enum class Kind { Curves, Effect, QuadMaterial, Material, Textures, Meshes, Scene, Music };
    Kind kind;
    std::filesystem::path file;
};

struct UnitRecord {
    ContentUnit unit;
    // Content files the unit's outputs are made from, its own file first among them, besides the files
    // it copies word for word (a mesh's material script); as paths inside the content folder.
    std::set<std::string> reads;
    // Every output the unit makes, and of those the copies of other content files, with the file.
    std::vector<std::string> outputs;
    std::map<std::string, std::filesystem::path> copies;
    NamedFiles named;
    std::vector<ScriptCheck> checks;
};

struct DependencyMap {
    std::filesystem::path root;
    std::vector<std::string> curveNames;
    // In the order a full build compiles them.
    std::vector<UnitRecord> units;
};

// A content file's path inside the content folder ("fx/glow.fx"), the map's key for it.
std::string ContentKey(const std::filesystem::path& root, const std::filesystem::path& file);

// Compiles what the changed files (paths under map.root) reach: the units that read them, the copies
// of them, and the checks that read them; `updated` receives the map with those units' new records.
// Returns the outputs of what it compiled, or nothing when a full build must decide: a unit's file or
// a file something read was added or removed, a folder changed, the curve names changed, or the
// partial build met a fault (the full build then reports it as it always does).
std::optional<Outputs> CompileChanges(const DependencyMap& map,
                                      const std::vector<std::filesystem::path>& changed,
                                      DependencyMap& updated);

} // namespace quorvel::build
