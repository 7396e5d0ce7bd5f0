#include "core/input.h"

#include <cstring>

namespace engine::core {

namespace {
bool ValidKey(int key) {
    return key >= 0 && key < Input::kKeyCount;
}
} // namespace

void Input::SetKey(int code, bool down) {
    if (ValidKey(code))
        keys[code] = down ? 1 : 0;
}

void Input::SetMousePosition(int x, int y) {
    mouseX = mouseOffsetX + x;
    mouseY = mouseOffsetY + y;
}

void Input::SetButton(Button button, bool down) {
    buttons[button] = down ? 1 : 0;
}

bool Input::IsPressed(int key) const {
    return ValidKey(key) && keys[key] != 0 && previousKeys[key] == 0;
}
bool Input::IsHeld(int key) const {
    return ValidKey(key) && keys[key] != 0 && previousKeys[key] != 0;
}
bool Input::IsReleased(int key) const {
    return ValidKey(key) && keys[key] == 0 && previousKeys[key] != 0;
}

void Input::Clear() {
    std::memset(previousButtons, 0, sizeof previousButtons);
    std::memset(buttons, 0, sizeof buttons);
    std::memset(keys, 0, sizeof keys);
    std::memset(previousKeys, 0, sizeof previousKeys);
    mouseX = mouseY = mouseOffsetX = mouseOffsetY = 0;
}

void Input::Snapshot() {
    std::memcpy(previousKeys, keys, sizeof keys);
    std::memcpy(previousButtons, buttons, sizeof buttons);
}

InputUpdate::InputUpdate() {
    name = L"Input";
    priority = 7000;
}

bool InputUpdate::Start() {
    Input::Get()->Clear();
    return true;
}

void InputUpdate::Update() {
    Input::Get()->Snapshot();
}

void InputUpdate::Stop() {
    delete Input::Get();
}

} // namespace engine::core
