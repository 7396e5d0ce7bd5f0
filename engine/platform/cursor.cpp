#include "platform/cursor.h"

#include <SDL.h>

namespace engine::platform {

namespace {
bool cursorHidden = false;
} // namespace

void HideCursor() {
    cursorHidden = true;
    ApplyCursorVisibility();
}

void ApplyCursorVisibility() {
    if (cursorHidden && SDL_WasInit(SDL_INIT_VIDEO) != 0)
        SDL_ShowCursor(SDL_DISABLE);
}

bool IsCursorHidden() {
    return cursorHidden;
}

} // namespace engine::platform
