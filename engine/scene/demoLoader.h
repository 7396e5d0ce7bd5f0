// The scene loader inside the engine: the exported DemoLoader together with the scene-graph types its
// nodes are made of, so engine code and tests can walk what it built.
#pragma once

#include "anim/animationCamera.h"
#include "anim/animationNode.h"
#include <engine/scene.h>

#include <engine/demoLoader.h>

#include <string>
#include <vector>

namespace engine::gfx {

// Every loader alive whose scene came from that file, so that live editing can load it again.
std::vector<DemoLoader*> LoadersOf(const std::wstring& path);

} // namespace engine::gfx
