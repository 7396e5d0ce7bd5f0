// Swaps what a build changed in data/ into the running engine, each kind the way its users hold it:
// textures and meshes in place under their names; an effect file compiled into a new resource (its
// parameters keeping their values) and every effect whose script names it built again; a material
// script's effects built again by the pool's candidate rules, in place, so every material holding them
// draws the new version; the global curves read again at the current time; a scene file loaded again
// by every loader showing it, decorated again by the program and, when it is on screen, put where its
// animation had got to; the music playing, when its module was made again, from the sample heard.
// Whatever fails leaves the previous version in use and comes back as a problem.
#pragma once

#include <engine/live.h>

#include <string>
#include <vector>

namespace engine::live {

// written: the files a build changed. sceneSeconds: how long the scene on screen has played. Returns
// one problem per failure, "file:line: message" where the file and line are known, naming the content
// file instead of its copy in data/ where the copy is word for word.
std::vector<std::string> ReloadBuiltFiles(const std::vector<BuiltFile>& written, double sceneSeconds);

// The decorator the program registered for a scene file, or null.
const std::function<void(gfx::DemoLoader&)>* SceneDecorator(const std::wstring& scenePath);

} // namespace engine::live
