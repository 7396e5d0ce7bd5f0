// SDL keys and events as the Windows-style messages and virtual-key numbers the window procedure uses.
#include "platform/keyMapping.h"
#include "platform/window.h"

#include <SDL.h>
#include <gtest/gtest.h>

using engine::core::CWin32Window;
using engine::core::WindowMessage;
using engine::platform::VirtualKeyFromSdl;

TEST(KeyMapping, GivesTheWindowsVirtualKeyNumbers) {
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_ESCAPE), 27);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_RETURN), 13);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_SPACE), 32);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_a), 65);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_z), 90);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_0), 48);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_9), 57);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_LEFT), 37);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_UP), 38);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_RIGHT), 39);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_DOWN), 40);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_F1), 112);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_F12), 123);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_0), 96);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_9), 105);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_RSHIFT), 16);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_MENU), 0) << "no virtual key: no message";
}

namespace {

SDL_Event KeyEvent(Uint32 type, SDL_Keycode key, Uint16 mod = KMOD_NONE) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    return event;
}

} // namespace

TEST(WindowEvents, BecomeTheMessagesOfTheWindowProcedureTable) {
    WindowMessage m = CWin32Window::TranslateEvent(KeyEvent(SDL_KEYDOWN, SDLK_ESCAPE));
    EXPECT_EQ(m.message, engine::core::WmKeyDown);
    EXPECT_EQ(m.wParam, 27u);
    m = CWin32Window::TranslateEvent(KeyEvent(SDL_KEYUP, SDLK_a));
    EXPECT_EQ(m.message, engine::core::WmKeyUp);
    EXPECT_EQ(m.wParam, 65u);
    // Alt combinations are system keys, which the window procedure leaves alone.
    EXPECT_EQ(CWin32Window::TranslateEvent(KeyEvent(SDL_KEYDOWN, SDLK_F4, KMOD_LALT)).message,
              engine::core::WmSysKeyDown);

    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = -5;
    motion.motion.y = 300;
    m = CWin32Window::TranslateEvent(motion);
    EXPECT_EQ(m.message, engine::core::WmMouseMove);
    EXPECT_EQ(static_cast<std::int16_t>(m.lParam & 0xFFFF), -5);
    EXPECT_EQ(static_cast<std::int16_t>((m.lParam >> 16) & 0xFFFF), 300);

    SDL_Event button{};
    button.type = SDL_MOUSEBUTTONDOWN;
    button.button.button = SDL_BUTTON_RIGHT;
    EXPECT_EQ(CWin32Window::TranslateEvent(button).message, engine::core::WmRButtonDown);
    button.button.button = SDL_BUTTON_MIDDLE;
    EXPECT_EQ(CWin32Window::TranslateEvent(button).message, engine::core::WmNull);

    SDL_Event close{};
    close.type = SDL_WINDOWEVENT;
    close.window.event = SDL_WINDOWEVENT_CLOSE;
    EXPECT_EQ(CWin32Window::TranslateEvent(close).message, engine::core::WmDestroy);
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    EXPECT_EQ(CWin32Window::TranslateEvent(quit).message, engine::core::WmQuit);
}
