#include "app/screen.h"

#include "core/kernel.h"
#include "core/logging.h"

namespace engine::core {

CScreen::CScreen() {
    priority = 10;
}

void CScreen::Init(WindowSettings settings) {
    CWin32Window* window = CWin32Window::Get();
    if (window->Create(settings) < 0)
        LOG_ERROR("Failed to create window");
    lastMessage = WindowMessage{};
    if (window->Initialize() < 0)
        LOG_ERROR("Failed to initialize");
}

bool CScreen::Start() {
    return true;
}

void CScreen::Update() {
    if (lastMessage.message == WmQuit) {
        Kernel::Get()->Quit();
        return;
    }
    CWin32Window* window = CWin32Window::Get();
    WindowMessage message;
    if (!window->PeekMessage(message))
        return;
    // The quit message belongs to the thread, not to the window: it is kept, not dispatched.
    if (message.message != WmQuit)
        window->WindowProc(message);
    lastMessage = message;
}

void CScreen::Stop() {
    CWin32Window::Get()->Shutdown();
}

} // namespace engine::core
