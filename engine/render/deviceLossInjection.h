// A test hook for the real program's recovery from a lost device. With QUORVEL_LOSE_DEVICE_AT set to a
// demo time in seconds, the first pass at or after that time makes the device fail its Present, as a
// driver does when another program takes the screen, and answers "lost" to the next two tests before
// it may be reset; the renderer then recovers as it would from a real loss. The log has a MESSAGE row
// for the injection before the renderer's rows for the loss and the reset.
#pragma once

#include <engine/module.h>

#include <optional>

namespace engine::gfx {

class DeviceLossInjection : public core::Module {
public:
    static constexpr char kVariable[] = "QUORVEL_LOSE_DEVICE_AT";
    // Runs just before the renderer, so the loss falls on that pass's Present.
    static constexpr int kPriority = 5999;
    static constexpr std::uint32_t kStillLostAnswers = 2;

    // The time the variable asks for; none when it is unset. A value that is not a finite time of
    // zero or more is an ERROR naming the variable.
    static std::optional<double> RequestedTime();

    explicit DeviceLossInjection(double seconds);

    bool Start() override { return true; }
    void Update() override;
    void Stop() override {}

private:
    double seconds;
    bool injected = false;
};

} // namespace engine::gfx
