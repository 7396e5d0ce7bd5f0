#include "platform/window.h"

#include "core/input.h"
#include "core/logging.h"
#include "core/textConversion.h"
#include "gpu/glDevice.h"
#include "math/operators.h"
#include "math/transforms.h"
#include "platform/cursor.h"
#include "platform/keyMapping.h"
#include "platform/messageBox.h"
#include "platform/programFile.h"

#include <SDL.h>
#include <stb_image.h>

#include <memory>
#include <string>

namespace engine::core {

namespace {

constexpr int kWindowPosition = 100;
constexpr int kFailure = static_cast<int>(0x80004005u);
const char kIconFile[] = "icon.png";

// The SDL reason for a failure, as a WARNING row ahead of the ERROR row that names the step.
void LogReason(const std::string& what, const std::string& reason) {
    if (!reason.empty())
        LOG_WARNING(what + ": " + reason);
}

std::intptr_t PackPosition(int x, int y) {
    return static_cast<std::intptr_t>((static_cast<std::uint32_t>(x) & 0xFFFF) |
                                      ((static_cast<std::uint32_t>(y) & 0xFFFF) << 16));
}

} // namespace

CWin32Window::CWin32Window()
    : view(math::Matrix4x4::Identity), inverseView(math::Matrix4x4::Identity),
      projection(math::Matrix4x4::Identity), viewProjection(math::Matrix4x4::Identity) {}

CWin32Window::~CWin32Window() {
    if (device != nullptr)
        device->Release();
}

int CWin32Window::Create(WindowSettings windowSettings) {
    settings = windowSettings;
    window = nullptr;
    // Closing the window is a destroy message; the quit message follows from the window procedure.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (!videoSubsystem && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        LogReason("SDL video", SDL_GetError());
        LOG_ERROR("Could not register window class");
    }
    videoSubsystem = true;
    // SDL turns SIGINT and SIGTERM into a quit only where no handler is set, and the log's is.
    core::Logging::TakeInterruptsAsQuit();
    platform::ApplyCursorVisibility();

    gpu::ConfigureGlWindow(settings.backBufferFormat, settings.depthStencilFormat, settings.multiSampleType);
    // The client area is width x height, so the back buffer matches the projection's aspect.
    if (settings.width > 0 && settings.height > 0)
        window = SDL_CreateWindow(WideToNarrow(settings.title).c_str(), kWindowPosition, kWindowPosition,
                                  settings.width, settings.height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    LOG_MESSAGE("Creating window \"" + WideToNarrow(settings.title) + "\" " + std::to_string(settings.width) +
                "x" + std::to_string(settings.height) + "x" + std::to_string(settings.refreshRate) +
                "hz fullscreen: " + (settings.fullscreen ? "true" : "false") +
                " AA: " + std::to_string(settings.multiSampleType) +
                " Backbuffer: " + std::to_string(settings.backBufferFormat));
    if (window == nullptr) {
        LogReason("SDL window", settings.width > 0 && settings.height > 0 ? SDL_GetError() : "empty size");
        LOG_ERROR("Could not create window handle");
    }
    platform::SetMessageBoxOwnerWindow(window);
    SetIcon();
    return 0;
}

void CWin32Window::SetIcon() {
    // A missing icon leaves the default one, as a missing icon resource would.
    const std::string path = platform::ProgramFile(kIconFile);
    int width = 0, height = 0, channels = 0;
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load(path.c_str(), &width, &height, &channels, 4),
                                                     stbi_image_free);
    if (!pixels)
        return;
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(pixels.get(), width, height, 32, width * 4,
                                                           SDL_PIXELFORMAT_RGBA32);
    if (icon == nullptr)
        return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
}

int CWin32Window::Initialize() {
    if (InitDirect3D() < 0)
        LOG_ERROR("Could not create d3d Device");
    if (SetupDefaults() < 0)
        LOG_ERROR("Could not initialize user stuff");
    SDL_ShowWindow(window);
    return 0;
}

int CWin32Window::InitDirect3D() {
    if (SDL_GL_LoadLibrary(nullptr) != 0) {
        LogReason("OpenGL library", SDL_GetError());
        return kFailure;
    }
    graphicsLibrary = true;
    const int display = SDL_GetWindowDisplayIndex(window);
    SDL_DisplayMode mode;
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) {
        LogReason("SDL display mode", SDL_GetError());
        LOG_ERROR("Error setting the display mode.");
    }
    // Without the capabilities nothing can run, so a failed query ends here rather than later.
    std::string reason;
    if (gpu::Failed(gpu::QueryGlCaps(window, caps, &reason))) {
        LogReason("Device capabilities", reason);
        LOG_ERROR("Failed to create Direct3D Device.");
    }
    if (caps.vertexProcessingCaps != 0)
        LOG_MESSAGE("Hardware vertex processing chosen");
    else
        LOG_MESSAGE("Software vertex processing chosen");
    if (caps.vertexShaderVersion < gpu::VertexShaderVersion(1, 1))
        LOG_WARNING("Vertex shaders 1.1 not found. Switching to software vertex processing.");

    presentParameters = gpu::PresentParameters{};
    presentParameters.windowed = !settings.fullscreen;
    if (settings.fullscreen) {
        presentParameters.backBufferWidth = settings.width;
        presentParameters.backBufferHeight = settings.height;
        presentParameters.fullScreenRefreshRate = settings.refreshRate;
    }
    presentParameters.backBufferFormat = settings.backBufferFormat;
    presentParameters.backBufferCount = 1;
    presentParameters.multiSampleType = settings.multiSampleType;
    presentParameters.swapEffect = 1;
    presentParameters.enableAutoDepthStencil = true;
    presentParameters.autoDepthStencilFormat = settings.depthStencilFormat;
    presentParameters.presentationInterval = settings.presentationInterval;
    presentParameters.deviceWindow = window;

    if (settings.fullscreen) {
        SDL_DisplayMode wanted{0, settings.width, settings.height, settings.refreshRate, nullptr};
        SDL_DisplayMode closest;
        if (SDL_GetClosestDisplayMode(display, &wanted, &closest) == nullptr ||
            SDL_SetWindowDisplayMode(window, &closest) != 0 ||
            SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) {
            LogReason("Full-screen mode", SDL_GetError());
            LOG_ERROR("Failed to create Direct3D Device.");
        }
    }
    if (gpu::Failed(gpu::CreateGlDevice(presentParameters, &device, &reason))) {
        device = nullptr;
        LogReason("OpenGL device", reason);
        LOG_ERROR("Failed to create Direct3D Device.");
    }
    return 0;
}

