#include "render/diffuseShader.h"

#include "render/effect.h"
#include "render/material.h"
#include "scene/lightManager.h"

namespace engine::gfx {

namespace {
constexpr gpu::Color kPassAmbient = 0xAAAAAAAA;
constexpr gpu::Color kWindowAmbient = 0xFFFFFFFF;
constexpr float kLightRange = 1000.0f;
} // namespace

std::set<int> DiffuseShader::GetStreams() {
    return {StreamPositions, StreamNormals};
}

int DiffuseShader::BeginPass(unsigned pass) {
    gpu::Device* device = ShaderDevice();
    if (pass != 0 || device == nullptr)
        return 1;
    const math::Vector4f position = LightManager::Get()->FirstLightPosition();
    gpu::Light light;
    light.type = gpu::LightPoint;
    light.diffuse = {1.0f, 1.0f, 1.0f, 0.0f};
    light.position = {position.x, position.y, position.z};
    light.range = kLightRange;
    light.attenuation0 = 1.0f;
    device->SetLight(0, light);
    device->LightEnable(0, true);
    device->SetRenderState(gpu::RsAmbient, kPassAmbient);
    return 1;
}

void DiffuseShader::EndPass() {
    gpu::Device* device = ShaderDevice();
    if (device == nullptr)
        return;
    device->SetRenderState(gpu::RsAmbient, kWindowAmbient);
    device->LightEnable(0, false);
}

std::string DiffuseShader::GetName() {
    return "Diffuse";
}

int DiffuseShader::GetType() {
    return 3;
}

gpu::Material DiffuseShader::DeviceMaterial(const Material& material) {
    gpu::Material record;
    record.diffuse = ColorFrom(material.diffuseColor);
    record.ambient = ColorFrom(material.ambientColor);
    record.specular = ColorFrom(material.specularColor);
    record.power = material.specularPower;
    return record;
}

bool DiffuseShader::UsesTexture() {
    return true;
}

const wchar_t* DiffuseShader::RenderCaption() {
    return L"DiffuseShader::Render";
}

} // namespace engine::gfx
