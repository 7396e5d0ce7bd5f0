#include "render/fixedFunctionShader.h"

#include "platform/messageBox.h"
#include "render/material.h"
#include "render/renderObject.h"
#include "render/renderer.h"
#include "resources/resourceTypes.h"

namespace engine::gfx {

namespace {
constexpr int kBuiltinPriority = 100;
} // namespace

gpu::ColorValue ColorFrom(const float rgb[3], float alpha) {
    return {rgb[0], rgb[1], rgb[2], alpha};
}

bool FixedFunctionShader::IsSupported(const gpu::Caps&) {
    return true;
}

void FixedFunctionShader::BindParameters() {}

int FixedFunctionShader::GetPriority() {
    return kBuiltinPriority;
}

void FixedFunctionShader::Render(boost::shared_ptr<RenderObject> object) {
    gpu::Device* device = ShaderDevice();
    Renderer* renderer = ShaderRenderer();
    if (device == nullptr || renderer == nullptr || !object)
        return;
    static const Material kPlain;
    const Material& material = object->material ? *object->material : kPlain;

    device->SetMaterial(DeviceMaterial(material));
    device->SetTransform(gpu::TransformWorld, object->world);
    gpu::Texture* texture = nullptr;
    if (UsesTexture() && material.textures[0])
        texture = material.textures[0]->Retrieve();
    device->SetTexture(0, texture);
    renderer->GetDrawStateCache().Bind(*device, *object);
    const gpu::Result result = device->DrawIndexedPrimitive(
        object->primitiveType, 0, 0, static_cast<std::uint32_t>(object->numVertices), 0,
        static_cast<std::uint32_t>(object->primitiveCount));
    if (gpu::Failed(result))
        platform::ShowMessageBox(L"Could Not Render", RenderCaption(), platform::MessageBoxOwner::None);
}

} // namespace engine::gfx
