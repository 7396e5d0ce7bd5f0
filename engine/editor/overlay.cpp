#include "editor/overlay.h"

#include "core/input.h"
#include "core/kernel.h"
#include "core/logging.h"
#include "core/timer.h"
#include "editor/editorModule.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "render/renderer.h"
#include <engine/app.h>
#include <engine/live.h>

#include <imgui.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace engine::editor {

namespace {

constexpr int kRendererModuleId = 10;
constexpr float kStripHeight = 44.0f;
constexpr float kMargin = 8.0f;
// How much of each new frame time the shown average takes in.
constexpr double kFrameTimeSmoothing = 0.1;
const ImVec4 kProblemColour(1.0f, 0.35f, 0.3f, 1.0f);
const ImVec4 kGoodColour(0.45f, 0.9f, 0.45f, 1.0f);
const ImU32 kSceneColours[2] = {IM_COL32(52, 64, 92, 220), IM_COL32(40, 50, 72, 220)};
const ImU32 kSceneOnScreenColour = IM_COL32(92, 112, 160, 230);
const ImU32 kPlayHeadColour = IM_COL32(255, 220, 90, 255);

gfx::Renderer* FindRenderer() {
    return dynamic_cast<gfx::Renderer*>(core::Kernel::Get()->GetModule(kRendererModuleId));
}

} // namespace

Overlay::Overlay(EditorModule& editor) : editor(editor) {
    context = ImGui::CreateContext();
    ImGui::SetCurrentContext(context);
    ImGuiIO& io = ImGui::GetIO();
    // Nothing of the overlay is written to disk.
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    ImGui::StyleColorsDark();
    ImGui::GetStyle().WindowRounding = 4.0f;
    backend = std::make_unique<gpu::GlOverlay>();
    ready = backend->Initialise();
    if (!ready) {
        LOG_WARNING("The editor's overlay cannot be drawn: Dear ImGui's OpenGL back end did not start");
        return;
    }
    if (gfx::Renderer* renderer = FindRenderer())
        renderer->SetOverlay([this] { Draw(); });
}

Overlay::~Overlay() {
    if (gfx::Renderer* renderer = FindRenderer())
        renderer->SetOverlay({});
    ImGui::SetCurrentContext(context);
    // The back end lets go of its program and font texture before the ImGui context goes.
    backend.reset();
    ImGui::DestroyContext(context);
}

void Overlay::FeedInput() {
    ImGuiIO& io = ImGui::GetIO();
    const core::CWin32Window* window = core::CWin32Window::Get();
    io.DisplaySize =
        ImVec2(static_cast<float>(window->settings.width), static_cast<float>(window->settings.height));
    io.DeltaTime = static_cast<float>(std::max(frameSeconds, 1e-4));
    const core::Input* input = core::Input::Get();
    io.MousePos = ImVec2(static_cast<float>(input->mouseX), static_cast<float>(input->mouseY));
    io.MouseDown[0] = input->buttons[core::Input::Left] != 0;
}

void Overlay::Draw() {
    platform::Clock& clock = platform::SystemClock();
    const std::uint64_t counter = clock.Counter();
    if (lastCounter != 0) {
        const double seconds =
            static_cast<double>(counter - lastCounter) / static_cast<double>(clock.Frequency());
        frameSeconds =
            frameSeconds == 0.0 ? seconds : frameSeconds + (seconds - frameSeconds) * kFrameTimeSmoothing;
    }
    lastCounter = counter;
    if (!visible || !ready)
        return;
    ImGui::SetCurrentContext(context);
    FeedInput();
    backend->BeginFrame();
    ImGui::NewFrame();
    // Asked once a frame: both panels show the same scenes.
    const std::vector<EditorScene> scenes = editor.Timeline().Scenes();
    ShowStatus(scenes);
    ShowTimeline(scenes);
    ImGui::Render();
    backend->Draw(ImGui::GetDrawData());
}

