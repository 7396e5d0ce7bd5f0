#include "anim/animationController.h"

#include "core/timer.h"

#include <algorithm>

namespace engine::gfx {

namespace {
constexpr double kFramesPerSecond = 25.0;
} // namespace

void AnimationController::AddPipe(std::unique_ptr<AnimationPipe> pipe) {
    const int channel = pipe->channel;
    std::erase_if(pipes,
                  [channel](const std::unique_ptr<AnimationPipe>& p) { return p->channel == channel; });
    pipes.push_back(std::move(pipe));
    std::stable_sort(pipes.begin(), pipes.end(),
                     [](const auto& a, const auto& b) { return a->channel < b->channel; });
}

Transform AnimationController::Evaluate() {
    return Evaluate(static_cast<float>(core::Timer::Get()->SinceLast() * kFramesPerSecond));
}

Transform AnimationController::Evaluate(float deltaFrames) {
    Transform result;
    for (const std::unique_ptr<AnimationPipe>& pipe : pipes)
        pipe->Apply(deltaFrames, result);
    return result;
}

} // namespace engine::gfx
