// Names that data files give for other files (textures, meshes, effect files) are taken as written,
// relative to a folder. These tests keep such names inside the folder they are resolved in, so that a
// hostile file cannot make the engine read anything outside the demo's data.
#pragma once

#include <string_view>

namespace engine::core {

// The demo's data folder, relative to the working folder; every name a file gives must lie inside it.
inline constexpr std::string_view kDataFolder = "data";

// Whether a name resolved from some folder stays inside it: it is not absolute, and no ".." climbs
// above the folder at any point of the name (even if later parts would come back down).
bool StaysInsideFolder(std::string_view name);

// Whether a path relative to the working folder lies inside the data folder, and never climbs out of
// it along the way.
bool LiesInDataFolder(std::string_view path);

} // namespace engine::core
