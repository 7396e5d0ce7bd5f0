#include "perf/benchmark.h"

#include "audio/musicPlayer.h"
#include "capture/unattendedRun.h"
#include "core/kernel.h"
#include "core/logging.h"
#include "core/textConversion.h"
#include "core/timer.h"
#include "gpu/frameReplay/glFrameReplay.h"
#include "platform/messageBox.h"
#include "platform/window.h"
#include "render/renderer.h"
#include <engine/scene.h>

#include <SDL.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace engine {

namespace perf {

namespace {

const char kDataFolder[] = "data";
const char kLogFile[] = "log.html";
constexpr int kRendererModuleId = 10;
// Frames recorded in a scene: one per this many frames measured, at least one and at most the most.
constexpr std::size_t kFramesPerRecording = 12;
constexpr std::size_t kMostRecordings = 5;
// Replays: a few of each recorded frame at once, then, of the recorded frames in turn, one after
// every few later frames of the scene, so that about this many spread over the whole scene; never more
// than the most.
constexpr int kFirstReplays = 3;
constexpr std::size_t kSpreadReplays = 80;
constexpr std::size_t kMostReplays = 100;
// Channel steps within which the replay's picture counts as the engine's.
constexpr int kPictureTolerance = 4;

std::optional<BenchmarkSettings> requested;
std::vector<BenchmarkScene> listedScenes;
// On the zones' clock.
std::int64_t processStart = 0;
std::int64_t engineStart = 0;

// The kernel's record of when the process started, on the zones' clock (to its 10 ms ticks); now when
// it cannot be read.
std::int64_t ProcessStart() {
    const std::int64_t now = Now();
    std::ifstream file("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t name = text.rfind(')');
    timespec boot{};
    if (name == std::string::npos || clock_gettime(CLOCK_BOOTTIME, &boot) != 0)
        return now;
    // Field 22, the start in ticks after boot, is the 20th after the parenthesised name.
    std::istringstream fields(text.substr(name + 1));
    std::string field;
    for (int i = 0; i < 20 && fields >> field; ++i) {
    }
    const double ticks = std::strtod(field.c_str(), nullptr);
    const double started = ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
    const double sinceBoot = static_cast<double>(boot.tv_sec) + static_cast<double>(boot.tv_nsec) * 1e-9;
    const double ago = sinceBoot - started;
    return ago > 0.0 ? now - static_cast<std::int64_t>(ago * 1e9) : now;
}

void Validate(const BenchmarkSettings& settings) {
    capture::CheckUnattendedShape("benchmark", settings.width, settings.height, settings.framesPerSecond);
    if (settings.framesPerScene && *settings.framesPerScene < 1)
        LOG_ERROR("The benchmark needs at least 1 frame per scene");
}

// Every file the demo reads lies under data/, and the demo reads all of them but its own log.
void ReadDataFiles(StartupFigures& startup) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(kDataFolder, error), end; !error && it != end;
         it.increment(error))
        if (it->is_regular_file() && it->path().filename() != kLogFile)
            files.push_back(it->path());
    std::vector<char> buffer(1 << 20);
    const std::int64_t start = Now();
    for (const fs::path& path : files) {
        std::FILE* file = std::fopen(path.c_str(), "rb");
        if (file == nullptr)
            continue;
        std::size_t read = 0;
        while ((read = std::fread(buffer.data(), 1, buffer.size(), file)) > 0)
            startup.bytes += read;
        std::fclose(file);
        ++startup.files;
    }
    startup.rawRead = Now() - start;
}

gfx::Spatial* ShownScene() {
    auto* renderer = dynamic_cast<gfx::Renderer*>(core::Kernel::Get()->GetModule(kRendererModuleId));
    if (renderer == nullptr)
        return nullptr;
    const std::vector<boost::shared_ptr<gfx::Spatial>>& children = renderer->GetRootNode()->GetChildren();
    return children.empty() ? nullptr : children.front().get();
}

bool ReadPicture(std::vector<std::uint8_t>& rgba) {
    gpu::Device* device = core::CWin32Window::Get()->device;
    gpu::Surface* surface = nullptr;
    if (device == nullptr || gpu::Failed(device->GetRenderTarget(0, &surface)) || surface == nullptr)
        return false;
    const gpu::Ref<gpu::Surface> backBuffer = gpu::Ref<gpu::Surface>::Adopt(surface);
    return !gpu::Failed(device->ReadPixels(backBuffer.Get(), rgba));
}

PictureDifference Compare(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    PictureDifference difference;
    const std::size_t pixels = std::min(a.size(), b.size()) / 4;
    std::size_t differing = 0;
    for (std::size_t p = 0; p < pixels; ++p) {
        int largest = 0;
        for (std::size_t c = 0; c < 4; ++c)
            largest = std::max(largest, std::abs(int(a[4 * p + c]) - int(b[4 * p + c])));
        difference.largest = std::max(difference.largest, largest);
        differing += largest > kPictureTolerance ? 1 : 0;
    }
    difference.differingShare =
        pixels == 0 ? 0.0 : static_cast<double>(differing) / static_cast<double>(pixels);
    return difference;
}

// Only an offscreen back buffer keeps its picture after it is presented.
bool PicturesReadable() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::string(driver) == "offscreen";
}

} // namespace

