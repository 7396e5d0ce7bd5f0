// The editor's overlay, drawn with Dear ImGui over the finished picture (never into it, so the demo's
// own passes and a capture are untouched): where the demo stands (scene, times, the music's order,
// pattern, row and beat, frames per second), the transport's state with buttons for it, how the last
// reload went, and a strip of the scenes along the bottom with the play head, on which a click seeks.
#pragma once

#include "gpu/glOverlay.h"

#include <engine/editor.h>

#include <cstdint>
#include <memory>
#include <vector>

struct ImGuiContext;

namespace engine::editor {

class EditorModule;

class Overlay {
public:
    explicit Overlay(EditorModule& editor);
    ~Overlay();
    Overlay(const Overlay&) = delete;
    Overlay& operator=(const Overlay&) = delete;

    void Toggle() { visible = !visible; }
    bool Visible() const { return visible; }

private:
    // Runs inside the renderer's frame, after the scene and before the present.
    void Draw();
    void FeedInput();
    void ShowStatus(const std::vector<EditorScene>& scenes);
    void ShowTransport();
    void ShowTimeline(const std::vector<EditorScene>& scenes);

    EditorModule& editor;
    ImGuiContext* context = nullptr;
    std::unique_ptr<gpu::GlOverlay> backend;
    bool ready = false;
    bool visible = true;
    std::uint64_t lastCounter = 0;
    // The frame time shown, smoothed over the overlay's calls.
    double frameSeconds = 0.0;
};

} // namespace engine::editor
