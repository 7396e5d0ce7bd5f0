#include "app/windowStuff.h"

#include "core/kernel.h"
#include "core/logging.h"
#include "platform/programFile.h"

#include <engine/app.h>

#include <SDL.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace engine::core {

namespace {

struct Resolution {
    const char* text;
    std::int32_t width;
    std::int32_t height;
};

struct Choice {
    const char* text;
    std::int32_t value;
};

constexpr Resolution kResolutions[] = {{"640 x 480", 640, 480},    {"800 x 600", 800, 600},
                                       {"1024 x 768", 1024, 768},  {"1152 x 864", 1152, 864},
                                       {"1280 x 768", 1280, 768},  {"1280 x 800", 1280, 800},
                                       {"1280 x 1024", 1280, 1024}};
constexpr int kInitialResolution = 2; // "1024 x 768"
constexpr Choice kRefreshRates[] = {{"60Hz", 60}, {"70Hz", 70}, {"72Hz", 72}, {"75Hz", 75}, {"85Hz", 85}};
// Direct3D format codes: X8R8G8B8 and R5G6B5.
constexpr Choice kBackBuffers[] = {{"32bit", 22}, {"16bit", 23}};
constexpr Choice kAntialiasing[] = {{"No Antialiasing", 0}, {"2 Samples", 2}, {"4 Samples", 4}};

constexpr std::int32_t kDepthStencilFormat = 77; // D24X8
constexpr std::uint32_t kPresentEverySecondBlank = 2;

const char kBannerFile[] = "banner.png";
// Also the CSS name the dialog's style is scoped to.
const char kWindowName[] = "SettingsDialog";
const char kFontFamily[] = "Times New Roman";

// The controls end at (320, 314); the client area keeps the 20-pixel margin around them.
constexpr int kClientWidth = 340;
constexpr int kClientHeight = 334;
constexpr int kScreenPosition = 100;

// Cleared by the window's handlers when the user leaves the dialog; its loop runs until then.
bool dialogRunning = true;

bool DisplayNamed() {
    // SDL's headless drivers mean nobody is watching, even where an X server happens to be reachable.
    const char* driver = std::getenv("SDL_VIDEODRIVER");
    if (driver != nullptr && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0))
        return false;
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

// GTK is set up on the first call only; a display that failed to open is tried again on the next.
bool OpenDisplay() {
    static bool setUp = false;
    if (!setUp) {
        // GTK would otherwise switch the C locale, and with it the decimal separator Lua numbers use.
        gtk_disable_setlocale();
        setUp = true;
    }
    return gtk_init_check(nullptr, nullptr);
}

bool HasFontFamily(const char* name) {
    PangoFontFamily** families = nullptr;
    int count = 0;
    pango_font_map_list_families(pango_cairo_font_map_get_default(), &families, &count);
    bool found = false;
    for (int i = 0; i < count && !found; ++i)
        found = g_ascii_strcasecmp(pango_font_family_get_name(families[i]), name) == 0;
    g_free(families);
    return found;
}

// Once per process, for the screen GTK opened: lists and buttons as compact as the fixed layout's
// 24-pixel rows need, and the dialog's font where the machine has it (GTK's own font otherwise, rather
// than whatever face fontconfig would substitute). A cell height of 16 pixels is an em of about 14.
void InstallStyle() {
    static bool installed = false;
    if (installed)
        return;
    std::string css = "#SettingsDialog button { min-height: 0; padding: 1px 6px; }\n";
    if (HasFontFamily(kFontFamily))
        css += std::string("#SettingsDialog, #SettingsDialog * { font-family: \"") + kFontFamily +
               "\"; font-size: 14px; font-weight: 500; }\n";
    GtkCssProvider* provider = gtk_css_provider_new();
    gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
    gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(provider),
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(provider);
    installed = true;
}

GtkWidget* Place(GtkWidget* layout, GtkWidget* control, int x, int y, int width, int height) {
    gtk_widget_set_size_request(control, width, height);
    gtk_fixed_put(GTK_FIXED(layout), control, x, y);
    return control;
}

void PlaceLabel(GtkWidget* layout, const char* text, int y) {
    GtkWidget* label = gtk_label_new(text);
    gtk_label_set_xalign(GTK_LABEL(label), 0.0f);
    gtk_label_set_yalign(GTK_LABEL(label), 0.0f);
    Place(layout, label, 20, y, 100, 18);
}

// A drop-down list. Its height is the closed list's own: the dropped part sizes itself.
template <typename Entry, std::size_t Count>
GtkWidget* PlaceList(GtkWidget* layout, const Entry (&entries)[Count], int initial, int y) {
    GtkWidget* list = gtk_combo_box_text_new();
    for (const Entry& entry : entries)
        gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(list), entry.text);
    gtk_combo_box_set_active(GTK_COMBO_BOX(list), initial);
    return Place(layout, list, 160, y, 160, -1);
}

template <typename Entry, std::size_t Count>
const Entry& Chosen(GtkWidget* list, const Entry (&entries)[Count], int initial) {
    const int index = gtk_combo_box_get_active(GTK_COMBO_BOX(list));
    return entries[index >= 0 && index < static_cast<int>(Count) ? index : initial];
}

GtkWidget* PlaceBanner(GtkWidget* layout, const std::string& path) {
    GError* error = nullptr;
    GdkPixbuf* picture = gdk_pixbuf_new_from_file(path.c_str(), &error);
    GtkWidget* banner = nullptr;
    if (picture != nullptr) {
        banner = gtk_image_new_from_pixbuf(picture);
        g_object_unref(picture);
    } else {
        LOG_WARNING("Could not load the settings dialog banner " + path + ": " + error->message);
        g_error_free(error);
        banner = gtk_image_new();
    }
    gtk_fixed_put(GTK_FIXED(layout), banner, 20, 20);
    return banner;
}

