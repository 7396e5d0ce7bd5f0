#include "gpu/glOverlay.h"

#include <epoxy/gl.h>
#include <imgui.h>
#include <imgui/backends/imgui_impl_opengl3.h>

namespace engine::gpu {

namespace {
// The device asks for a 3.3 core context.
const char kShaderVersion[] = "#version 330 core";
} // namespace

bool GlOverlay::Initialise() {
    ready = ImGui_ImplOpenGL3_Init(kShaderVersion);
    return ready;
}

GlOverlay::~GlOverlay() {
    if (ready)
        ImGui_ImplOpenGL3_Shutdown();
}

void GlOverlay::BeginFrame() {
    ImGui_ImplOpenGL3_NewFrame();
}

void GlOverlay::Draw(ImDrawData* lists) {
    // The back end keeps everything but the colour mask, which a pass may have left closed.
    GLboolean mask[4] = {GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE};
    glGetBooleanv(GL_COLOR_WRITEMASK, mask);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    ImGui_ImplOpenGL3_RenderDrawData(lists);
    glColorMask(mask[0], mask[1], mask[2], mask[3]);
}

} // namespace engine::gpu
