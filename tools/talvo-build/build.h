// The build driver: compiles a whole content folder into the files of data/ in memory, then writes
// them. Nothing is written unless everything compiled, and each file goes to a temporary name first
// and is renamed into place, so a failed or interrupted build never leaves a half-written file. Files
// whose bytes are already there are not touched.
//
//   content/curves.lua          -> custom.ipo
//   content/fx/*.fx, *.efx      -> fx/ (effect files parsed, quad materials checked)
//   content/*.efx               -> the top of data/ (materials programs name, e.g. particle.efx)
//   content/textures/*.lua      -> <name>.png
//   content/meshes/*.lua        -> <name>.tvo (+ .tvo.efx)
//   content/scenes/<scene>.lua  -> <scene>.demo and <scene>.demo_scene/
//   content/music/<song>.score  -> <song>.xm
//
// Each of those files is a unit, compiled on its own into outputs of its own; the full build records
// what each unit read and checked in a dependency map (dependencyMap.h).
#pragma once

#include "dependencyMap.h"
#include "scene.h"

#include <filesystem>

namespace quorvel::build {

// The whole content folder; with a map, what each unit read is recorded in it.
Outputs CompileContent(const std::filesystem::path& contentRoot, DependencyMap* map = nullptr);

// The units of a content folder in the order a full build compiles them, the curve file first.
std::vector<ContentUnit> ContentUnits(const std::filesystem::path& contentRoot);

// The curve file: custom.ipo into outputs, the curve names into names, the libraries it used into reads.
void CompileCurves(const std::filesystem::path& file, Outputs& outputs, std::vector<std::string>& names,
                   std::vector<std::filesystem::path>& reads);

// Any other unit, into context.outputs; what it read besides its own file goes to context.reads.
void CompileUnit(const ContentUnit& unit, ContentContext& context);

// The record of a unit just compiled: reads, the outputs added after outputsBefore, the checks after
// checksBefore, and the files it named.
UnitRecord RecordUnit(const ContentUnit& unit, const std::filesystem::path& contentRoot,
                      const std::vector<std::filesystem::path>& reads, const Outputs& outputs,
                      std::size_t outputsBefore, const std::vector<ScriptCheck>& checks,
                      std::size_t checksBefore, NamedFiles named);

// Returns the paths inside the data folder of the files it wrote.
std::vector<std::string> WriteOutputs(const Outputs& outputs, const std::filesystem::path& dataDir);

// One Wavefront OBJ file as a .tvo mesh drawn with the built-in Diffuse effect.
void ConvertObj(const std::filesystem::path& in, const std::filesystem::path& out);

} // namespace quorvel::build
