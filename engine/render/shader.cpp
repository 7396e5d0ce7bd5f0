#include "render/shader.h"

#include "resources/resourceTypes.h"

namespace engine::gfx {

namespace {
gpu::Device* shaderDevice = nullptr;
Renderer* shaderRenderer = nullptr;
} // namespace

Shader::~Shader() = default;

boost::shared_ptr<core::resources::RenderTargetTexture> Shader::GetRenderTarget() {
    return target;
}

void Shader::Prepare() {}

const core::Resource* Shader::GetEffectResource() {
    return nullptr;
}

std::uintptr_t Shader::GetTechniqueHandle() {
    return 0;
}

void SetShaderContext(gpu::Device* device, Renderer* renderer) {
    shaderDevice = device;
    shaderRenderer = renderer;
}

gpu::Device* ShaderDevice() {
    return shaderDevice;
}

Renderer* ShaderRenderer() {
    return shaderRenderer;
}

} // namespace engine::gfx
