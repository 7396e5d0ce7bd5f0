// The interface of one way of drawing a render object: pass protocol, sort priority, the vertex
// streams it needs and the render target it draws into. The built-in fixed-function shaders and the
// effect-file shader implement it; the renderer sorts, batches and drives them.
#pragma once

#include "gpu/device.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <set>
#include <string>

namespace engine::core::resources {
class RenderTargetTexture;
} // namespace engine::core::resources

namespace engine::core {
class Resource;
} // namespace engine::core

namespace engine::gfx {

class Renderer;
struct RenderObject;

class Shader {
public:
    Shader() = default;
    virtual ~Shader();
    Shader(const Shader&) = delete;
    Shader& operator=(const Shader&) = delete;

    virtual bool IsSupported(const gpu::Caps& caps) = 0;
    // Empty: the shader draws into the back buffer. Otherwise the renderer copies what was drawn into
    // that texture when a later entry switches targets.
    virtual boost::shared_ptr<core::resources::RenderTargetTexture> GetRenderTarget();
    // Streams needed from a mesh: 0 positions, 1 normals, 2 texture coordinates, 3 tangent frame.
    virtual std::set<int> GetStreams() = 0;
    // Called once when the shader's effect is chosen for use.
    virtual void BindParameters() = 0;
    // Called once per run of queue entries sharing this shader's state, before the final sort; may
    // submit objects of its own.
    virtual void Prepare();
    // Pass 0 starts the shader. Every call returns the pass count; an index at or past the count
    // changes nothing.
    virtual int BeginPass(unsigned pass) = 0;
    virtual void Render(boost::shared_ptr<RenderObject> object) = 0;
    virtual void EndPass() = 0;
    virtual std::string GetName() = 0;
    // 0 for the effect-file shader, 1 to 3 for the built-ins.
    virtual int GetType() = 0;
    // The first key of the render queue, ascending.
    virtual int GetPriority() = 0;

    // Asked of type-0 shaders only: the compiled effect they draw with (compared by identity) and
    // their technique's handle. Two type-0 shaders that agree on both share one batch.
    virtual const core::Resource* GetEffectResource();
    virtual std::uintptr_t GetTechniqueHandle();

protected:
    boost::shared_ptr<core::resources::RenderTargetTexture> target;
};

// The device and the renderer module the shaders draw with: set once when the effect pool is created
// (after the window and the renderer exist) and read by every shader.
void SetShaderContext(gpu::Device* device, Renderer* renderer);
gpu::Device* ShaderDevice();
Renderer* ShaderRenderer();

} // namespace engine::gfx
