// Draws Dear ImGui's draw lists with the OpenGL 3 back end that Debian's libimgui ships: the one place
// besides the device where OpenGL is called. It draws on whatever framebuffer is bound, and puts back
// every state it changes, so the device's idea of what OpenGL holds stays true.
#pragma once

struct ImDrawData;

namespace engine::gpu {

class GlOverlay {
public:
    // The ImGui context must exist. False when the back end cannot load OpenGL or build its program.
    bool Initialise();
    ~GlOverlay();

    // Before ImGui::NewFrame: makes the font texture the first time.
    void BeginFrame();
    void Draw(ImDrawData* lists);

private:
    bool ready = false;
};

} // namespace engine::gpu
