// The one way the engine shows a modal message to the user. With a display it is an SDL message box,
// owned by the main window when asked and one exists; with no display it writes "caption: text" to
// standard error and never blocks. Tests install a handler to see what would have been shown.
#pragma once

#include <functional>
#include <string>

struct SDL_Window;

namespace engine::platform {

enum class MessageBoxOwner { None, MainWindow };

void ShowMessageBox(const std::wstring& text, const std::wstring& caption, MessageBoxOwner owner);

// The window that owns boxes shown with MessageBoxOwner::MainWindow; null while there is none.
void SetMessageBoxOwnerWindow(SDL_Window* window);

// Replaces the platform box (an empty function restores it). Used by tests and headless captures.
using MessageBoxHandler =
    std::function<void(const std::wstring& text, const std::wstring& caption, MessageBoxOwner owner)>;
void SetMessageBoxHandler(MessageBoxHandler handler);

} // namespace engine::platform
