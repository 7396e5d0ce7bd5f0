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
#pragma once

#include "scene.h"

#include <filesystem>

namespace quorvel::build {

Outputs CompileContent(const std::filesystem::path& contentRoot);

// Returns the paths inside the data folder of the files it wrote.
std::vector<std::string> WriteOutputs(const Outputs& outputs, const std::filesystem::path& dataDir);

// One Wavefront OBJ file as a .tvo mesh drawn with the built-in Diffuse effect.
void ConvertObj(const std::filesystem::path& in, const std::filesystem::path& out);

} // namespace quorvel::build
