// SDL key codes to the Windows virtual-key numbers the engine's key table is indexed by, so that
// isHeld(27) means Escape whatever the platform.
#pragma once

#include <SDL_keycode.h>

namespace engine::platform {

// The virtual-key number for an SDL key, or 0 for a key with none.
int VirtualKeyFromSdl(SDL_Keycode key);

} // namespace engine::platform