bool BenchmarkRequested() {
    return requested.has_value();
}

WindowSettings BenchmarkWindow(const WindowSettings& asked) {
    return capture::UnattendedWindow(asked, requested->width, requested->height);
}

FrameMeter::FrameMeter(const BenchmarkSettings& settings, std::vector<BenchmarkScene> scenes,
                       BenchmarkFigures& figures)
    : settings(settings), scenes(std::move(scenes)), figures(figures) {
    name = L"Benchmark";
    priority = kPriority;
}

void FrameMeter::BeginFrames() {
    figures.startup.zones = TakeZoneTimes();
    TakeZoneEntries();
    TakeZoneAllocations();
    framesBegin = Now();
    frameStart = framesBegin;
    CountDeviceCalls(true);
}

void FrameMeter::Update() {
    {
        ScopedZone wait(Zone::Wait);
        gpu::WaitForGpu();
    }
    const std::int64_t end = Now();
    FrameSample frame;
    frame.nanoseconds = end - frameStart;
    frame.zones = TakeZoneTimes();
    frame.zoneEntries = TakeZoneEntries();
    frame.allocations = TakeZoneAllocations();
    frame.allocationsCounted = settings.allocationCount != nullptr;
    frame.recorded = recording;
    // From here on the benchmark's own work, which no frame is charged with.
    CountDeviceCalls(false);
    if (!started)
        EndStartup(end);
    if (FollowScene() && !sceneDone) {
        SceneFigures& scene = figures.scenes.back();
        scene.frames.push_back(frame);
        if (frame.recorded)
            StartReplay(scene);
        else
            PlayNextReplay(scene);
        if (RecordsFrame(scene.frames.size())) {
            recorder.Begin();
            recording = true;
        }
        if (settings.framesPerScene &&
            scene.frames.size() >= static_cast<std::size_t>(*settings.framesPerScene))
            MoveOn();
    }
    TakeZoneTimes();
    TakeZoneEntries();
    TakeZoneAllocations();
    CountDeviceCalls(true);
    frameStart = Now();
}

void FrameMeter::EndStartup(std::int64_t end) {
    started = true;
    StartupFigures& startup = figures.startup;
    startup.firstFrame = end - framesBegin;
    startup.total = end - processStart;
    startup.programLoading = engineStart - processStart;
    figures.renderer = gpu::GlRendererName();
    const char* driver = SDL_GetCurrentVideoDriver();
    figures.videoDriver = driver != nullptr ? driver : "?";
    const char* cacheOff = std::getenv("MESA_SHADER_CACHE_DISABLE");
    const std::string off = cacheOff != nullptr ? cacheOff : "";
    figures.driverShaderCache = off != "true" && off != "1" && off != "yes";
    figures.zoneCostNanoseconds = MeasureZoneCost();
    const std::vector<gpu::ProgramSource>& programs = gpu::KeptProgramSources();
    startup.programs = static_cast<int>(programs.size());
    startup.rawCompile = gpu::CompileRawPrograms(programs, startup.programFailures);
    ReadDataFiles(startup);
}

bool FrameMeter::FollowScene() {
    gfx::Spatial* now = ShownScene();
    if (!figures.scenes.empty() && now == shown)
        return true;
    if (recording) {
        // The frame meant for the replay belongs to the next scene: not this one's to replay.
        recorder.End();
        recording = false;
    }
    replays.clear();
    nextReplay = 0;
    const std::size_t index = figures.scenes.size();
    if (!scenes.empty() && index >= scenes.size()) {
        core::Kernel::Get()->Quit();
        sceneDone = true;
        return false;
    }
    shown = now;
    SceneFigures scene;
    scene.number = scenes.empty() ? static_cast<int>(index) + 1 : scenes[index].number;
    figures.scenes.push_back(std::move(scene));
    sceneDone = false;
    sceneStartTime = core::Timer::Get()->Time();
    return true;
}

