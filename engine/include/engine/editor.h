// The editor that live editing puts around the demo: time under the author's hand (pause, seeks by
// beat, bar, row and scene, a scene played in a loop, slower or faster playback) from the keyboard and
// from an overlay drawn over the picture, which shows where the demo stands and how the last reload
// went. The program tells it its scenes and how to show one from a given moment.
#pragma once

#include <engine/export.h>

#include <string>
#include <vector>

namespace engine::gfx {
class DemoLoader;
class Spatial;
} // namespace engine::gfx

namespace engine {

struct EditorScene {
    std::string name;
    // In demo seconds.
    double start = 0.0;
    double length = 0.0;
};

// The program's side of the editor.
class EditorTimeline {
public:
    virtual ~EditorTimeline() = default;
    // The scenes in playing order; only those that loaded.
    virtual std::vector<EditorScene> Scenes() const = 0;
    // Index of the scene on screen; -1 when none is.
    virtual int SceneOnScreen() const = 0;
    // Puts the scene that holds `seconds` on screen as a run from the demo's start has it at that time,
    // after SeekDemo has moved the clock and the music there (see ReplaySceneOnScreen).
    virtual void ShowSceneAt(double seconds) = 0;
    // While set, the scene on screen starts again from its start whenever it ends.
    virtual void SetSceneLoop(bool loop) = 0;
    virtual bool SceneLoop() const = 0;
};

// Registers the editor (module 20): its keys, read from the input table every pass, and the overlay.
// The timeline must outlive the main loop. Particles become repeatable, as in a capture, so that a seek
// shows what a capture shows. Call after CreateTALVOWindow, before the timeline loads its scenes.
//   Space pause/resume      Left/Right a beat (Shift: a bar, Ctrl: a row)   Home the scene's start
//   PageUp/PageDown the previous/next scene    1-9 that scene    L loop the scene
//   - / + playback speed 0.25x, 0.5x, 1x, 2x (silent away from 1x)           Tab the overlay
ENGINE_API void UseEditor(EditorTimeline& timeline);

// The transport. Paused, the demo's time and the music stand still; resuming goes on from the sample
// after the last one played. Away from 1x the music is silent and the time runs on the machine's
// clock at that speed; back at 1x the music plays again from the demo's time, exact to the sample.
ENGINE_API void PauseDemo(bool paused);
ENGINE_API bool DemoPaused();
ENGINE_API void SetDemoSpeed(double speed);
ENGINE_API double DemoSpeed();
// Moves the clock and the music to `seconds` (SetDemoTime) and has the timeline show the scene there.
ENGINE_API void SeekDemo(double seconds);

// How a timeline rebuilds a scene for a seek, as a capture would have drawn it. A capture steps the
// demo by fixed frames; replays use the timer's fixed steps where it has them and the capture's
// default of 60 a second otherwise.
ENGINE_API int ReplayStepsPerSecond();
// Starts the particles' random sequence and emission clocks afresh, as a capture's first frame does.
ENGINE_API void RestartParticles();
// Runs the emission clocks and the random sequence as the emitters of `scene` would over `steps`
// replay steps, moving no particle: for the scenes a run from the start would have shown before.
ENGINE_API void SkipSceneEmissions(gfx::Spatial& scene, int steps);
// Reads the scene's file again, as at the start: no time passes for its animation while it loads. The
// program hangs its modifiers and emitters on it again. Failures throw Exception; the scene is then
// as it was.
ENGINE_API void LoadSceneAgain(gfx::DemoLoader& scene);
// Walks the scene on screen `seconds` on, in replay steps, without drawing: its animation and its
// particles land where a capture has them after that long on screen.
ENGINE_API void ReplaySceneOnScreen(double seconds);

// Where the music stands at a demo time, as the module's own tempo counts it.
struct MusicPlace {
    int order = 0;
    int pattern = 0;
    int row = 0;
    // Seconds of one row, and the rows of a beat and of a bar (4 and 16 in the demo's tracker's way).
    double rowSeconds = 0.0;
    int rowsPerBeat = 4;
    int rowsPerBar = 16;
};
// False when no music is loaded.
ENGINE_API bool GetMusicPlace(double seconds, MusicPlace& place);

} // namespace engine
