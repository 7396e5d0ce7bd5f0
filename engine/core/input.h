// Keyboard and mouse state as the window reports it, and the module that snapshots it once per pass
// so that key edges can be asked for. Keys are indexed by Windows virtual-key number (Escape is 27).
#pragma once

#include <engine/module.h>
#include <engine/singleton.h>

#include <cstdint>

namespace engine::core {

class Input : public pattern::Singleton<Input> {
public:
    static constexpr int kKeyCount = 256;
    enum Button { Left = 0, Middle = 1, Right = 2 };

    // Window events. Codes outside 0-255 are ignored.
    void SetKey(int code, bool down);
    void SetMousePosition(int x, int y);
    void SetButton(Button button, bool down);

    bool IsPressed(int key) const;
    bool IsHeld(int key) const;
    bool IsReleased(int key) const;

    void Clear();
    void Snapshot();

    std::int32_t mouseX = 0, mouseY = 0;
    std::int32_t mouseOffsetX = 0, mouseOffsetY = 0;
    std::uint8_t keys[kKeyCount] = {};
    std::uint8_t previousKeys[kKeyCount] = {};
    std::uint8_t previousButtons[3] = {};
    std::uint8_t buttons[3] = {};
};

// Copies the current keys and buttons into the previous ones, once per pass. Modules updated before
// it see this pass's edges; modules after it see the keys as held or not.
class InputUpdate : public Module {
public:
    InputUpdate();
    bool Start() override;
    void Update() override;
    // Deletes the Input instance.
    void Stop() override;
};

} // namespace engine::core