std::size_t FrameMeter::ExpectedFrames() const {
    const std::size_t scene = figures.scenes.size() - 1;
    if (settings.framesPerScene)
        return static_cast<std::size_t>(*settings.framesPerScene);
    if (scene < scenes.size())
        return static_cast<std::size_t>(scenes[scene].seconds * settings.framesPerSecond);
    return static_cast<std::size_t>(settings.framesPerSecond);
}

bool FrameMeter::RecordsFrame(std::size_t index) const {
    const std::size_t expected = ExpectedFrames();
    // The middles of equal parts of the scene; never its first frame, which makes what the scene
    // needs the first time.
    const std::size_t recordings =
        std::clamp<std::size_t>(expected / kFramesPerRecording, 1, kMostRecordings);
    for (std::size_t part = 0; part < recordings; ++part)
        if (index == std::max<std::size_t>(1, (2 * part + 1) * expected / (2 * recordings)))
            return true;
    return false;
}

void FrameMeter::StartReplay(SceneFigures& scene) {
    recording = false;
    std::vector<std::uint8_t> drawn, replayed;
    const bool drawnRead = PicturesReadable() && ReadPicture(drawn);
    auto& replay = replays.emplace_back(
        std::make_unique<gpu::GlFrameReplay>(recorder.End(), core::CWin32Window::Get()->window));
    replay->Play(kFirstReplays, scene.replayFrames);
    if (drawnRead && ReadPicture(replayed)) {
        const PictureDifference difference = Compare(drawn, replayed);
        if (!scene.replayPicture || difference.largest > scene.replayPicture->largest)
            scene.replayPicture = difference;
    }
    scene.replayCalls.push_back(replay->Calls());
    scene.replayDraws.push_back(replay->Draws());
}

void FrameMeter::PlayNextReplay(SceneFigures& scene) {
    const std::size_t every = std::max<std::size_t>(1, ExpectedFrames() / kSpreadReplays);
    if (replays.empty() || scene.replayFrames.size() >= kMostReplays || scene.frames.size() % every != 0)
        return;
    replays[nextReplay % replays.size()]->Play(1, scene.replayFrames);
    ++nextReplay;
}

void FrameMeter::MoveOn() {
    sceneDone = true;
    const std::size_t index = figures.scenes.size() - 1;
    // Without a list nothing says where the next scene begins: the rest of this one plays uncounted.
    if (scenes.empty())
        return;
    if (index + 1 >= scenes.size()) {
        core::Kernel::Get()->Quit();
        return;
    }
    // The program switches scenes once a scene's length has passed since the pass before its first
    // frame; one step past that length after the first frame, it switches in this very pass.
    core::Timer::Get()->SetTime(sceneStartTime + scenes[index].seconds);
}

BenchmarkSession::BenchmarkSession(double startSeconds)
    : settings(*requested), meter(settings, listedScenes, figures) {
    figures.width = settings.width;
    figures.height = settings.height;
    figures.framesPerSecond = settings.framesPerSecond;
    core::Timer* timer = core::Timer::Get();
    timer->UseFixedSteps(settings.framesPerSecond);
    timer->SetTime(startSeconds);
    // What a live start does with the music but play it: read the module and decode it to the start.
    ScopedZone music(Zone::Music);
    if (!audio::OpenModule(capture::ReadMusicFile(), startSeconds))
        LOG_ERROR("Failed to load music file. Sorry.");
}

void BenchmarkSession::Finish() {
    StopZones();
    PrintReport(figures, std::cout);
    std::cout.flush();
    if (!settings.jsonPath.empty() && !WriteJson(figures, settings.jsonPath))
        LOG_ERROR("The benchmark could not write its figures to '" + settings.jsonPath + "'");
}

} // namespace perf

void UseBenchmark(const BenchmarkSettings& settings) {
    perf::processStart = perf::ProcessStart();
    perf::engineStart = perf::Now();
    // Nobody watches a benchmark: a box would stop it until someone clicked.
    platform::SetMessageBoxHandler(
        [](const std::wstring& text, const std::wstring& caption, platform::MessageBoxOwner) {
            std::fprintf(stderr, "%s: %s\n", core::WideToNarrow(caption).c_str(),
                         core::WideToNarrow(text).c_str());
        });
    perf::Validate(settings);
    perf::requested = settings;
    // Offscreen unless there is a display, or the user chose a driver.
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    // Every run compiles its programs afresh, as the raw floor does, whatever Mesa kept from before;
    // unless the user says otherwise.
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    capture::UseUnattendedParticles();
    gpu::KeepProgramSources();
    perf::StartZones();
    perf::CountAllocations(settings.allocationCount);
}

void SetBenchmarkScenes(std::vector<BenchmarkScene> scenes) {
    perf::listedScenes = std::move(scenes);
}

} // namespace engine
