// The compiled effect file as a resource: loaded once per path through the resource manager, created
// into the one shared parameter pool so that parameters marked shared keep one value across every
// effect, and told about device loss so its values survive a reset.
#pragma once

#include "effects/compiledEffect.h"
#include "resources/resourceManager.h"

namespace engine::core::resources {

class FXEffect : public UnmanagedResource, public ResourceRetriever<gfx::CompiledEffect*> {
public:
    explicit FXEffect(std::wstring name);
    // Holds an effect compiled already: live editing compiles a changed file before the new resource
    // replaces the registered one.
    FXEffect(std::wstring name, gfx::CompiledEffect* compiled);
    // Releases the effect of a resource the manager no longer holds, as the texture resources do.
    ~FXEffect() override;

    // On failure: a WARNING row with the compiler's diagnostics (file, line and message of each), then
    // ERROR "Failed to create effect <name>".
    void Load() override;
    void Unload() override;
    // The effect keeps its parameter values across the loss and uploads them again after the reset.
    void OnLostDevice() override;
    void OnResetDevice() override;

    // The pool every effect is created into; made by the first Load, kept until the process exits.
    static gfx::SharedParameterPool* SharedPool();
};

} // namespace engine::core::resources
