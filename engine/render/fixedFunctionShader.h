// What the three built-in shaders share: they run on any device, bind nothing in advance, and draw an
// object with the device's fixed-function path (material, world transform, texture stage 0, cached
// geometry binds, indexed draw). A failed draw shows the "Could Not Render" box and the frame goes on.
#pragma once

#include "render/shader.h"

namespace engine::gfx {

struct Material;

class FixedFunctionShader : public Shader {
public:
    bool IsSupported(const gpu::Caps& caps) override;
    void BindParameters() override;
    void Render(boost::shared_ptr<RenderObject> object) override;
    int GetPriority() override;

protected:
    // The device material record this shader draws the object's material with.
    virtual gpu::Material DeviceMaterial(const Material& material) = 0;
    // Whether texture slot 0 of the material is bound (otherwise stage 0 is left empty).
    virtual bool UsesTexture() = 0;
    // The caption of the failure box, "<class>::Render".
    virtual const wchar_t* RenderCaption() = 0;
};

// Red, green and blue from a material colour; alpha as given.
gpu::ColorValue ColorFrom(const float rgb[3], float alpha = 0.0f);

} // namespace engine::gfx
