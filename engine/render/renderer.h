// The renderer module: once per pass it walks the scene so geometry submits render objects, sorts and
// draws the queue in batches that share shader state, stretches the back buffer into render targets
// and (at most 25 times a second) into "lastFrame", presents, and recovers a lost device, keeping the
// scene moving while it waits.
#pragma once

#include "gpu/device.h"
#include "render/drawStateCache.h"
#include "render/renderQueue.h"

#include <engine/module.h>

#include <boost/shared_ptr.hpp>

#include <cstdint>
#include <functional>
#include <vector>

namespace engine::core::resources {
class RenderTargetTexture;
} // namespace engine::core::resources

namespace engine::gfx {

class Node;
class Spatial;

class Renderer : public core::Module {
public:
    // Waits between tests of a lost device; replaceable so tests need not sleep.
    using SleepFunction = void (*)(std::uint32_t milliseconds);
    static constexpr std::uint32_t kLostDeviceSleepMs = 200;
    // "lastFrame" is refreshed when this many seconds have gathered.
    static constexpr double kLastFramePeriod = 0.04;

    Renderer();
    ~Renderer() override;

    bool Start() override;
    // One frame.
    void Update() override;
    void Stop() override;

    // Queues the object once for every shader of its material's effect, in pass order. An object
    // without a material or effect queues nothing.
    void Submit(boost::shared_ptr<RenderObject> object);
    void SortQueue();

    boost::shared_ptr<Node> GetRootNode() const { return root; }
    // Detaches every child of the internal root.
    void ClearRoot();
    void AttachToRoot(boost::shared_ptr<Spatial> scene);
    // Keeps the scene alive while it is drawn.
    void SetScene(boost::shared_ptr<Spatial> scene);

    DrawStateCache& GetDrawStateCache() { return drawState; }
    const std::vector<QueueEntry>& GetQueue() const { return queue; }
    bool IsDeviceLost() const { return deviceLost; }
    double GetCopyTimer() const { return copyTimer; }
    void SetSleepFunction(SleepFunction function) { sleep = function; }
    // Drawn over the finished picture of every frame, on the back buffer, right before it is
    // presented: after "lastFrame" has taken its copy, so nothing of it reaches the demo's own passes.
    void SetOverlay(std::function<void()> draw) { overlay = std::move(draw); }

private:
    // Step by step, one frame: recover the device, draw, present.
    bool RecoverDevice(gpu::Device& device);
    // A pass while the device is lost: the scene is walked and the copy clock kept, nothing drawn.
    void KeepSceneMoving();
    void FirstFrameSetup();
    void DrawScene(gpu::Device& device);
    void PrepareShaders();
    void DrawQueue(gpu::Device& device);
    void Flush(Shader& leader);
    void SwitchTarget(gpu::Device& device, Shader& shader);
    // Adds the pass's time to the copy clock; true when "lastFrame" is due a copy.
    bool LastFrameDue();
    void RefreshLastFrame(gpu::Device& device);
    void Present(gpu::Device& device);
    // Stretches the back buffer into level 0 of the target's texture, when both exist.
    void CopyBackBufferInto(gpu::Device& device, core::resources::RenderTargetTexture* target);
    // Level 0 of a render-target texture, asked of the device once and kept.
    gpu::Surface* TargetSurface(gpu::Texture& texture);
    void ClearTargetAndDepth(gpu::Device& device);
    void FetchBackBuffer(gpu::Device& device);

    bool deviceLost = false;
    std::function<void()> overlay;
    boost::shared_ptr<Node> root;
    boost::shared_ptr<Spatial> scene;
    gpu::Ref<gpu::Surface> backBuffer;
    DrawStateCache drawState;
    std::vector<QueueEntry> queue;
    // Kept between frames with its storage, so that batching allocates nothing once it has grown.
    std::vector<BatchEntry> batch;
    // The surfaces of the render targets copied into, each with its texture so that neither goes
    // while it is kept; let go when the device is lost or reset, or the renderer stops.
    struct KeptSurface {
        gpu::Ref<gpu::Texture> texture;
        gpu::Ref<gpu::Surface> surface;
    };
    std::vector<KeptSurface> targetSurfaces;
    // More targets than a demo uses: textures replaced over a long run stop being kept.
    static constexpr std::size_t kMostKeptSurfaces = 16;

    // Set up by the first frame that reaches the drawing steps, then kept.
    bool framesStarted = false;
    boost::shared_ptr<core::resources::RenderTargetTexture> currentTarget;
    boost::shared_ptr<core::resources::RenderTargetTexture> lastFrame;
    double copyTimer = 0.0;

    SleepFunction sleep;
};

} // namespace engine::gfx
