// A benchmark from the engine's side: what the program asked for (UseBenchmark, SetBenchmarkScenes),
// the window it implies, the start-up as it is split into zones, and the module that ends every frame
// with a wait for the GPU, times it, follows the scenes, records a few frames spread over each and
// replays them in turn between the scene's later frames, so that both are measured under the same load
// on the machine, then moves on to the next scene when enough frames are measured.
#pragma once

#include "gpu/frameReplay/glFrameRecording.h"
#include "gpu/frameReplay/glFrameReplay.h"
#include "perf/benchmarkReport.h"

#include <engine/benchmark.h>
#include <engine/module.h>
#include <engine/windowSettings.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace engine::gfx {
class Spatial;
} // namespace engine::gfx

namespace engine::perf {

// Whether UseBenchmark was called in this process.
bool BenchmarkRequested();
// The benchmark's window: its size, windowed, presenting at once.
WindowSettings BenchmarkWindow(const WindowSettings& asked);

// Runs after the renderer has presented (the capture's place; the two never run together).
class FrameMeter : public core::Module {
public:
    static constexpr int kPriority = 6500;

    FrameMeter(const BenchmarkSettings& settings, std::vector<BenchmarkScene> scenes,
               BenchmarkFigures& figures);

    bool Start() override { return true; }
    void Update() override;
    // Lets the replays go while the device still has its context: this module stops after the screen.
    void Stop() override { replays.clear(); }

    // Start-up ends, and the first frame begins, now.
    void BeginFrames();

private:
    void EndStartup(std::int64_t end);
    // False when the scene shown is past the list: the run ends without counting the frame.
    bool FollowScene();
    // Makes the recorded frame a replay and plays it the first times.
    void StartReplay(SceneFigures& scene);
    // One replay after a frame of the scene, of each recorded frame in turn.
    void PlayNextReplay(SceneFigures& scene);
    void MoveOn();
    // How many frames the scene will measure, as far as anything says.
    std::size_t ExpectedFrames() const;
    // Whether the frame of the scene counted from 0 is one to record: a few, spread over the scene,
    // so that the replays show what the scene shows on the whole.
    bool RecordsFrame(std::size_t index) const;

    const BenchmarkSettings& settings;
    std::vector<BenchmarkScene> scenes;
    BenchmarkFigures& figures;
    gfx::Spatial* shown = nullptr;
    bool started = false;
    bool recording = false;
    // Set once the scene has its frames; later frames of it are not counted.
    bool sceneDone = false;
    double sceneStartTime = 0.0;
    std::int64_t framesBegin = 0;
    std::int64_t frameStart = 0;
    gpu::GlFrameRecorder recorder;
    std::vector<std::unique_ptr<gpu::GlFrameReplay>> replays;
    std::size_t nextReplay = 0;
};

class BenchmarkSession {
public:
    // Reads the music as a live start would (no sound plays) and sets the timer to fixed steps from
    // startSeconds. Throws Exception when the music cannot be read.
    explicit BenchmarkSession(double startSeconds);

    core::Module& Meter() { return meter; }
    void BeginFrames() { meter.BeginFrames(); }
    // After the main loop: prints the report and writes the JSON file; throws Exception when that
    // cannot be written.
    void Finish();

private:
    BenchmarkSettings settings;
    BenchmarkFigures figures;
    FrameMeter meter;
};

} // namespace engine::perf
