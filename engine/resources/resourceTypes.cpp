#include "resources/resourceTypes.h"

#include "core/logging.h"
#include "core/textConversion.h"
#include "effects/compiledEffect.h"
#include "platform/window.h"

#include <sstream>

namespace engine::core::resources {

namespace {

// Effects keep the textures their parameters were last given as plain pointers, and bind them when a
// pass begins, before the pass's own values are set again: a texture let go (a render target with a
// lost device, a texture reloaded or deleted) must leave them first, or the next pass binds freed memory.
void ReleaseTexture(gpu::Texture*& texture) {
    if (texture == nullptr)
        return;
    gfx::CompiledEffect::ForgetTexture(texture);
    texture->Release();
    texture = nullptr;
}

gpu::Device* WindowDevice() {
    return CWin32Window::Get()->device;
}

std::string ResultText(gpu::Result result) {
    std::ostringstream text;
    text << "0x" << std::hex << static_cast<std::uint32_t>(result);
    return text.str();
}

} // namespace

ManagedTexture::ManagedTexture(std::wstring name) : Resource(std::move(name)) {}

ManagedTexture::~ManagedTexture() {
    Unload();
}

void ManagedTexture::Load() {
    const std::string narrowName = WideToNarrow(name);
    LOG_MESSAGE("Creating managed texture " + narrowName);
    Unload();
    gpu::Device* device = WindowDevice();
    std::string reason = "no graphics device";
    if (device == nullptr || gpu::Failed(device->CreateTextureFromFile(name, &resource, &reason))) {
        resource = nullptr;
        LOG_ERROR("Failed to create texture " + narrowName + ": " + reason);
    }
}

void ManagedTexture::Unload() {
    ReleaseTexture(resource);
}

RenderTargetTexture::RenderTargetTexture(std::wstring name)
    : UnmanagedResource(std::move(name)), size(kDefaultSize) {}

RenderTargetTexture::RenderTargetTexture(std::wstring name, int size)
    : UnmanagedResource(std::move(name)), size(size) {}

RenderTargetTexture::~RenderTargetTexture() {
    Unload();
}

void RenderTargetTexture::Load() {
    LOG_MESSAGE("Creating render target texture");
    Unload();
    CWin32Window* window = CWin32Window::Get();
    gpu::Result result = gpu::kInvalidCall;
    if (window->device != nullptr && size > 0) {
        const auto side = static_cast<std::uint32_t>(size);
        result = window->device->CreateTexture(side, side, 1, gpu::UsageRenderTarget,
                                               static_cast<std::uint32_t>(window->settings.backBufferFormat),
                                               &resource);
    }
    if (gpu::Failed(result)) {
        resource = nullptr;
        LOG_WARNING("Render target " + WideToNarrow(name) + " of " + std::to_string(size) + " pixels: " +
                    (window->device == nullptr ? std::string("no graphics device")
                                               : "the device answered " + ResultText(result)));
        LOG_ERROR("Failed to create render target texture");
    }
}

void RenderTargetTexture::Unload() {
    ReleaseTexture(resource);
}

void RenderTargetTexture::OnLostDevice() {
    Unload();
}

void RenderTargetTexture::OnResetDevice() {
    Load();
}

} // namespace engine::core::resources
