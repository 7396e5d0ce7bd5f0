// The shader behind every pass of an effect built from a material script: it draws with one technique
// of a compiled effect file, feeding it the per-object semantic values (matrices, time, light), the
// script's constant, curve and texture values and the drawn material's textures. A technique can ask
// for a full-screen quad drawn with a material of its own, which is how post-processing is written.
#pragma once

#include "core/logging.h"
#include "effects/compiledEffect.h"
#include "render/shader.h"
#include "script/materialScript.h"

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace engine::core::resources {
class FXEffect;
class ManagedTexture;
} // namespace engine::core::resources

namespace engine::gfx {

class TVOMesh;

class FXShader : public Shader {
public:
    // effectPath is "data/fx/" followed by the pass's effect file. Throws (after an ERROR row) when
    // the file cannot be compiled, the technique does not exist or the quad material yields no effect.
    FXShader(std::string effectPath, PassDescription pass);
    ~FXShader() override;

    bool IsSupported(const gpu::Caps& caps) override;
    std::set<int> GetStreams() override;
    // Finds the semantic parameters the effect declares; called once when the effect is chosen.
    void BindParameters() override;
    // Submits the full-screen quad, when the technique asks for one.
    void Prepare() override;
    // Pass 0 sets and begins the technique. Returns the pass count of the technique begun last.
    int BeginPass(unsigned pass) override;
    void Render(boost::shared_ptr<RenderObject> object) override;
    // Ending the last pass ends the technique.
    void EndPass() override;
    std::string GetName() override;
    int GetType() override;
    int GetPriority() override;
    const core::Resource* GetEffectResource() override;
    std::uintptr_t GetTechniqueHandle() override;

    const PassDescription& GetPass() const { return pass; }
    const boost::shared_ptr<core::resources::FXEffect>& GetEffect() const { return effect; }
    bool DrawsQuad() const { return quad; }
    const boost::shared_ptr<TVOMesh>& GetQuadMesh() const { return quadMesh; }

    // Shared by every instance: a technique is begun and ended by one shader before another begins.
    static unsigned PassCount() { return passCount; }
    static unsigned CurrentPass() { return currentPass; }

    using Setter = void (*)(CompiledEffect& effect, ParameterHandle handle, const RenderObject& object);

private:
    struct SemanticBinding {
        ParameterHandle handle;
        Setter setter;
    };
    // The device texture a texture entry stands for, read at draw time: a render target gets a new
    // texture after a device reset.
    struct TextureSource {
        core::resources::ManagedTexture* file = nullptr;
        core::resources::RenderTargetTexture* target = nullptr;
    };

    CompiledEffect& Compiled() const;
    void LoadQuad(const std::string& effectPath);
    void ResolveHandles(const std::string& effectPath);
    void ResolveTextureSources();
    void SetScriptParameters(CompiledEffect& compiled, const RenderObject& object);
    void BindGeometry(gpu::Device& device, const RenderObject& object);

    // Defined here so that the row's file column names the shader's header.
    void ReportUnsupported() {
        LOG_WARNING("FXShader " + pass.fxFile + " with technique " + pass.technique + " not supported");
    }

    PassDescription pass;
    std::vector<SemanticBinding> semanticBindings;
    boost::shared_ptr<core::resources::FXEffect> effect;
    TechniqueHandle technique = nullptr;
    bool quad = false;
    boost::shared_ptr<TVOMesh> quadMesh;
    // The quad's object, submitted every frame and refilled once the queue has let it go.
    boost::shared_ptr<RenderObject> quadObject;
    std::vector<TextureSource> textureSources;

    static inline unsigned passCount = 0;
    static inline unsigned currentPass = 0;
};

} // namespace engine::gfx
