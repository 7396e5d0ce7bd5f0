// The exported free functions: the only door programs use into the engine.
#include <engine/app.h>
#include <engine/editor.h>

#include "anim/ipoFile.h"
#include "app/screen.h"
#include "audio/musicPlayer.h"
#include "capture/captureSession.h"
#include "core/input.h"
#include "core/kernel.h"
#include "core/logging.h"
#include "core/timer.h"
#include "particles/arrayModifier.h"
#include "particles/particleEngine.h"
#include "perf/benchmark.h"
#include "perf/zones.h"
#include "platform/cursor.h"
#include "platform/messageBox.h"
#include "platform/window.h"
#include "render/deviceLossInjection.h"
#include "render/effectPool.h"
#include "render/renderer.h"
#include "resources/TVOMesh.h"
#include "resources/resourceManager.h"
#include "resources/resourceTypes.h"
#include "scene/lightManager.h"
#include <engine/scene.h>

#include <boost/make_shared.hpp>

#include <memory>
#include <optional>

namespace engine {

namespace {

constexpr int kScreenModuleId = 1;
constexpr int kInputModuleId = 2;
constexpr int kTimerModuleId = 6;
constexpr int kRendererModuleId = 10;
constexpr int kCurvePlayerModuleId = 15;
constexpr int kCaptureModuleId = 16;
constexpr int kBenchmarkModuleId = 17;
constexpr int kDeviceLossInjectionModuleId = 18;
constexpr int kCaptureFramesInFlightModuleId = 21;
constexpr std::uint32_t kAudioVersion = 0x0203;
constexpr int kMusicPreBufferMs = 500;
const char kMusicFile[] = "data/dark_ages.xm";

// The music playing now (0 outside StartApplication), the capture running now, and where the demo
// begins when it starts.
audio::MusicHandle currentMusic = 0;
capture::Session* currentCapture = nullptr;
bool benchmarking = false;
double startSeconds = 0.0;
// The timer followed the music until a playback speed other than 1x silenced it.
bool clockLeftForSpeed = false;

// Deletes a singleton only where one exists: asking Get() would build one just to delete it, and the
// curve player's constructor reads its file and throws when it is missing.
template <typename T>
void DeleteSingleton() {
    delete T::mInstance;
}

// Closes the audio device however StartApplication ends, so that a failed start does not leave the
// audio thread running while the program reports the error.
class AudioSession {
public:
    AudioSession() : open(audio::Init(audio::kSampleRate)) {}
    ~AudioSession() { audio::Free(); }
    bool IsOpen() const { return open; }
    AudioSession(const AudioSession&) = delete;
    AudioSession& operator=(const AudioSession&) = delete;

private:
    bool open;
};

template <typename EmitterType, typename Info>
void AttachEmitter(gfx::Node* node, const Info& info, const char* nullNodeWarning) {
    if (node == nullptr) {
        LOG_WARNING(nullNodeWarning);
        return;
    }
    node->AddChild(boost::shared_ptr<gfx::Spatial>(new EmitterType(node, info)));
}

gfx::Renderer* FindRenderer() {
    return dynamic_cast<gfx::Renderer*>(core::Kernel::Get()->GetModule(kRendererModuleId));
}

// Modules 2, 1 and 10 are looked up before any is deleted; a module never registered is skipped.
void DeleteEngineModules() {
    core::Kernel* kernel = core::Kernel::Get();
    core::Module* input = kernel->GetModule(kInputModuleId);
    core::Module* screen = kernel->GetModule(kScreenModuleId);
    core::Module* renderer = kernel->GetModule(kRendererModuleId);
    delete kernel->GetModule(kDeviceLossInjectionModuleId);

    DeleteSingleton<gfx::IPOFile>();
    delete input;
    delete screen;
    DeleteSingleton<core::Timer>();
    // Effects built by the pool may still be held by the program; they outlive it.
    DeleteSingleton<gfx::EffectPool>();
    delete renderer;
    DeleteSingleton<core::CWin32Window>();
    DeleteSingleton<gfx::LightManager>();
    DeleteSingleton<core::ResourceManager>();
    DeleteSingleton<core::Kernel>();
}

// StartApplication's main loop as a capture: the timer on fixed steps, every frame and its music into
// the output, which is completed only after the engine has shut down cleanly.
void RunCapture() {
    capture::Session session(startSeconds, [] {
        const gfx::Renderer* renderer = FindRenderer();
        return renderer == nullptr || !renderer->IsDeviceLost();
    });
    core::Kernel* kernel = core::Kernel::Get();
    kernel->AddModule(core::Timer::Get(), kTimerModuleId);
    kernel->AddModule(&session.Grabber(), kCaptureModuleId);
    kernel->AddModule(&session.FramesStillInFlight(), kCaptureFramesInFlightModuleId);
    currentCapture = &session;
    kernel->Run();
    currentCapture = nullptr;
    startSeconds = 0.0;
    DeleteEngineModules();
    session.Finish();
}

// StartApplication's main loop as a benchmark: the timer on fixed steps, no sound, every frame timed
// and the figures reported once the engine has shut down.
void RunBenchmark() {
    perf::BenchmarkSession session(startSeconds);
    core::Kernel* kernel = core::Kernel::Get();
    kernel->AddModule(core::Timer::Get(), kTimerModuleId);
    kernel->AddModule(&session.Meter(), kBenchmarkModuleId);
    benchmarking = true;
    session.BeginFrames();
    kernel->Run();
    benchmarking = false;
    startSeconds = 0.0;
    DeleteEngineModules();
    session.Finish();
}

WindowSettings WindowToCreate(const WindowSettings& settings) {
    if (capture::Requested())
        return capture::CaptureWindow(settings);
    return perf::BenchmarkRequested() ? perf::BenchmarkWindow(settings) : settings;
}

} // namespace

void CreateTALVOWindow(const WindowSettings& settings) {
    LOG_MESSAGE("Release build");
    // Owned here until the kernel knows it, so a window that cannot be made does not leak the module.
    std::unique_ptr<core::CScreen> screen(pattern::Creator<core::CScreen>::CreateInstance());
    {
        perf::ScopedZone zone(perf::Zone::Window);
        screen->Init(WindowToCreate(settings));
    }

    core::Kernel* kernel = core::Kernel::Get();
    kernel->AddModule(screen.release(), kScreenModuleId);
    kernel->AddModule(new gfx::Renderer(), kRendererModuleId);
    kernel->AddModule(new core::InputUpdate(), kInputModuleId);
    {
        perf::ScopedZone zone(perf::Zone::SceneFiles);
        kernel->AddModule(gfx::IPOFile::Get(), kCurvePlayerModuleId);
    }
    if (const std::optional<double> lossTime = gfx::DeviceLossInjection::RequestedTime())
        kernel->AddModule(new gfx::DeviceLossInjection(*lossTime), kDeviceLossInjectionModuleId);
    core::CWin32Window::Get()->clearColor = 0;
}

void AddModule(core::Module* module, int id) {
    // A program's module loads its scenes as it starts: what that costs beyond meshes, textures,
    // scripts and effects is reading the scene files and building their nodes.
    perf::ScopedZone zone(perf::Zone::SceneFiles);
    core::Kernel::Get()->AddModule(module, id);
}

void StartApplication() {
    if ((audio::GetVersion() >> 16) != kAudioVersion)
        LOG_ERROR("An incorrect version of BASS.DLL was loaded");
    if (perf::BenchmarkRequested()) {
        RunBenchmark();
        return;
    }
    if (capture::Requested()) {
        RunCapture();
        return;
    }
    AudioSession audioSession;
    const audio::MusicHandle music = audio::MusicLoad(kMusicFile);
    audio::ChannelSetPosition(music, startSeconds);
    audio::ChannelPreBuf(music, kMusicPreBufferMs);
    if (music == 0)
        LOG_ERROR("Failed to load music file. Sorry.");

    // The timer's start is now, and the music starts with it: the timeline follows the music through
    // this order. Unless a program chose the timer's clock, it counts the samples the device plays, so
    // the picture keeps to the music even where the device's clock runs apart from the machine's.
    core::Timer* timer = core::Timer::Get();
    if (audioSession.IsOpen() && timer->GetClock() == &platform::SystemClock())
        timer->SetClock(&audio::PlaybackClock());
    timer->SetTime(startSeconds);
    core::Kernel::Get()->AddModule(timer, kTimerModuleId);
    audio::ChannelPlay(music, false);
    currentMusic = music;
    core::Kernel::Get()->Run();
    currentMusic = 0;
    clockLeftForSpeed = false;
    startSeconds = 0.0;

    DeleteEngineModules();
}

void SetDemoTime(double seconds) {
    if (benchmarking) {
        core::Timer::Get()->SetTime(seconds);
        return;
    }
    if (currentCapture != nullptr) {
        core::Timer::Get()->SetTime(seconds);
        currentCapture->SeekMusic(core::Timer::Get()->Time());
        return;
    }
    if (currentMusic == 0) {
        startSeconds = seconds;
        return;
    }
    // The music first: finding a position takes a moment. A timer that follows the music counts from the
    // very sample the position took effect at, however long this thread waits in between.
    std::uint64_t reading = 0;
    const bool moved = audio::ChannelSetPosition(currentMusic, seconds, &reading);
    core::Timer* timer = core::Timer::Get();
    if (moved && timer->GetClock() == &audio::PlaybackClock())
        timer->SetTimeAt(seconds, reading);
    else
        timer->SetTime(seconds);
}

void PauseDemo(bool paused) {
    core::Timer* timer = core::Timer::Get();
    if (timer->Paused() == paused)
        return;
    // Away from 1x the music is silent already, and the time runs on the machine's clock.
    const bool musicFollows = currentMusic != 0 && timer->Rate() == 1.0;
    if (paused) {
        if (musicFollows)
            audio::ChannelPause(currentMusic);
        timer->SetPaused(true);
        return;
    }
    timer->SetPaused(false);
    if (!musicFollows)
        return;
    // The device played out the block it held when paused: the demo goes on from the music as heard,
    // a few milliseconds on, so that picture and sound stay together.
    const double heard = audio::ChannelGetPlayedPosition(currentMusic);
    if (timer->GetClock() == &audio::PlaybackClock())
        timer->SetTimeAt(heard, audio::PlaybackClock().Counter());
    audio::ChannelPlay(currentMusic, false);
}

bool DemoPaused() {
    return core::Timer::Get()->Paused();
}

void SetDemoSpeed(double speed) {
    core::Timer* timer = core::Timer::Get();
    if (!(speed > 0.0) || speed == timer->Rate())
        return;
    if (timer->Rate() == 1.0) {
        // Leaving 1x: the music falls silent, and a time that followed it needs a clock that runs.
        if (currentMusic != 0)
            audio::ChannelPause(currentMusic);
        clockLeftForSpeed = timer->GetClock() == &audio::PlaybackClock();
        if (clockLeftForSpeed)
            timer->SwitchClock(&platform::SystemClock());
        timer->SetRate(speed);
        return;
    }
    timer->SetRate(speed);
    if (speed != 1.0)
        return;
    if (clockLeftForSpeed)
        timer->SwitchClock(&audio::PlaybackClock());
    clockLeftForSpeed = false;
    if (currentMusic == 0)
        return;
    // The music comes back exactly where the demo is.
    SetDemoTime(timer->Time());
    if (!timer->Paused())
        audio::ChannelPlay(currentMusic, false);
}

double DemoSpeed() {
    return core::Timer::Get()->Rate();
}

bool GetMusicPlace(double seconds, MusicPlace& place) {
    return audio::MusicPlaceAt(seconds, place);
}

double GetMusicPosition() {
    return currentMusic == 0 ? -1.0 : audio::ChannelGetPlayedPosition(currentMusic);
}

void QuitApplication() {
    core::Kernel::Get()->Quit();
}

double GetTime() {
    return core::Timer::Get()->Time();
}
double GetSinceLast() {
    return core::Timer::Get()->SinceLast();
}

bool isPressed(int key) {
    return core::Input::Get()->IsPressed(key);
}
bool isHeld(int key) {
    return core::Input::Get()->IsHeld(key);
}
bool isReleased(int key) {
    return core::Input::Get()->IsReleased(key);
}

gpu::Device* Direct3DDevice() {
    return core::CWin32Window::Get()->device;
}

gpu::Caps GetDirect3DCaps() {
    return core::CWin32Window::Get()->caps;
}

void SetWindowTitle(std::wstring title) {
    core::CWin32Window::Get()->SetTitle(title);
}

void HideCursor() {
    platform::HideCursor();
}

void ShowMessageBox(const std::wstring& text, const std::wstring& caption) {
    platform::ShowMessageBox(text, caption, platform::MessageBoxOwner::None);
}

void SetRootNode(boost::shared_ptr<gfx::Spatial> root) {
    if (!root) {
        LOG_WARNING("Setting NULL root node. Not Allowed.");
        return;
    }
    gfx::Renderer* renderer = FindRenderer();
    if (renderer == nullptr)
        LOG_ERROR("Setting a root node needs the renderer: create the window first");
    root->SetParent(renderer->GetRootNode().get());
    renderer->ClearRoot();
    renderer->AttachToRoot(root);
    renderer->SetScene(root);
}

boost::shared_ptr<core::resources::ManagedTexture> LoadTexture(std::wstring name) {
    return core::ResourceManager::Get()->GetResource<core::resources::ManagedTexture>(name);
}

boost::shared_ptr<gfx::TVOMesh> LoadMesh(std::wstring name) {
    return core::ResourceManager::Get()->GetResource<gfx::TVOMesh>(name);
}

void CreateRenderTarget(const std::wstring& name, int size) {
    auto target = boost::make_shared<core::resources::RenderTargetTexture>(name, size);
    core::ResourceManager::Get()->AddUnmanaged(name, target);
    target->Load();
}

boost::shared_ptr<gfx::Effect> BuildEffect(const std::string& scriptPath) {
    return gfx::EffectPool::Get()->BuildEffect(scriptPath);
}

void AddParticleEmitter(gfx::Node* node, const gfx::EmitterInfo& info) {
    AttachEmitter<gfx::Emitter>(node, info, "Cannot add particle emmiter to NULL node");
}

void AddPlaneParticleEmitter(gfx::Node* node, const gfx::PlaneEmitterInfo& info) {
    AttachEmitter<gfx::PlaneEmitter>(node, info, "Cannot add plane particle emmiter to NULL node");
}

void AddCurveEmitter(gfx::Node* node, const gfx::EmitterInfo& info) {
    AttachEmitter<gfx::CurveEmitter>(node, info, "Cannot add curve particle emmiter to NULL node");
}

void AddArrayModifier(ArrayInfo& info, gfx::Node* node) {
    // Hanging the copies under nothing would leave them undrawn and unowned.
    if (node == nullptr) {
        LOG_WARNING("Cannot add array modifier to NULL node");
        return;
    }
    gfx::ArrayModifierInfo converted;
    if (!gfx::ConvertArrayInfo(info, converted))
        return;
    auto modifier = boost::shared_ptr<gfx::Spatial>(new gfx::ArrayModifier(std::move(converted), node));
    node->AddChild(modifier);
    modifier->SetParent(node);
}

} // namespace engine
