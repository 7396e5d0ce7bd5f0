// The flat interface through which a program drives the engine: open the window, register modules,
// run the main loop with the music, ask for the time and the keys, hand scenes and resources over, quit.
#pragma once

#include <engine/arrayInfo.h>
#include <engine/deviceCaps.h>
#include <engine/emitterInfo.h>
#include <engine/export.h>
#include <engine/module.h>
#include <engine/windowSettings.h>

#include <boost/shared_ptr.hpp>

#include <string>

namespace engine::gpu {
class Device;
} // namespace engine::gpu

namespace engine::gfx {
class Effect;
class Node;
class Spatial;
class TVOMesh;
} // namespace engine::gfx

namespace engine::core::resources {
class ManagedTexture;
} // namespace engine::core::resources

namespace engine {

// Shows the display settings dialog and returns the choice. Leaving it with "Forget it..." ends the
// process (exit code 0, log completed); closing the window returns the current choice and leaves a
// quit request pending. With no display the defaults come back at once, windowed.
ENGINE_API WindowSettings SettingsDialog();

// Creates the window and its device from the settings and registers the engine's standard modules:
// the screen (ID 1), the renderer (10), the input snapshot (2) and the global curve player (15, which
// loads data/custom.ipo). Failures throw Exception.
ENGINE_API void CreateTALVOWindow(const WindowSettings& settings);
// Registers a module under an ID and starts it at once.
ENGINE_API void AddModule(engine::core::Module* module, int id);
// Loads data/dark_ages.xm, starts the timer and the music together, runs the main loop until a quit
// request has stopped every module, then deletes the engine's own modules and singletons and closes
// the audio device. A missing or unplayable music file throws Exception before the timer starts.
// After UseCapture (<engine/capture.h>) it captures instead, and throws Exception when the capture
// fails; the engine has shut down by then.
ENGINE_API void StartApplication();
// Moves the demo to that many seconds: called before StartApplication, the timer and the music begin
// there; called from a module during the main loop, both jump there at once. Programs use it to start
// at a later scene or to play again from the top.
ENGINE_API void SetDemoTime(double seconds);
// Asks the main loop to stop every module at the top of its next pass.
ENGINE_API void QuitApplication();

// Seconds since the main loop began, and since the previous pass (at most 0.7). While the music plays
// on a sound device the time follows the samples it has played, not the machine's clock.
ENGINE_API double GetTime();
ENGINE_API double GetSinceLast();
// Where the music is as heard now, in seconds from its start (running on past its end); -1 when no
// music plays (outside StartApplication, or in a capture).
ENGINE_API double GetMusicPosition();

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

// Hides the mouse cursor over the demo's window for good; may be called before the window exists.
ENGINE_API void HideCursor();
// A modal message box owned by no window, with an OK button. With no display the caption and text go
// to standard error instead and nothing waits for a person.
ENGINE_API void ShowMessageBox(const std::wstring& text, const std::wstring& caption);

// Makes root the scene the renderer draws, in place of the previous one. An empty root is refused
// with a WARNING row and the previous scene stays.
ENGINE_API void SetRootNode(boost::shared_ptr<engine::gfx::Spatial> root);

// The texture or mesh of that file, loaded on the first request and shared by name afterwards.
ENGINE_API boost::shared_ptr<engine::core::resources::ManagedTexture> LoadTexture(std::wstring name);
ENGINE_API boost::shared_ptr<engine::gfx::TVOMesh> LoadMesh(std::wstring name);
// Creates a square render-target texture of size pixels under name, replacing any earlier one.
ENGINE_API void CreateRenderTarget(const std::wstring& name, int size);

// An effect built from the material script at scriptPath (the first candidate the device runs, else
// the built-in wireframe effect). A script that cannot be read or run throws Exception.
ENGINE_API boost::shared_ptr<engine::gfx::Effect> BuildEffect(const std::string& scriptPath);

// Attach a particle emitter (a point source, a rectangle, or a trail following the node) as a child of
// node, which it emits from. A null node is refused with a WARNING row. The record is copied; a ring
// smaller than the particles alive at the start, or device buffers that cannot be made, throw Exception.
ENGINE_API void AddParticleEmitter(engine::gfx::Node* node, const engine::gfx::EmitterInfo& info);
ENGINE_API void AddPlaneParticleEmitter(engine::gfx::Node* node, const engine::gfx::PlaneEmitterInfo& info);
ENGINE_API void AddCurveEmitter(engine::gfx::Node* node, const engine::gfx::EmitterInfo& info);
// Attaches an array modifier as a child of node: every frame it draws all copies of info.object's
// first child in one draw. A null node, or an object or offset object without a child, is refused
// with a WARNING row and nothing is attached.
ENGINE_API void AddArrayModifier(engine::ArrayInfo& info, engine::gfx::Node* node);

} // namespace engine