SettingsDialogControls BuildDialog(const std::string& bannerPath) {
    SettingsDialogControls controls;
    controls.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(controls.window);
    gtk_widget_set_name(controls.window, kWindowName);
    gtk_window_set_title(window, "Select Your Settings");
    gtk_window_set_resizable(window, FALSE);
    gtk_window_move(window, kScreenPosition, kScreenPosition);

    GtkWidget* layout = gtk_fixed_new();
    gtk_widget_set_size_request(layout, kClientWidth, kClientHeight);
    gtk_container_add(GTK_CONTAINER(controls.window), layout);

    controls.banner = PlaceBanner(layout, bannerPath);
    PlaceLabel(layout, "Resolution", 120);
    PlaceLabel(layout, "Refresh Rate", 150);
    PlaceLabel(layout, "Backbuffer", 180);
    PlaceLabel(layout, "Antialiasing", 210);
    PlaceLabel(layout, "Fullscreen", 240);
    PlaceLabel(layout, "VSync", 260);
    controls.resolution = PlaceList(layout, kResolutions, kInitialResolution, 117);
    controls.refreshRate = PlaceList(layout, kRefreshRates, 0, 146);
    controls.backBuffer = PlaceList(layout, kBackBuffers, 0, 175);
    controls.antialiasing = PlaceList(layout, kAntialiasing, 0, 205);
    controls.fullscreen = Place(layout, gtk_check_button_new(), 160, 237, 24, 24);
    controls.verticalSync = Place(layout, gtk_check_button_new(), 160, 257, 24, 24);
    controls.accept = Place(layout, gtk_button_new_with_label("Watch!"), 10, 290, 150, 24);
    controls.cancel = Place(layout, gtk_button_new_with_label("Forget it..."), 170, 290, 150, 24);
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(controls.fullscreen), TRUE);
    return controls;
}

gboolean OnCloseRequest(GtkWidget*, GdkEvent*, gpointer) {
    dialogRunning = false;
    Kernel::Get()->Quit();
    // The window stays until the loop has read the choice from it.
    return TRUE;
}

void OnAccept(GtkButton*, gpointer) {
    dialogRunning = false;
}

void OnCancel(GtkButton*, gpointer) {
    dialogRunning = false;
    // A normal exit, so the library's static destructors still complete the log.
    std::exit(0);
}

struct ShownNotice {
    const SettingsDialogShown* shown;
    const SettingsDialogControls* controls;
    bool given = false;
};

gboolean OnMapped(GtkWidget*, GdkEvent*, gpointer data) {
    auto* notice = static_cast<ShownNotice*>(data);
    if (!notice->given && *notice->shown) {
        notice->given = true;
        (*notice->shown)(*notice->controls);
    }
    return FALSE;
}

void ReadChoice(const SettingsDialogControls& controls, WindowSettings& settings) {
    const Resolution& resolution = Chosen(controls.resolution, kResolutions, kInitialResolution);
    settings.width = resolution.width;
    settings.height = resolution.height;
    settings.refreshRate = Chosen(controls.refreshRate, kRefreshRates, 0).value;
    settings.backBufferFormat = Chosen(controls.backBuffer, kBackBuffers, 0).value;
    settings.multiSampleType = Chosen(controls.antialiasing, kAntialiasing, 0).value;
    settings.fullscreen = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(controls.fullscreen));
    settings.presentationInterval = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(controls.verticalSync))
                                        ? kPresentEverySecondBlank
                                        : kPresentImmediately;
    settings.depthStencilFormat = kDepthStencilFormat;
}

} // namespace

WindowSettings RunSettingsDialog(const std::string& bannerPath, const SettingsDialogShown& shown) {
    WindowSettings settings;
    settings.title.clear();
    settings.fullscreen = false;
    if (!DisplayNamed()) {
        LOG_MESSAGE("No display for the settings dialog: default settings, windowed");
        return settings;
    }
    if (!OpenDisplay()) {
        LOG_WARNING("Could not open the display for the settings dialog: default settings, windowed");
        return settings;
    }
    InstallStyle();

    const SettingsDialogControls controls = BuildDialog(bannerPath);
    ShownNotice notice{&shown, &controls};
    g_signal_connect(controls.window, "delete-event", G_CALLBACK(OnCloseRequest), nullptr);
    g_signal_connect(controls.accept, "clicked", G_CALLBACK(OnAccept), nullptr);
    g_signal_connect(controls.cancel, "clicked", G_CALLBACK(OnCancel), nullptr);
    g_signal_connect(controls.window, "map-event", G_CALLBACK(OnMapped), &notice);
    gtk_widget_show_all(controls.window);
    gtk_widget_grab_focus(controls.accept);
    LOG_MESSAGE("Settings dialog initiated");

    dialogRunning = true;
    while (dialogRunning)
        gtk_main_iteration();
    ReadChoice(controls, settings);

    // A window left on screen would stop answering once this loop ends, and SDL opens the engine's
    // window next: take the dialog down and let GTK finish with it first.
    gtk_widget_destroy(controls.window);
    while (gtk_events_pending())
        gtk_main_iteration();
    return settings;
}

} // namespace engine::core

namespace engine {

WindowSettings SettingsDialog() {
    // The banner ships with the program, like the window's icon.
    return core::RunSettingsDialog(platform::ProgramFile(core::kBannerFile), {});
}

} // namespace engine
