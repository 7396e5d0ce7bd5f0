// The editor's module: reads the transport keys from the input table every pass, before the timer, and
// carries out what they and the overlay's controls ask (overlay.h draws it over the finished picture).
#pragma once

#include "editor/overlay.h"

#include <engine/editor.h>
#include <engine/module.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace engine::editor {

enum class StepUnit { Row, Beat, Bar };

// m:ss.cc
std::string Clock(double seconds);

class EditorModule : public core::Module {
public:
    static constexpr int kModuleId = 20;
    // After live editing has swapped in what was saved, before the timer takes this pass's time.
    static constexpr int kPriority = 45;

    explicit EditorModule(EditorTimeline& timeline);
    ~EditorModule() override;

    bool Start() override;
    void Update() override;
    void Stop() override;

    EditorTimeline& Timeline() { return timeline; }
    // What the overlay's controls ask is done at the top of the next pass, never while a frame draws.
    void Request(std::function<void()> action) { requested = std::move(action); }

    // The steps of the transport, as the keys make them.
    void TogglePause();
    // By a row, a beat or a bar of the music: to the next boundary after the time, or the last before.
    void Step(StepUnit unit, int direction);
    void ToScene(int index);
    void ToSceneStart();
    void ToggleLoop();
    void ChangeSpeed(int direction);

private:
    void ReadKeys();

    EditorTimeline& timeline;
    std::function<void()> requested;
    std::unique_ptr<Overlay> overlay;
};

} // namespace engine::editor
