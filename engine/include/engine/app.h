// The flat interface through which a program drives the engine: register modules, run the main loop,
// ask for the time and the keys, and quit.
#pragma once

#include <engine/deviceCaps.h>
#include <engine/export.h>
#include <engine/module.h>

#include <boost/shared_ptr.hpp>

#include <string>

namespace engine::gpu {
class Device;
} // namespace engine::gpu

namespace engine::gfx {
class Effect;
} // namespace engine::gfx

namespace engine {

// Registers a module under an ID and starts it at once.
ENGINE_API void AddModule(engine::core::Module* module, int id);
// Starts the timer, runs the main loop until a quit request has stopped every module, then deletes
// the engine's own modules and singletons.
ENGINE_API void StartApplication();
// Asks the main loop to stop every module at the top of its next pass.
ENGINE_API void QuitApplication();

// Seconds since the main loop began, and since the previous pass (at most 0.7).
ENGINE_API double GetTime();
ENGINE_API double GetSinceLast();

// Key queries by Windows virtual-key number (Escape is 27), against the snapshot the input module takes
// once per pass. Codes outside 0-255 are never down.
ENGINE_API bool isPressed(int key);
ENGINE_API bool isHeld(int key);
ENGINE_API bool isReleased(int key);

// The main window's graphics device, without an added reference; null before the window has one.
ENGINE_API gpu::Device* Direct3DDevice();
// A copy of the device's capabilities.
ENGINE_API gpu::Caps GetDirect3DCaps();
// Sets the main window's caption; does nothing while there is no window.
ENGINE_API void SetWindowTitle(std::wstring title);

// An effect built from the material script at scriptPath (the first candidate the device runs, else
// the built-in wireframe effect). A script that cannot be read or run throws Exception.
ENGINE_API boost::shared_ptr<engine::gfx::Effect> BuildEffect(const std::string& scriptPath);

} // namespace engine
