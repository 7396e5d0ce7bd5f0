#include "render/renderer.h"

#include "core/logging.h"
#include "core/timer.h"
#include "perf/zones.h"
#include "platform/window.h"
#include "render/effect.h"
#include "render/material.h"
#include "render/renderObject.h"
#include "render/shader.h"
#include "resources/resourceTypes.h"
#include "scene/lightManager.h"
#include <engine/scene.h>

#include <boost/make_shared.hpp>

#include <chrono>
#include <thread>

namespace engine::gfx {

using core::resources::RenderTargetTexture;

namespace {

constexpr int kRendererPriority = 6000;
const wchar_t kLastFrameName[] = L"lastFrame";

void SleepFor(std::uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace

Renderer::Renderer() : root(boost::make_shared<Node>(nullptr)), sleep(SleepFor) {
    name = L"Renderer";
    priority = kRendererPriority;
}

Renderer::~Renderer() {
    queue.clear();
    scene.reset();
    root.reset();
}

bool Renderer::Start() {
    deviceLost = false;
    if (gpu::Device* device = core::CWin32Window::Get()->device; device != nullptr)
        FetchBackBuffer(*device);
    return true;
}

void Renderer::Stop() {
    backBuffer = {};
    targetSurfaces.clear();
}

void Renderer::Update() {
    queue.clear();
    gpu::Device* device = core::CWin32Window::Get()->device;
    if (device == nullptr)
        return;
    if (deviceLost && !RecoverDevice(*device)) {
        KeepSceneMoving();
        return;
    }
    // A renderer started before the window had its device asks for the back buffer now.
    if (!backBuffer)
        FetchBackBuffer(*device);
    FirstFrameSetup();
    if (!gpu::Failed(device->BeginScene())) {
        try {
            DrawScene(*device);
        } catch (...) {
            // A shader that reports an error must not leave the scene open, or no later frame could
            // begin one.
            device->EndScene();
            throw;
        }
    }
    device->EndScene();
    if (overlay && backBuffer) {
        device->SetRenderTarget(0, backBuffer.Get());
        overlay();
    }
    Present(*device);
}

bool Renderer::RecoverDevice(gpu::Device& device) {
    if (device.TestCooperativeLevel() != gpu::kDeviceNotReset) {
        sleep(kLostDeviceSleepMs);
        return false;
    }
    LOG_MESSAGE("D3DDevice reseting");
    core::CWin32Window* window = core::CWin32Window::Get();
    if (!gpu::Failed(device.Reset(window->presentParameters))) {
        // Reset returns every device state to its default: the window's camera and render states go
        // back in, and the back buffer is asked for again.
        window->SetupDefaults();
        FetchBackBuffer(device);
    }
    // Nothing is bound after a reset, and the targets may have new textures.
    drawState.Forget();
    targetSurfaces.clear();
    // Cleared first, so that a render target that cannot be rebuilt does not keep every later pass
    // waiting for a reset that already happened.
    deviceLost = false;
    core::ResourceManager::Get()->OnResetDevice();
    return true;
}

void Renderer::KeepSceneMoving() {
    // Animations and particles step by the time since the last pass: a walk skipped here would leave
    // the scene behind the music for the rest of the demo. What it submits cannot be drawn.
    LightManager::Get()->BeginWalk();
    root->Update(this);
    queue.clear();
    LastFrameDue();
}

void Renderer::FirstFrameSetup() {
    if (framesStarted)
        return;
    currentTarget.reset();
    lastFrame = core::ResourceManager::Get()->GetResource<RenderTargetTexture>(kLastFrameName);
    framesStarted = true;
    // Asked for now, so that the frame of the first copy does not allocate.
    targetSurfaces.reserve(kMostKeptSurfaces);
    if (lastFrame && lastFrame->Retrieve() != nullptr)
        TargetSurface(*lastFrame->Retrieve());
}

void Renderer::DrawScene(gpu::Device& device) {
    ClearTargetAndDepth(device);
    {
        perf::ScopedZone walk(perf::Zone::SceneWalk);
        LightManager::Get()->BeginWalk();
        root->Update(this);
    }
    {
        perf::ScopedZone queueing(perf::Zone::Queue);
        SortQueue();
        PrepareShaders();
        SortQueue();
        DrawQueue(device);
    }
    RefreshLastFrame(device);
}

void Renderer::Submit(boost::shared_ptr<RenderObject> object) {
    if (!object || !object->material || !object->material->effect)
        return;
    const std::vector<boost::shared_ptr<Shader>>& passes = object->material->effect->GetPasses();
    for (std::size_t index = 0; index < passes.size(); ++index) {
        if (!passes[index])
            continue;
        QueueEntry entry;
        entry.shaderIndex = static_cast<int>(index);
        entry.object = object;
        entry.shader = passes[index].get();
        queue.push_back(std::move(entry));
    }
}

void Renderer::SortQueue() {
    SortQueueEntries(queue);
}

void Renderer::ClearRoot() {
    root->ClearChildren();
}

void Renderer::AttachToRoot(boost::shared_ptr<Spatial> child) {
    root->AddChild(std::move(child));
}

void Renderer::SetScene(boost::shared_ptr<Spatial> newScene) {
    scene = std::move(newScene);
}

void Renderer::PrepareShaders() {
    // Prepare may submit objects of its own: the bound is read again after every call.
    Shader* previous = nullptr;
    for (std::size_t i = 0; i < queue.size(); ++i) {
        Shader* shader = queue[i].shader;
        if (previous == nullptr || !SharesState(*shader, *previous)) {
            shader->Prepare();
            previous = shader;
        }
    }
}

void Renderer::DrawQueue(gpu::Device& device) {
    batch.clear();
    Shader* leader = nullptr;
    for (std::size_t i = 0; i < queue.size(); ++i) {
        Shader& shader = *queue[i].shader;
        const bool changed = leader != nullptr && !SharesState(shader, *leader);
        const bool retarget = shader.GetRenderTarget() != currentTarget;
        if ((changed || retarget) && leader != nullptr)
            Flush(*leader);
        batch.push_back({queue[i].object, &shader});
        if (retarget)
            SwitchTarget(device, shader);
        leader = &shader;
    }
    if (leader != nullptr)
        Flush(*leader);
}

void Renderer::Flush(Shader& leader) {
    // Passes are begun and ended on the leader; each entry draws with its own shader's parameters.
    perf::ScopedZone binding(perf::Zone::Binding);
    const int passCount = leader.BeginPass(0);
    for (int pass = 0; pass < passCount; ++pass) {
        for (const BatchEntry& entry : batch)
            entry.shader->Render(entry.object);
        leader.EndPass();
        leader.BeginPass(static_cast<unsigned>(pass + 1));
    }
    batch.clear();
}

void Renderer::SwitchTarget(gpu::Device& device, Shader& shader) {
    // The picture built so far belongs to the target being left; the back buffer then starts afresh.
    CopyBackBufferInto(device, currentTarget.get());
    ClearTargetAndDepth(device);
    currentTarget = shader.GetRenderTarget();
}

bool Renderer::LastFrameDue() {
    copyTimer += core::Timer::Get()->SinceLast();
    if (copyTimer <= kLastFramePeriod)
        return false;
    while (copyTimer > kLastFramePeriod)
        copyTimer -= kLastFramePeriod;
    return true;
}

void Renderer::RefreshLastFrame(gpu::Device& device) {
    if (LastFrameDue())
        CopyBackBufferInto(device, lastFrame.get());
}

void Renderer::Present(gpu::Device& device) {
    if (!gpu::Failed(device.Present()))
        return;
    targetSurfaces.clear();
    core::ResourceManager::Get()->OnLostDevice();
    deviceLost = true;
    LOG_WARNING("D3DDevice lost");
}

void Renderer::CopyBackBufferInto(gpu::Device& device, RenderTargetTexture* target) {
    // A target whose texture could not be made (or is gone with the device) receives nothing.
    if (target == nullptr || !backBuffer || target->Retrieve() == nullptr)
        return;
    if (gpu::Surface* surface = TargetSurface(*target->Retrieve()))
        device.StretchRect(backBuffer.Get(), surface, gpu::FilterLinear);
}

gpu::Surface* Renderer::TargetSurface(gpu::Texture& texture) {
    for (const KeptSurface& kept : targetSurfaces)
        if (kept.texture.Get() == &texture)
            return kept.surface.Get();
    gpu::Surface* surface = nullptr;
    if (gpu::Failed(texture.GetSurfaceLevel(0, &surface)) || surface == nullptr)
        return nullptr;
    if (targetSurfaces.size() >= kMostKeptSurfaces)
        targetSurfaces.clear();
    targetSurfaces.push_back({gpu::Ref<gpu::Texture>(&texture), gpu::Ref<gpu::Surface>::Adopt(surface)});
    return surface;
}

void Renderer::ClearTargetAndDepth(gpu::Device& device) {
    device.Clear(gpu::ClearTarget | gpu::ClearZBuffer, core::CWin32Window::Get()->clearColor, 1.0f, 0);
}

void Renderer::FetchBackBuffer(gpu::Device& device) {
    backBuffer = {};
    gpu::Surface* surface = nullptr;
    if (!gpu::Failed(device.GetRenderTarget(0, &surface)) && surface != nullptr)
        backBuffer = gpu::Ref<gpu::Surface>::Adopt(surface);
}

} // namespace engine::gfx
