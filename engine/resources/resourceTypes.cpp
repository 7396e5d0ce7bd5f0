#include "resources/resourceTypes.h"

#include "core/logging.h"
#include "core/textConversion.h"
#include "platform/window.h"

#include <sstream>

namespace engine::core::resources {

namespace {

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
        LOG_WARNING("Texture " + narrowName + ": " + reason);
        LOG_ERROR("Failed to create texture " + narrowName);
    }
}

void ManagedTexture::Unload() {
    if (resource != nullptr)
        resource->Release();
    resource = nullptr;
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
    if (resource != nullptr)
        resource->Release();
    resource = nullptr;
}

void RenderTargetTexture::OnLostDevice() {
    Unload();
}

void RenderTargetTexture::OnResetDevice() {
    Load();
}

} // namespace engine::core::resources
