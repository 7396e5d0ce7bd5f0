#include "live/liveEditing.h"

#include "core/kernel.h"
#include "core/logging.h"
#include "core/textConversion.h"
#include "core/timer.h"
#include "live/reloader.h"
#include "platform/window.h"
#include "render/renderer.h"
#include <engine/scene.h>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace engine::live {

namespace {

namespace fs = std::filesystem;

constexpr int kRendererModuleId = 10;
const char kDataFolder[] = "data";

double DemoTime() {
    return core::Timer::mInstance != nullptr ? core::Timer::mInstance->Time() : 0.0;
}

boost::shared_ptr<gfx::Spatial> SceneOnScreen() {
    auto* renderer = dynamic_cast<gfx::Renderer*>(core::Kernel::Get()->GetModule(kRendererModuleId));
    if (renderer == nullptr || renderer->GetRootNode()->GetChildren().empty())
        return {};
    return renderer->GetRootNode()->GetChildren().front();
}

// One line, so the log keeps its rows and the title its single line.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

} // namespace

LiveEditing::LiveEditing(fs::path contentDir, ContentCompiler compiler, platform::Clock& clock)
    : watcher(std::move(contentDir)), compiler(std::move(compiler)), clock(clock) {
    name = L"LiveEditing";
    priority = kPriority;
}

LiveEditing::~LiveEditing() = default;

bool LiveEditing::Start() {
    LOG_MESSAGE("Watching " + watcher.Root().string() + " for live editing");
    BuildAndReload();
    return true;
}

void LiveEditing::Stop() {}

double LiveEditing::Now() {
    return static_cast<double>(clock.Counter()) / static_cast<double>(clock.Frequency());
}

void LiveEditing::Update() {
    FollowShownScene(false);
    Gather();
    if (batcher.Due(Now()))
        BuildAndReload();
}

void LiveEditing::Gather() {
    const double now = Now();
    for (const FileEvent& event : watcher.Read(now))
        batcher.Note(event.path.string(), event.stillWriting, now);
}

void LiveEditing::BuildAndReload() {
    std::vector<fs::path> changed;
    for (const std::string& file : batcher.Take()) {
        LOG_MESSAGE("Changed: " + file);
        changed.emplace_back(file);
    }
    ++builds;
    const ContentBuild build = compiler(watcher.Root(), kDataFolder, changed);
    if (!build.error.empty()) {
        // Files that changed while the build read them may have been caught half-written: they are
        // built again once the folder is quiet, and only a failure on a quiet folder is reported.
        Gather();
        if (!batcher.HasChanges())
            Report({build.error});
        return;
    }
    const std::vector<std::string> problems = ReloadBuiltFiles(build.written, DemoTime() - shownSince);
    FollowShownScene(true);
    Report(problems);
}

void LiveEditing::FollowShownScene(bool keepTime) {
    const boost::shared_ptr<gfx::Spatial> scene = SceneOnScreen();
    if (scene == shownScene.lock())
        return;
    shownScene = scene;
    // Read before the timer's update: the time of the pass that put the scene on screen, from which
    // its animation has been running.
    if (!keepTime)
        shownSince = DemoTime();
}

void LiveEditing::SceneShownSince(double seconds) {
    shownScene = SceneOnScreen();
    shownSince = seconds;
}

void NoteSceneShownSince(double seconds) {
    if (auto* module = dynamic_cast<LiveEditing*>(core::Kernel::Get()->GetModule(LiveEditing::kModuleId)))
        module->SceneShownSince(seconds);
}

void LiveEditing::Report(const std::vector<std::string>& problems) {
    core::CWin32Window* window = core::CWin32Window::Get();
    if (problems.empty()) {
        if (!problem.empty())
            window->SetTitle(titleBeforeProblem);
        problem.clear();
        return;
    }
    for (const std::string& text : problems) {
        LOG_WARNING(OneLine(text));
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    if (problem.empty())
        titleBeforeProblem = window->settings.title;
    problem = OneLine(problems.front());
    window->SetTitle(titleBeforeProblem + L" - " + core::NarrowToWide(problem));
}

} // namespace engine::live

namespace engine {

namespace {

// The module of the present run; the kernel never owns modules.
std::unique_ptr<live::LiveEditing> liveEditing;

// The module at its slot in the kernel, whoever registered it; null when live editing is off.
const live::LiveEditing* RunningLiveEditing() {
    core::Kernel* kernel = core::Kernel::Get();
    return dynamic_cast<const live::LiveEditing*>(kernel->GetModule(live::LiveEditing::kModuleId));
}

} // namespace

void WatchContent(const std::filesystem::path& contentDir, ContentCompiler compiler) {
    core::Kernel* kernel = core::Kernel::Get();
    if (liveEditing && kernel->GetModule(live::LiveEditing::kModuleId) == liveEditing.get())
        LOG_ERROR("Content is being watched already");
    auto module = std::make_unique<live::LiveEditing>(contentDir, std::move(compiler));
    kernel->AddModule(module.get(), live::LiveEditing::kModuleId);
    liveEditing = std::move(module);
}

std::string LiveEditingProblem() {
    const live::LiveEditing* module = RunningLiveEditing();
    return module != nullptr ? module->Problem() : std::string();
}

int LiveEditingBuilds() {
    const live::LiveEditing* module = RunningLiveEditing();
    return module != nullptr ? module->BuildCount() : 0;
}

} // namespace engine
