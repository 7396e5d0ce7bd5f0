#include "resources/fxEffect.h"

#include "core/logging.h"
#include "core/textConversion.h"
#include "platform/window.h"

#include <memory>

namespace engine::core::resources {

namespace {

std::unique_ptr<gfx::SharedParameterPool> sharedEffectPool;

// Every diagnostic on one row, so the log's row structure stays intact.
std::string DiagnosticsRow(const std::vector<gfx::EffectDiagnostic>& diagnostics) {
    std::string row;
    for (const gfx::EffectDiagnostic& diagnostic : diagnostics) {
        if (!row.empty())
            row += "; ";
        row += diagnostic.Text();
    }
    for (char& c : row)
        if (c == '\n' || c == '\r')
            c = ' ';
    return row;
}

} // namespace

FXEffect::FXEffect(std::wstring name) : UnmanagedResource(std::move(name)) {}

FXEffect::FXEffect(std::wstring name, gfx::CompiledEffect* compiled) : UnmanagedResource(std::move(name)) {
    resource = compiled;
}

FXEffect::~FXEffect() {
    Unload();
}

gfx::SharedParameterPool* FXEffect::SharedPool() {
    if (!sharedEffectPool)
        sharedEffectPool = std::make_unique<gfx::SharedParameterPool>();
    return sharedEffectPool.get();
}

void FXEffect::Load() {
    const std::string narrowName = WideToNarrow(name);
    LOG_MESSAGE("Creating .fx effect " + narrowName);
    Unload();
    gfx::SharedParameterPool* pool = SharedPool();
    gpu::Device* device = CWin32Window::Get()->device;
    std::vector<gfx::EffectDiagnostic> diagnostics;
    gpu::Result result = gpu::kFail;
    if (device != nullptr)
        result = gfx::CompiledEffect::CreateFromFile(device, narrowName, pool, &resource, &diagnostics);
    else
        diagnostics.push_back({narrowName, 0, "no graphics device"});
    if (gpu::Failed(result) || resource == nullptr) {
        if (resource != nullptr)
            resource->Release();
        resource = nullptr;
        if (!diagnostics.empty())
            LOG_WARNING("Effect " + narrowName + ": " + DiagnosticsRow(diagnostics));
        LOG_ERROR("Failed to create effect " + narrowName);
    }
}

void FXEffect::Unload() {
    if (resource != nullptr)
        resource->Release();
    resource = nullptr;
}

void FXEffect::OnLostDevice() {
    if (resource != nullptr)
        resource->OnLostDevice();
}

void FXEffect::OnResetDevice() {
    if (resource != nullptr)
        resource->OnResetDevice();
}

} // namespace engine::core::resources
