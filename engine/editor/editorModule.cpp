#include "editor/editorModule.h"

#include "capture/captureSession.h"
#include "core/kernel.h"
#include "core/logging.h"
#include "perf/benchmark.h"
#include <engine/app.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

namespace engine::editor {

namespace {

// Windows virtual-key numbers, as the input table holds them.
constexpr int kTab = 9;
constexpr int kShift = 16;
constexpr int kControl = 17;
constexpr int kSpace = 32;
constexpr int kPageUp = 33;
constexpr int kPageDown = 34;
constexpr int kHome = 36;
constexpr int kLeft = 37;
constexpr int kRight = 39;
constexpr int kKeyL = 'L';
constexpr int kMinus = 189;
constexpr int kEquals = 187;
constexpr int kKeypadMinus = 109;
constexpr int kKeypadPlus = 107;

constexpr std::array<double, 4> kSpeeds = {0.25, 0.5, 1.0, 2.0};
// A time this close to a boundary counts as on it, so that a second step goes a whole step further.
constexpr double kOnBoundary = 1e-6;
// Without a module to ask: the demo's own 125 BPM at speed 6.
constexpr double kFallbackRowSeconds = 0.12;

} // namespace

// m:ss.cc, as the overlay shows times.
std::string Clock(double seconds) {
    seconds = std::max(seconds, 0.0);
    const int minutes = static_cast<int>(seconds / 60.0);
    char text[32];
    std::snprintf(text, sizeof text, "%d:%05.2f", minutes, seconds - minutes * 60.0);
    return text;
}

EditorModule::EditorModule(EditorTimeline& timeline) : timeline(timeline) {
    name = L"Editor";
    priority = kPriority;
}

EditorModule::~EditorModule() = default;

bool EditorModule::Start() {
    // Nothing of the editor is drawn into a capture's or a benchmark's frames.
    if (!capture::Requested() && !perf::BenchmarkRequested())
        overlay = std::make_unique<Overlay>(*this);
    return true;
}

void EditorModule::Stop() {
    // While the window and its context are still there.
    overlay.reset();
}

void EditorModule::Update() {
    if (requested)
        std::exchange(requested, {})();
    ReadKeys();
}

void EditorModule::ReadKeys() {
    const bool shift = isHeld(kShift);
    const bool control = isHeld(kControl);
    if (isPressed(kSpace))
        TogglePause();
    const StepUnit unit = control ? StepUnit::Row : shift ? StepUnit::Bar : StepUnit::Beat;
    if (isPressed(kLeft))
        Step(unit, -1);
    if (isPressed(kRight))
        Step(unit, 1);
    if (isPressed(kPageUp))
        ToScene(timeline.SceneOnScreen() - 1);
    if (isPressed(kPageDown))
        ToScene(timeline.SceneOnScreen() + 1);
    for (int digit = 1; digit <= 9; ++digit)
        if (isPressed('0' + digit))
            ToScene(digit - 1);
    if (isPressed(kHome))
        ToSceneStart();
    if (isPressed(kKeyL))
        ToggleLoop();
    if (isPressed(kMinus) || isPressed(kKeypadMinus))
        ChangeSpeed(-1);
    if (isPressed(kEquals) || isPressed(kKeypadPlus))
        ChangeSpeed(1);
    if (isPressed(kTab) && overlay)
        overlay->Toggle();
}

void EditorModule::TogglePause() {
    PauseDemo(!DemoPaused());
    LOG_MESSAGE(std::string(DemoPaused() ? "Editor: paused at " : "Editor: playing from ") +
                Clock(GetTime()));
}

void EditorModule::Step(StepUnit unit, int direction) {
    const double time = GetTime();
    MusicPlace place;
    const bool known = GetMusicPlace(time, place);
    const double row = known ? place.rowSeconds : kFallbackRowSeconds;
    const double length = unit == StepUnit::Row    ? row
                          : unit == StepUnit::Beat ? row * place.rowsPerBeat
                                                   : row * place.rowsPerBar;
    const double steps = time / length;
    const double target = direction > 0 ? (std::floor(steps + kOnBoundary) + 1.0) * length
                                        : (std::ceil(steps - kOnBoundary) - 1.0) * length;
    SeekDemo(std::max(target, 0.0));
}

void EditorModule::ToScene(int index) {
    const std::vector<EditorScene> scenes = timeline.Scenes();
    if (index < 0 || index >= static_cast<int>(scenes.size()))
        return;
    SeekDemo(scenes[static_cast<std::size_t>(index)].start);
}

void EditorModule::ToSceneStart() {
    ToScene(std::max(timeline.SceneOnScreen(), 0));
}

void EditorModule::ToggleLoop() {
    timeline.SetSceneLoop(!timeline.SceneLoop());
    LOG_MESSAGE(timeline.SceneLoop() ? "Editor: looping the scene" : "Editor: playing on through the scenes");
}

void EditorModule::ChangeSpeed(int direction) {
    const double speed = DemoSpeed();
    const auto at = std::find(kSpeeds.begin(), kSpeeds.end(), speed);
    const auto index = at == kSpeeds.end() ? 2 : at - kSpeeds.begin();
    const auto next = std::clamp<std::ptrdiff_t>(index + direction, 0, kSpeeds.size() - 1);
    SetDemoSpeed(kSpeeds[static_cast<std::size_t>(next)]);
    char text[64];
    std::snprintf(text, sizeof text, "Editor: playing at %gx%s", DemoSpeed(),
                  DemoSpeed() != 1.0 ? ", silent" : "");
    LOG_MESSAGE(text);
}

} // namespace engine::editor

namespace engine {

namespace {

// The module of the present run; the kernel never owns modules.
std::unique_ptr<editor::EditorModule> editorModule;

} // namespace

void UseEditor(EditorTimeline& timeline) {
    core::Kernel* kernel = core::Kernel::Get();
    if (editorModule && kernel->GetModule(editor::EditorModule::kModuleId) == editorModule.get())
        LOG_ERROR("The editor is in use already");
    RestartParticles();
    auto module = std::make_unique<editor::EditorModule>(timeline);
    kernel->AddModule(module.get(), editor::EditorModule::kModuleId);
    editorModule = std::move(module);
}

void SeekDemo(double seconds) {
    LOG_MESSAGE("Editor: to " + editor::Clock(seconds));
    SetDemoTime(std::max(seconds, 0.0));
    // Where the clock landed: on fixed steps, the first step at or after the time asked.
    if (editorModule && core::Kernel::Get()->GetModule(editor::EditorModule::kModuleId) == editorModule.get())
        editorModule->Timeline().ShowSceneAt(GetTime());
}

} // namespace engine
