#include "platform/messageBox.h"

#include "core/textConversion.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace engine::platform {

namespace {

SDL_Window* ownerWindow = nullptr;
MessageBoxHandler handler;

// A real box blocks until someone clicks it, so it is shown only where a person can see it.
bool DisplayAvailable() {
    const char* driver =
        SDL_WasInit(SDL_INIT_VIDEO) != 0 ? SDL_GetCurrentVideoDriver() : std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0))
        return false;
    return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
}

} // namespace

void ShowMessageBox(const std::wstring& text, const std::wstring& caption, MessageBoxOwner owner) {
    if (handler) {
        handler(text, caption, owner);
        return;
    }
    const std::string narrowText = core::WideToNarrow(text);
    const std::string narrowCaption = core::WideToNarrow(caption);
    if (DisplayAvailable()) {
        SDL_Window* parent = owner == MessageBoxOwner::MainWindow ? ownerWindow : nullptr;
        if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, narrowCaption.c_str(), narrowText.c_str(),
                                     parent) == 0)
            return;
    }
    std::fprintf(stderr, "%s: %s\n", narrowCaption.c_str(), narrowText.c_str());
}

void SetMessageBoxOwnerWindow(SDL_Window* window) {
    ownerWindow = window;
}

void SetMessageBoxHandler(MessageBoxHandler newHandler) {
    handler = std::move(newHandler);
}

} // namespace engine::platform