int CWin32Window::SetupDefaults() {
    using math::operator*;
    view = math::Matrix4x4::Identity;
    device->SetTransform(gpu::TransformView, view);
    projection = math::MatrixPerspectiveFovLH(
        0.7853982f, static_cast<float>(settings.width) / settings.height, 0.5f, 1000.0f);
    device->SetTransform(gpu::TransformProjection, projection);
    math::MatrixInverse(view, inverseView);
    viewProjection = view * projection;
    device->SetRenderState(gpu::RsCullMode, gpu::CullNone);
    device->SetRenderState(gpu::RsAmbient, 0xFFFFFFFF);
    return 0;
}

int CWin32Window::PrepareRelease() {
    return 0;
}

void CWin32Window::Release() {
    if (PrepareRelease() < 0)
        return;
    LOG_MESSAGE("Releasing D3DDevice");
    if (device != nullptr)
        device->ReleaseContext();
    LOG_MESSAGE("Releasing Direct3D");
    if (graphicsLibrary) {
        SDL_GL_UnloadLibrary();
        graphicsLibrary = false;
    }
}

int CWin32Window::Shutdown() {
    Release();
    if (window != nullptr) {
        platform::SetMessageBoxOwnerWindow(nullptr);
        SDL_DestroyWindow(window);
        window = nullptr;
    }
    if (videoSubsystem) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoSubsystem = false;
    }
    return 0;
}

bool CWin32Window::PeekMessage(WindowMessage& message) {
    if (quitPosted || core::Logging::TakeInterrupt()) {
        quitPosted = false;
        message = WindowMessage{WmQuit, 0, 0};
        return true;
    }
    SDL_Event event;
    if (SDL_WasInit(SDL_INIT_EVENTS) == 0 || SDL_PollEvent(&event) == 0)
        return false;
    message = TranslateEvent(event);
    return true;
}

WindowMessage CWin32Window::TranslateEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_QUIT:
        return {WmQuit, 0, 0};
    case SDL_WINDOWEVENT:
        return {event.window.event == SDL_WINDOWEVENT_CLOSE ? WmDestroy : WmNull, 0, 0};
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        const int key = platform::VirtualKeyFromSdl(event.key.keysym.sym);
        if (key == 0)
            return {};
        // Alt combinations, Alt itself and F10 are system keys, which the window procedure passes on.
        const bool system = (event.key.keysym.mod & KMOD_ALT) != 0 || key == 18 || key == 121;
        const bool down = event.type == SDL_KEYDOWN;
        return {system ? (down ? WmSysKeyDown : WmSysKeyUp) : (down ? WmKeyDown : WmKeyUp),
                static_cast<std::uintptr_t>(key), 0};
    }
    case SDL_MOUSEMOTION:
        return {WmMouseMove, 0, PackPosition(event.motion.x, event.motion.y)};
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        const bool down = event.type == SDL_MOUSEBUTTONDOWN;
        const std::intptr_t position = PackPosition(event.button.x, event.button.y);
        if (event.button.button == SDL_BUTTON_LEFT)
            return {down ? WmLButtonDown : WmLButtonUp, 0, position};
        if (event.button.button == SDL_BUTTON_RIGHT)
            return {down ? WmRButtonDown : WmRButtonUp, 0, position};
        return {};
    }
    default:
        return {};
    }
}

std::intptr_t CWin32Window::WindowProc(const WindowMessage& message) {
    Input* input = Input::Get();
    switch (message.message) {
    case WmDestroy:
        LOG_MESSAGE("Destroy message received");
        Shutdown();
        quitPosted = true;
        return 0;
    case WmKeyDown:
    case WmKeyUp:
        input->SetKey(static_cast<int>(message.wParam), message.message == WmKeyDown);
        return 0;
    case WmMouseMove:
        input->SetMousePosition(static_cast<std::int16_t>(message.lParam & 0xFFFF),
                                static_cast<std::int16_t>((message.lParam >> 16) & 0xFFFF));
        return 0;
    case WmLButtonDown:
    case WmLButtonUp:
        input->SetButton(Input::Left, message.message == WmLButtonDown);
        return 0;
    case WmRButtonDown:
    case WmRButtonUp:
        input->SetButton(Input::Right, message.message == WmRButtonDown);
        return 0;
    default:
        return 0; // what the default window procedure would do has no counterpart here
    }
}

void CWin32Window::SetTitle(const std::wstring& title) {
    settings.title = title;
    if (window != nullptr)
        SDL_SetWindowTitle(window, WideToNarrow(title).c_str());
}

} // namespace engine::core
