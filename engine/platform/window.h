// The main window and its graphics device: an SDL window with an OpenGL device behind the gpu
// interface, the present parameters kept for Reset, the clear colour and the default camera matrices.
// Window events arrive as Windows-style messages so the window procedure keeps its table.
#pragma once

#include "gpu/device.h"

#include <engine/singleton.h>
#include <engine/windowSettings.h>

#include <cstdint>

struct SDL_Window;
union SDL_Event;

namespace engine::core {

// The Windows messages the window procedure tells apart, with their Windows numbers.
enum WindowMessageCode : std::uint32_t {
    WmNull = 0x0000,
    WmDestroy = 0x0002,
    WmQuit = 0x0012,
    WmKeyDown = 0x0100,
    WmKeyUp = 0x0101,
    WmSysKeyDown = 0x0104,
    WmSysKeyUp = 0x0105,
    WmMouseMove = 0x0200,
    WmLButtonDown = 0x0201,
    WmLButtonUp = 0x0202,
    WmRButtonDown = 0x0204,
    WmRButtonUp = 0x0205,
};

struct WindowMessage {
    std::uint32_t message = WmNull;
    std::uintptr_t wParam = 0; // virtual-key number for key messages
    std::intptr_t lParam = 0;  // x in the low 16 bits and y in the next 16, signed, for mouse messages
};

class CWin32Window : public pattern::Singleton<CWin32Window> {
public:
    CWin32Window();
    // Frees the device object (whose context Release has given up) and clears the instance.
    ~CWin32Window() override;
    virtual int SetupDefaults();
    virtual int PrepareRelease();

    int Create(WindowSettings windowSettings);
    int Initialize();
    int InitDirect3D();
    void Release();
    int Shutdown();

    // Removes the next message: a posted quit first, then at most one SDL event. False when none waits.
    bool PeekMessage(WindowMessage& message);
    std::intptr_t WindowProc(const WindowMessage& message);
    // The message an SDL event stands for; WmNull for events the window procedure does not handle.
    static WindowMessage TranslateEvent(const SDL_Event& event);
    void SetTitle(const std::wstring& title);

    // Stands in for the Direct3D object: the OpenGL library, loaded by InitDirect3D.
    bool graphicsLibrary = false;
    SDL_Window* window = nullptr;
    // Stands in for the registered window class: SDL's video subsystem.
    bool videoSubsystem = false;
    WindowSettings settings;
    // After Release the device stays here, given up: it answers "lost" until the window is deleted, so
    // that nothing draws with it between a close and the end of the main loop.
    gpu::Device* device = nullptr;
    gpu::PresentParameters presentParameters;
    gpu::Color clearColor = 0xFFFFFFFF;
    math::Matrix4x4 view, inverseView, projection, viewProjection;
    gpu::Caps caps;

private:
    void SetIcon();
    bool quitPosted = false;
};

} // namespace engine::core
