// Builds one animated node's local transform each frame from scratch, by running its pipes in channel
// order on an identity transform, with the frame time converted to frames at 25 per second.
#pragma once

#include "anim/animationPipe.h"
#include "scene/transform.h"

#include <memory>
#include <vector>

namespace engine::gfx {

class AnimationController {
public:
    // A pipe on a channel that already has one replaces it, and the replaced pipe and its track are
    // deleted. The pipes stay in ascending channel order, equal channels never occurring.
    void AddPipe(std::unique_ptr<AnimationPipe> pipe);

    // Steps every pipe by the timer's time since the last pass.
    Transform Evaluate();
    // Steps every pipe by deltaFrames, which a time pipe may rewrite for the pipes after it.
    Transform Evaluate(float deltaFrames);

    const std::vector<std::unique_ptr<AnimationPipe>>& GetPipes() const { return pipes; }

private:
    std::vector<std::unique_ptr<AnimationPipe>> pipes;
};

} // namespace engine::gfx
