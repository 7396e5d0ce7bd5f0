// The built-in shader that lights an object per vertex with one point light at the first position of
// the light list (the origin while no light exists), with the material's diffuse, ambient and specular
// colours and texture slot 0.
#pragma once

#include "render/fixedFunctionShader.h"

namespace engine::gfx {

class DiffuseShader : public FixedFunctionShader {
public:
    std::set<int> GetStreams() override;
    // Pass 0 sets and enables light 0 and dims the global ambient; EndPass restores both.
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
