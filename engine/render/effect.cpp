#include "render/effect.h"

#include "render/shader.h"

namespace engine::gfx {

void Effect::AddShader(boost::shared_ptr<Shader> shader) {
    passes.push_back(shader);
    if (!shader)
        return;
    for (int stream : shader->GetStreams())
        streams.insert(stream);
}

bool Effect::IsSupported() {
    gpu::Caps caps;
    // Without a device every capability reads as absent; each shader decides what that means.
    if (gpu::Device* device = ShaderDevice(); device != nullptr)
        device->GetDeviceCaps(caps);
    for (const boost::shared_ptr<Shader>& shader : passes)
        if (shader && !shader->IsSupported(caps))
            return false;
    return true;
}

void Effect::Finalize() {
    for (const boost::shared_ptr<Shader>& shader : passes)
        if (shader)
            shader->BindParameters();
}

} // namespace engine::gfx
