#include "render/deviceLossInjection.h"

#include "core/logging.h"
#include "core/timer.h"
#include "gpu/device.h"
#include "platform/window.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace engine::gfx {

std::optional<double> DeviceLossInjection::RequestedTime() {
    const char* value = std::getenv(kVariable);
    if (value == nullptr)
        return std::nullopt;
    char* end = nullptr;
    const double seconds = std::strtod(value, &end);
    if (end == value || *end != '\0' || !std::isfinite(seconds) || seconds < 0)
        LOG_ERROR(std::string(kVariable) + " must be a demo time in seconds, not \"" + value + "\"");
    return seconds;
}

DeviceLossInjection::DeviceLossInjection(double seconds) : seconds(seconds) {
    name = L"DeviceLossInjection";
    priority = kPriority;
}

void DeviceLossInjection::Update() {
    gpu::Device* device = core::CWin32Window::Get()->device;
    const double now = core::Timer::Get()->Time();
    if (injected || device == nullptr || now < seconds)
        return;
    injected = true;
    LOG_MESSAGE("Losing the device at " + std::to_string(now) + " s, as " + kVariable + " asks");
    device->InjectDeviceLoss(kStillLostAnswers);
}

} // namespace engine::gfx
