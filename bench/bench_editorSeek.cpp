// The time from a seek to its picture in the live editor, as an author sees it: the demo's own data on
// the offscreen OpenGL device, the music playing (on SDL's dummy device where there is no sound card),
// and a seek into the middle of each scene in turn, timed from the call to the end of the next frame
// on the GPU. A seek sets the music to its exact sample (rendered from the module's start), loads the
// scene afresh, runs the emission clocks of the scenes before it and replays the scene up to the time.
// Reported per scene as the median, fastest and slowest of the tries, in milliseconds.
#include "core/logging.h"
#include "gpu/device.h"
#include "platform/window.h"
#include "testScene1.h"

#include <engine/engine.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kTries = 5;

// Before the timer: seeks to the middle of the next scene once the previous seek has its picture.
class Seeker : public engine::core::Module {
public:
    explicit Seeker(TestScene1& timeline) : timeline(timeline) { priority = 40; }
    bool Start() override { return true; }
    void Stop() override {}
    void Update() override {
        if (waiting)
            return;
        const std::vector<engine::EditorScene> scenes = timeline.Scenes();
        if (++attempt == kTries) {
            attempt = 0;
            ++scene;
        }
        if (scene >= scenes.size()) {
            engine::QuitApplication();
            return;
        }
        const engine::EditorScene& target = scenes[scene];
        started = Clock::now();
        engine::SeekDemo(target.start + target.length / 2.0);
        waiting = true;
    }

    TestScene1& timeline;
    std::size_t scene = 0;
    int attempt = -1;
    bool waiting = false;
    Clock::time_point started;
    std::map<std::size_t, std::vector<double>> times;
};

// After the renderer has presented: reading the picture back waits for the GPU to finish it.
class PictureDone : public engine::core::Module {
public:
    explicit PictureDone(Seeker& seeker) : seeker(seeker) { priority = 6500; }
    bool Start() override { return true; }
    void Stop() override {}
    void Update() override {
        if (!seeker.waiting)
            return;
        engine::gpu::Device* device = engine::core::CWin32Window::Get()->device;
        engine::gpu::Surface* surface = nullptr;
        if (!engine::gpu::Failed(device->GetRenderTarget(0, &surface))) {
            std::vector<std::uint8_t> rgba;
            device->ReadPixels(surface, rgba);
            surface->Release();
        }
        seeker.times[seeker.scene].push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - seeker.started).count());
        seeker.waiting = false;
    }

    Seeker& seeker;
};

void SeekToPicture(benchmark::State& state) {
    char pattern[] = "/tmp/quorvel-seek-bench-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    const fs::path previous = fs::current_path();
    fs::copy(QUORVEL_DATA_DIR, root / "data", fs::copy_options::recursive);
    fs::current_path(root);
    engine::core::Logging::Get();

    std::map<std::size_t, std::vector<double>> times;
    for (auto _ : state) {
        engine::WindowSettings settings;
        settings.width = static_cast<int>(state.range(0));
        settings.height = static_cast<int>(state.range(1));
        engine::CreateTALVOWindow(settings);
        TestScene1 timeline;
        engine::UseEditor(timeline);
        Seeker seeker(timeline);
        PictureDone done(seeker);
        engine::AddModule(&seeker, 20001);
        engine::AddModule(&timeline, 10100);
        engine::AddModule(&done, 20002);
        engine::StartApplication();
        times = seeker.times;
    }
    for (auto& [scene, list] : times) {
        std::sort(list.begin(), list.end());
        const std::string name = "scene" + std::to_string(scene + 1);
        state.counters[name + "_median_ms"] = list[list.size() / 2];
        state.counters[name + "_fastest_ms"] = list.front();
        state.counters[name + "_slowest_ms"] = list.back();
    }
    fs::current_path(previous);
    delete engine::core::Logging::mInstance;
    fs::remove_all(root);
}

BENCHMARK(SeekToPicture)->Args({640, 360})->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
