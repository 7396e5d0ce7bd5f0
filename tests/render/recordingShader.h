// A shader with no device work: it writes its pass calls into a shared log ("A.BeginPass(0)",
// "A.Render(3)", where 3 is the object's vertex count, used as its label) and answers type,
// priority, target, effect and technique as configured.
#pragma once

#include "render/renderObject.h"
#include "render/shader.h"
#include "resources/resourceManager.h"
#include "resources/resourceTypes.h"

#include <functional>
#include <string>
#include <vector>

namespace quorvel::test {

class RecordingShader : public engine::gfx::Shader {
public:
    RecordingShader(std::string label, std::vector<std::string>* log, int type = 1, int priority = 100)
        : label(std::move(label)), log(log), type(type), priority(priority) {}

    void SetTarget(boost::shared_ptr<engine::core::resources::RenderTargetTexture> newTarget) {
        target = std::move(newTarget);
    }

    bool IsSupported(const engine::gpu::Caps&) override { return supported; }
    std::set<int> GetStreams() override { return streams; }
    void BindParameters() override { Write(".BindParameters"); }
    void Prepare() override {
        Write(".Prepare");
        if (onPrepare)
            onPrepare();
    }
    int BeginPass(unsigned pass) override {
        Write(".BeginPass(" + std::to_string(pass) + ")");
        return passes;
    }
    void Render(boost::shared_ptr<engine::gfx::RenderObject> object) override {
        Write(".Render(" + std::to_string(object->numVertices) + ")");
    }
    void EndPass() override { Write(".EndPass"); }
    std::string GetName() override { return label; }
    int GetType() override { return type; }
    int GetPriority() override { return priority; }
    const engine::core::Resource* GetEffectResource() override { return effect; }
    std::uintptr_t GetTechniqueHandle() override { return technique; }

    std::string label;
    std::vector<std::string>* log;
    int type;
    int priority;
    int passes = 1;
    bool supported = true;
    std::set<int> streams = {0};
    const engine::core::Resource* effect = nullptr;
    std::uintptr_t technique = 0;
    std::function<void()> onPrepare;

private:
    void Write(const std::string& what) {
        if (log != nullptr)
            log->push_back(label + what);
    }
};

} // namespace quorvel::test
