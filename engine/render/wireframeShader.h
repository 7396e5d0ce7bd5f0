// The built-in shader that draws an object's edges in its material's ambient colour, untextured.
// It is also what effects fall back to when no effect-file candidate runs on the device.
#pragma once

#include "render/fixedFunctionShader.h"

namespace engine::gfx {

class WireframeShader : public FixedFunctionShader {
public:
    std::set<int> GetStreams() override;
    // Pass 0 switches the fill mode to wireframe; EndPass switches it back to solid.
    int BeginPass(unsigned pass) override;
    void EndPass() override;
    std::string GetName() override;
    int GetType() override;

protected:
    gpu::Material DeviceMaterial(const Material& material) override;
    bool UsesTexture() override;
    const wchar_t* RenderCaption() override;
};

} // namespace engine::gfx
