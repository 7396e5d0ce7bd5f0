// The exported free functions: the only door programs use into the engine.
#include <engine/app.h>

#include "core/input.h"
#include "core/kernel.h"
#include "core/timer.h"
#include "platform/window.h"
#include "render/effectPool.h"

namespace engine {

namespace {
constexpr int kTimerModuleId = 6;
} // namespace

void AddModule(core::Module* module, int id) {
    core::Kernel::Get()->AddModule(module, id);
}

void StartApplication() {
    // Time 0 is the moment the main loop is about to begin.
    core::Kernel::Get()->AddModule(core::Timer::Get(), kTimerModuleId);
    core::Kernel::Get()->Run();

    // Effects built by the pool may still be held by the program; they outlive it.
    delete gfx::EffectPool::mInstance;
    delete core::Timer::Get();
    delete core::Kernel::Get();
}

void QuitApplication() {
    core::Kernel::Get()->Quit();
}

double GetTime() {
    return core::Timer::Get()->Time();
}
double GetSinceLast() {
    return core::Timer::Get()->SinceLast();
}

bool isPressed(int key) {
    return core::Input::Get()->IsPressed(key);
}
bool isHeld(int key) {
    return core::Input::Get()->IsHeld(key);
}
bool isReleased(int key) {
    return core::Input::Get()->IsReleased(key);
}

gpu::Device* Direct3DDevice() {
    return core::CWin32Window::Get()->device;
}

gpu::Caps GetDirect3DCaps() {
    return core::CWin32Window::Get()->caps;
}

void SetWindowTitle(std::wstring title) {
    core::CWin32Window::Get()->SetTitle(title);
}

boost::shared_ptr<gfx::Effect> BuildEffect(const std::string& scriptPath) {
    return gfx::EffectPool::Get()->BuildEffect(scriptPath);
}

} // namespace engine
