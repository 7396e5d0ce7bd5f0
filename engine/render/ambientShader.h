// The built-in shader that draws an object in its material's ambient colour, modulated by texture
// slot 0 when the material has one. It sets no pass state: the device keeps the window's states.
#pragma once

#include "render/fixedFunctionShader.h"

namespace engine::gfx {

class AmbientShader : public FixedFunctionShader {
public:
    std::set<int> GetStreams() override;
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
