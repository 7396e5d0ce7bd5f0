// The mouse cursor over the demo's window. A program may ask for it hidden before any window exists;
// the wish is kept and applied once the video system is up.
#pragma once

namespace engine::platform {

void HideCursor();
// Called by the window once the video system is initialised.
void ApplyCursorVisibility();
bool IsCursorHidden();

} // namespace engine::platform
