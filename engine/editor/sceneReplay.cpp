// Rebuilding a scene for a seek: the particles' sequence as a capture has it at a scene's start, and
// the scene on screen walked on without drawing, in the steps a capture takes.
#include "capture/unattendedRun.h"
#include "core/kernel.h"
#include "core/timer.h"
#include "live/liveEditing.h"
#include "particles/particleEngine.h"
#include "perf/zones.h"
#include "render/renderer.h"
#include "scene/demoLoader.h"
#include <engine/editor.h>
#include <engine/scene.h>

#include <algorithm>
#include <cmath>

namespace engine {

namespace {

constexpr int kRendererModuleId = 10;
// A capture's frames per second unless it is told otherwise.
constexpr int kCaptureDefaultSteps = 60;
// A time this close to a step is on it: sums of frame lengths carry rounding.
constexpr double kStepTolerance = 1e-6;

// Restores the time since the last pass that the replay's walks pretend to.
class PretendedStep {
public:
    PretendedStep() : timer(core::Timer::Get()), saved(timer->SinceLast()) {}
    ~PretendedStep() { timer->SetSinceLast(saved); }
    PretendedStep(const PretendedStep&) = delete;
    PretendedStep& operator=(const PretendedStep&) = delete;
    void Set(double seconds) { timer->SetSinceLast(seconds); }

private:
    core::Timer* timer;
    double saved;
};

} // namespace

int ReplayStepsPerSecond() {
    const int fixed = core::Timer::Get()->StepsPerSecond();
    return fixed > 0 ? fixed : kCaptureDefaultSteps;
}

void RestartParticles() {
    capture::UseUnattendedParticles();
}

void SkipSceneEmissions(gfx::Spatial& scene, int steps) {
    gfx::SkipEmissions(scene, steps, static_cast<float>(1.0 / ReplayStepsPerSecond()));
}

void LoadSceneAgain(gfx::DemoLoader& scene) {
    // Loading walks the camera once, which moves its animation by the time since the last pass.
    PretendedStep pretended;
    pretended.Set(0.0);
    const std::wstring path = scene.GetPath();
    scene.Load(path);
}

void ReplaySceneOnScreen(double seconds) {
    auto* renderer = dynamic_cast<gfx::Renderer*>(core::Kernel::Get()->GetModule(kRendererModuleId));
    if (renderer == nullptr || !renderer->GetRootNode())
        return;
    live::NoteSceneShownSince(core::Timer::Get()->Time() - std::max(seconds, 0.0));
    if (!(seconds > 0.0))
        return;
    perf::ScopedZone zone(perf::Zone::SceneWalk);
    const int stepsPerSecond = ReplayStepsPerSecond();
    const double step = 1.0 / stepsPerSecond;
    const auto whole = static_cast<long long>(std::floor(seconds * stepsPerSecond + kStepTolerance));
    const double rest = seconds - static_cast<double>(whole) * step;
    PretendedStep pretended;
    // With no renderer the walk moves animations and particles and submits nothing.
    pretended.Set(step);
    for (long long walk = 0; walk < whole; ++walk)
        renderer->GetRootNode()->Update(nullptr);
    if (rest > kStepTolerance * step) {
        pretended.Set(rest);
        renderer->GetRootNode()->Update(nullptr);
    }
}

} // namespace engine
