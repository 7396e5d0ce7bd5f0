// The display settings dialog shown before the engine starts: a GTK window with fixed-position
// controls (banner, four lists, two check boxes, two buttons) whose choice comes back as a
// WindowSettings record. It runs its own loop on the calling thread until the user leaves it.
#pragma once

#include <engine/windowSettings.h>

#include <gtk/gtk.h>

#include <functional>
#include <string>

namespace engine::core {

// The dialog's controls while it is on screen.
struct SettingsDialogControls {
    GtkWidget* window = nullptr;
    GtkWidget* banner = nullptr;     // GtkImage, empty when the banner file could not be read
    GtkWidget* resolution = nullptr; // the four lists are GtkComboBoxText
    GtkWidget* refreshRate = nullptr;
    GtkWidget* backBuffer = nullptr;
    GtkWidget* antialiasing = nullptr;
    GtkWidget* fullscreen = nullptr; // the two boxes are GtkCheckButton
    GtkWidget* verticalSync = nullptr;
    GtkWidget* accept = nullptr; // "Watch!"
    GtkWidget* cancel = nullptr; // "Forget it..."
};

// Called once, from inside the dialog's loop, when the window has been mapped; it may operate the
// controls like a user would (including leaving the dialog), and must not throw.
using SettingsDialogShown = std::function<void(const SettingsDialogControls&)>;

// Shows the dialog with the banner read from bannerPath and returns the choice. "Watch!" returns it;
// closing the window returns it and requests a kernel quit; "Forget it..." ends the process with exit
// code 0. Where no display can be used (none named, SDL told to run headless, or one that does not
// open) nothing is shown: the defaults come back at once, windowed, and shown is never called.
WindowSettings RunSettingsDialog(const std::string& bannerPath, const SettingsDialogShown& shown);

} // namespace engine::core
