// The texture resources: image files loaded into managed textures, and square render-target textures
// that the renderer copies pictures into and that are rebuilt, empty, after a device reset. The compiled
// effect resource, on the effect runtime, is unmanaged too: GetResource files it beside the targets.
#pragma once

#include "gpu/device.h"
#include "resources/resourceManager.h"

namespace engine::core::resources {

// An image file with a full mip chain. It lives in a pool that survives a device reset.
class ManagedTexture : public Resource, public ResourceRetriever<gpu::Texture*> {
public:
    explicit ManagedTexture(std::wstring name);
    // Releases the texture if the manager's teardown has not: a replaced or orphaned resource would
    // otherwise keep its device memory for the rest of the run.
    ~ManagedTexture() override;

    // On failure: ERROR "Failed to create texture <name>: <the reason>".
    void Load() override;
    void Unload() override;
};

// A square texture in the back buffer's format that the renderer stretches pictures into.
class RenderTargetTexture : public UnmanagedResource, public ResourceRetriever<gpu::Texture*> {
public:
    static constexpr int kDefaultSize = 256;

    explicit RenderTargetTexture(std::wstring name);
    RenderTargetTexture(std::wstring name, int size);
    // Releases the texture of a target replaced by a new one of the same name once nobody holds it.
    ~RenderTargetTexture() override;

    // On failure: a WARNING row naming the target and its size, then the ERROR row.
    void Load() override;
    void Unload() override;
    // The texture's contents are lost with the device; a new, empty one is made after the reset.
    void OnLostDevice() override;
    void OnResetDevice() override;

    int GetSize() const { return size; }

private:
    int size;
};

} // namespace engine::core::resources
