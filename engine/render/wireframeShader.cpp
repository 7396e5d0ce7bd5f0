#include "render/wireframeShader.h"

#include "render/effect.h"
#include "render/material.h"

namespace engine::gfx {

std::set<int> WireframeShader::GetStreams() {
    return {StreamPositions};
}

int WireframeShader::BeginPass(unsigned pass) {
    if (pass == 0) {
        if (gpu::Device* device = ShaderDevice(); device != nullptr)
            device->SetRenderState(gpu::RsFillMode, gpu::FillWireframe);
    }
    return 1;
}

void WireframeShader::EndPass() {
    if (gpu::Device* device = ShaderDevice(); device != nullptr)
        device->SetRenderState(gpu::RsFillMode, gpu::FillSolid);
}

std::string WireframeShader::GetName() {
    return "Wireframe";
}

int WireframeShader::GetType() {
    return 2;
}

gpu::Material WireframeShader::DeviceMaterial(const Material& material) {
    gpu::Material record;
    record.ambient = ColorFrom(material.ambientColor);
    return record;
}

bool WireframeShader::UsesTexture() {
    return false;
}

const wchar_t* WireframeShader::RenderCaption() {
    return L"WireframeShader::Render";
}

} // namespace engine::gfx
