// The screen module: creates the main window and its device from the display settings, removes one
// window message per pass of the main loop and dispatches it, turns the quit message into a quit
// request, and gives the device up when the kernel stops.
#pragma once

#include "platform/window.h"

#include <engine/module.h>
#include <engine/singleton.h>
#include <engine/windowSettings.h>

namespace engine::core {

class CScreen : public Module, public pattern::Creator<CScreen> {
public:
    CScreen();
    // Creates and initialises the window singleton; failures throw with their ERROR row.
    void Init(WindowSettings settings);

    bool Start() override;
    void Update() override;
    void Stop() override;

    WindowMessage lastMessage;
};

} // namespace engine::core
