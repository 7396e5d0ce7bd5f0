#include "render/ambientShader.h"

#include "render/effect.h"
#include "render/material.h"

namespace engine::gfx {

std::set<int> AmbientShader::GetStreams() {
    return {StreamPositions, StreamTexCoords};
}

int AmbientShader::BeginPass(unsigned) {
    return 1;
}

void AmbientShader::EndPass() {}

std::string AmbientShader::GetName() {
    return "Ambient";
}

int AmbientShader::GetType() {
    return 1;
}

gpu::Material AmbientShader::DeviceMaterial(const Material& material) {
    gpu::Material record;
    record.diffuse = {1.0f, 1.0f, 1.0f, 1.0f};
    record.ambient = ColorFrom(material.ambientColor);
    return record;
}

bool AmbientShader::UsesTexture() {
    return true;
}

const wchar_t* AmbientShader::RenderCaption() {
    return L"AmbientShader::Render";
}

} // namespace engine::gfx