void Overlay::ShowStatus(const std::vector<EditorScene>& scenes) {
    EditorTimeline& timeline = editor.Timeline();
    const int shown = timeline.SceneOnScreen();
    const double time = GetTime();

    ImGui::SetNextWindowPos(ImVec2(kMargin, kMargin), ImGuiCond_Always);
    ImGui::SetNextWindowBgAlpha(0.72f);
    const ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_AlwaysAutoResize |
                                   ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoFocusOnAppearing |
                                   ImGuiWindowFlags_NoNav;
    ImGui::Begin("Editor", nullptr, flags);
    if (shown >= 0 && shown < static_cast<int>(scenes.size())) {
        const EditorScene& scene = scenes[static_cast<std::size_t>(shown)];
        ImGui::Text("Scene %d/%zu  %s", shown + 1, scenes.size(), scene.name.c_str());
        ImGui::Text("Demo %s   scene %s", Clock(time).c_str(), Clock(time - scene.start).c_str());
    } else {
        ImGui::Text("No scene on screen");
        ImGui::Text("Demo %s", Clock(time).c_str());
    }
    MusicPlace place;
    if (GetMusicPlace(time, place)) {
        // Bars and beats are counted within the pattern, as a tracker's highlighted rows show them.
        const int bar = place.row / place.rowsPerBar + 1;
        const int beat = place.row % place.rowsPerBar / place.rowsPerBeat + 1;
        ImGui::Text("Music order %d  pattern %d  row %d  bar %d beat %d", place.order, place.pattern,
                    place.row, bar, beat);
    }
    if (frameSeconds > 0.0)
        ImGui::Text("%.1f fps  %.1f ms", 1.0 / frameSeconds, frameSeconds * 1000.0);
    const double speed = DemoSpeed();
    ImGui::Text("%s  %gx%s%s", DemoPaused() ? "PAUSED" : "PLAYING", speed, speed != 1.0 ? " (silent)" : "",
                timeline.SceneLoop() ? "  LOOP SCENE" : "");
    ShowTransport();

    const std::string problem = LiveEditingProblem();
    if (LiveEditingBuilds() == 0)
        ImGui::TextDisabled("Reload: none yet");
    else if (problem.empty())
        ImGui::TextColored(kGoodColour, "Reload: OK");
    else {
        ImGui::PushStyleColor(ImGuiCol_Text, kProblemColour);
        ImGui::PushTextWrapPos(ImGui::GetFontSize() * 40.0f);
        ImGui::TextUnformatted(("Reload failed: " + problem).c_str());
        ImGui::PopTextWrapPos();
        ImGui::PopStyleColor();
    }
    ImGui::End();
}

void Overlay::ShowTransport() {
    EditorModule& module = editor;
    if (ImGui::SmallButton("|<"))
        module.Request([&module] { module.ToScene(module.Timeline().SceneOnScreen() - 1); });
    ImGui::SameLine();
    if (ImGui::SmallButton("<<"))
        module.Request([&module] { module.Step(StepUnit::Beat, -1); });
    ImGui::SameLine();
    if (ImGui::SmallButton(DemoPaused() ? "Play" : "Pause"))
        module.Request([&module] { module.TogglePause(); });
    ImGui::SameLine();
    if (ImGui::SmallButton(">>"))
        module.Request([&module] { module.Step(StepUnit::Beat, 1); });
    ImGui::SameLine();
    if (ImGui::SmallButton(">|"))
        module.Request([&module] { module.ToScene(module.Timeline().SceneOnScreen() + 1); });
    ImGui::SameLine();
    if (ImGui::SmallButton("Loop"))
        module.Request([&module] { module.ToggleLoop(); });
    ImGui::SameLine();
    if (ImGui::SmallButton("-"))
        module.Request([&module] { module.ChangeSpeed(-1); });
    ImGui::SameLine();
    if (ImGui::SmallButton("+"))
        module.Request([&module] { module.ChangeSpeed(1); });
}

void Overlay::ShowTimeline(const std::vector<EditorScene>& scenes) {
    EditorTimeline& timeline = editor.Timeline();
    if (scenes.empty())
        return;
    const double end = scenes.back().start + scenes.back().length;
    if (!(end > 0.0))
        return;
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    ImGui::SetNextWindowPos(ImVec2(kMargin, display.y - kStripHeight - kMargin), ImGuiCond_Always);
    ImGui::SetNextWindowSize(ImVec2(display.x - 2.0f * kMargin, kStripHeight), ImGuiCond_Always);
    ImGui::SetNextWindowBgAlpha(0.6f);
    ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(4.0f, 4.0f));
    ImGui::Begin("Timeline", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_NoNav |
                     ImGuiWindowFlags_NoFocusOnAppearing);
    const ImVec2 origin = ImGui::GetCursorScreenPos();
    const ImVec2 size = ImGui::GetContentRegionAvail();
    ImDrawList* draw = ImGui::GetWindowDrawList();
    const auto xOf = [&](double seconds) {
        return origin.x + static_cast<float>(std::clamp(seconds / end, 0.0, 1.0)) * size.x;
    };
    const int shown = timeline.SceneOnScreen();
    for (std::size_t index = 0; index < scenes.size(); ++index) {
        const EditorScene& scene = scenes[index];
        const ImVec2 from(xOf(scene.start), origin.y);
        const ImVec2 to(xOf(scene.start + scene.length) - 1.0f, origin.y + size.y);
        draw->AddRectFilled(
            from, to, static_cast<int>(index) == shown ? kSceneOnScreenColour : kSceneColours[index % 2]);
        const std::string label = std::to_string(index + 1) + " " + scene.name;
        draw->PushClipRect(from, to, true);
        draw->AddText(ImVec2(from.x + 4.0f, from.y + 4.0f), IM_COL32_WHITE, label.c_str());
        draw->PopClipRect();
    }
    const float head = xOf(GetTime());
    draw->AddLine(ImVec2(head, origin.y), ImVec2(head, origin.y + size.y), kPlayHeadColour, 2.0f);
    ImGui::InvisibleButton("strip", size);
    if (ImGui::IsItemClicked()) {
        const double seconds = (ImGui::GetIO().MousePos.x - origin.x) / size.x * end;
        editor.Request([seconds] { SeekDemo(seconds); });
    }
    ImGui::End();
    ImGui::PopStyleVar();
}

} // namespace engine::editor
