// The demo's timeline: loads the nine scenes with their array modifiers and particle emitters when it
// is registered, then shows them one after another, each for the length stored in its file, switching
// the renderer's scene at each boundary; it quits after the ninth (or starts again when looping, with
// the next round's scenes loaded one a pass while the ninth plays) and when Escape is held. For the live
// editor it tells where its scenes lie and shows any of them from any moment as a capture would have it
// there.
#pragma once

#include <engine/engine.h>

#include <array>
#include <vector>

class TestScene1 : public engine::core::Module, public engine::EditorTimeline {
public:
    static constexpr int kSceneCount = 9;

    // firstScene 1 to 9: where the demo starts, with the clock and the music at that scene's time.
    explicit TestScene1(int firstScene = 1, bool loop = false);

    bool Start() override;
    void Update() override;
    void Stop() override;

    // The scene shown now (null before Start, after the last one and when a scene failed to load), and
    // the loaded scene of index 0 to 8 (null where loading stopped).
    engine::gfx::DemoLoader* CurrentScene() const { return currentScene; }
    engine::gfx::DemoLoader* SceneAt(int index) const { return scenes[index]; }

    // In seconds: the frame count times the single-precision 0.04 that the switch compares against.
    static double SceneDuration(const engine::gfx::DemoLoader& scene);

    std::vector<engine::EditorScene> Scenes() const override;
    int SceneOnScreen() const override;
    // The scenes before it are accounted for in the particles' random sequence, the scene itself is
    // loaded afresh and replayed from its start up to `seconds`.
    void ShowSceneAt(double seconds) override;
    void SetSceneLoop(bool on) override { sceneLoop = on; }
    bool SceneLoop() const override { return sceneLoop; }
    // The steps of a clock of stepsPerSecond at which a run from the demo's start switches to each
    // loaded scene (the first is 0): the first step whose time lies past the scene before's length.
    std::vector<long long> SwitchSteps(int stepsPerSecond) const;

private:
    void LoadScenes();
    // Scene number 1 to 9 into `slot`, then decorated: a scene whose decoration fails stays loaded.
    static void LoadScene(int scene, engine::gfx::DemoLoader*& slot);
    // Loads the next round's first scene not loaded yet; a failure is reported once, and the demo then
    // ends after this round.
    void LoadNextRoundScene();
    // Plays the next round from the top, with the scenes loaded ahead.
    void StartNextRound();
    // Shows the first scene, with the clock and the music at its time, once it and those before it loaded.
    void Begin();
    static void DestroyScenes(std::array<engine::gfx::DemoLoader*, kSceneCount>& loaders);
    void ShowScene(int index);

    engine::gfx::DemoLoader* currentScene = nullptr;
    // Null until loaded: a scene file that fails to load leaves its slot and the later ones empty.
    std::array<engine::gfx::DemoLoader*, kSceneCount> scenes{};
    // When looping: fresh scenes for the next round, so that its animations start from their beginning.
    std::array<engine::gfx::DemoLoader*, kSceneCount> nextRound{};
    int nextRoundLoaded = 0;
    bool nextRoundFailed = false;
    int firstScene;
    bool loop;
    bool sceneLoop = false;
};
