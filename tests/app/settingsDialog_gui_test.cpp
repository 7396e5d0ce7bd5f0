// The settings dialog in a real GTK window on an X server, operated through its widgets. Each dialog
// runs in a child process: "Forget it..." ends its process, and GTK, once it holds a display, cannot be
// shared across a fork. The child reports each result over a pipe, then whether a quit was pending.
#include "app/windowStuff.h"
#include "core/kernel.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quorvel::test;
using engine::WindowSettings;
using engine::core::SettingsDialogControls;
using engine::core::SettingsDialogShown;

namespace {

// The display the tests use: the one DISPLAY names, else a private Xvfb on a number it picks itself.
class XServer : public ::testing::Environment {
public:
    void SetUp() override {
        // The runner asks SDL for its headless driver, before which the dialog stands aside.
        unsetenv("SDL_VIDEODRIVER");
        setenv("NO_AT_BRIDGE", "1", 1); // no accessibility bus to complain about
        const char* display = std::getenv("DISPLAY");
        if (display != nullptr && *display != '\0') {
            available = true;
            return;
        }
        if (std::string(QUORVEL_XVFB).empty())
            return;
        int fds[2];
        if (pipe(fds) != 0)
            return;
        server = fork();
        if (server == 0) {
            close(fds[0]);
            freopen("/dev/null", "w", stderr);
            const std::string fd = std::to_string(fds[1]);
            execl(QUORVEL_XVFB, "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
                  "tcp", nullptr);
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        char c;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (number.empty())
            return;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        setenv("GDK_BACKEND", "x11", 1);
        available = true;
    }
    void TearDown() override {
        if (server > 0) {
            kill(server, SIGTERM);
            waitpid(server, nullptr, 0);
        }
    }
    bool available = false;
    pid_t server = -1;
};

XServer* const xServer = static_cast<XServer*>(::testing::AddGlobalTestEnvironment(new XServer));

// One dialog's result as the child sends it: plain values, so the bytes mean the same in the parent.
struct DialogResult {
    std::int32_t width, height, refreshRate, backBufferFormat, multiSampleType, depthStencilFormat;
    std::uint32_t presentationInterval;
    bool fullscreen, emptyTitle, focusOnAccept;
};

struct ChildReport {
    int exitCode = -1; // -1: the child did not exit normally
    std::vector<DialogResult> dialogs;
    int passesAfterwards = -1; // 0: a quit was pending; -1: the child never got that far
};

class UpdateCounter : public engine::core::Module {
public:
    bool Start() override { return true; }
    void Update() override {
        ++updates;
        engine::core::Kernel::Get()->Quit();
    }
    void Stop() override {}
    int updates = 0;
};

void Send(int fd, const void* data, std::size_t size) {
    const ssize_t written = write(fd, data, size);
    EXPECT_EQ(written, static_cast<ssize_t>(size));
}

// Runs one dialog per driver in a child process and collects what it reports.
ChildReport RunDialogs(const std::string& banner, const std::vector<SettingsDialogShown>& drivers) {
    int fds[2];
    EXPECT_EQ(pipe(fds), 0);
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        alarm(30); // a dialog nobody leaves must not hang the run
        for (const SettingsDialogShown& driver : drivers) {
            bool focusOnAccept = false;
            const WindowSettings s =
                engine::core::RunSettingsDialog(banner, [&](const SettingsDialogControls& c) {
                    focusOnAccept = gtk_window_get_focus(GTK_WINDOW(c.window)) == c.accept;
                    driver(c);
                });
            const DialogResult result{s.width,
                                      s.height,
                                      s.refreshRate,
                                      s.backBufferFormat,
                                      s.multiSampleType,
                                      s.depthStencilFormat,
                                      s.presentationInterval,
                                      s.fullscreen,
                                      s.title.empty(),
                                      focusOnAccept};
            Send(fds[1], &result, sizeof result);
        }
        UpdateCounter counter;
        engine::core::Kernel::Get()->AddModule(&counter, 1);
        engine::core::Kernel::Get()->Run();
        Send(fds[1], &counter.updates, sizeof counter.updates);
        std::exit(0);
    }
    close(fds[1]);
    std::vector<char> bytes;
    char buffer[4096];
    for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;)
        bytes.insert(bytes.end(), buffer, buffer + n);
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);

    ChildReport report;
    report.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::size_t at = 0;
    for (; at + sizeof(DialogResult) <= bytes.size() && report.dialogs.size() < drivers.size();
         at += sizeof(DialogResult)) {
        report.dialogs.emplace_back();
        std::memcpy(&report.dialogs.back(), bytes.data() + at, sizeof(DialogResult));
    }
    if (at + sizeof(int) == bytes.size())
        std::memcpy(&report.passesAfterwards, bytes.data() + at, sizeof(int));
    return report;
}

void Choose(GtkWidget* list, const std::string& text) {
    GtkComboBox* box = GTK_COMBO_BOX(list);
    const int count = gtk_tree_model_iter_n_children(gtk_combo_box_get_model(box), nullptr);
    for (int i = 0; i < count; ++i) {
        gtk_combo_box_set_active(box, i);
        gchar* item = gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(list));
        const bool found = text == item;
        g_free(item);
        if (found)
            return;
    }
    ADD_FAILURE() << "no item " << text;
}

void Tick(GtkWidget* box, bool ticked) {
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(box), ticked);
}

void ClickWatch(const SettingsDialogControls& c) {
    gtk_button_clicked(GTK_BUTTON(c.accept));
}

void ExpectSettings(const DialogResult& s, int width, int height, int refresh, int format, int samples,
                    bool fullscreen, std::uint32_t interval) {
    EXPECT_EQ(s.width, width);
    EXPECT_EQ(s.height, height);
    EXPECT_EQ(s.refreshRate, refresh);
    EXPECT_EQ(s.backBufferFormat, format);
    EXPECT_EQ(s.multiSampleType, samples);
    EXPECT_EQ(s.fullscreen, fullscreen);
    EXPECT_EQ(s.presentationInterval, interval);
    EXPECT_EQ(s.depthStencilFormat, 77);
    EXPECT_TRUE(s.emptyTitle);
}

class SettingsDialogGui : public ::testing::Test {
protected:
    void SetUp() override {
        if (!xServer->available)
            GTEST_SKIP() << "no X display is set and the build found no Xvfb to start one";
    }
    ScopedLogDirectory folder;
};

TEST_F(SettingsDialogGui, WatchWithoutChangesReturnsTheDefaultsWithFocusOnWatch) {
    const ChildReport report = RunDialogs(QUORVEL_BANNER, {ClickWatch});
    ASSERT_EQ(report.dialogs.size(), 1u);
    ExpectSettings(report.dialogs[0], 1024, 768, 60, 22, 0, true, 0x80000000u);
    EXPECT_TRUE(report.dialogs[0].focusOnAccept);
    EXPECT_EQ(report.passesAfterwards, 1) << "\"Watch!\" must not ask the kernel to quit";

    const std::string log = folder.CloseAndRead();
    EXPECT_EQ(Count(Rows(log, "MESSAGE"), "Settings dialog initiated"), 1);
    EXPECT_TRUE(Rows(log, "WARNING").empty());
}

// The second dialog of the process also shows that GTK comes up again and the choices start afresh.
TEST_F(SettingsDialogGui, EachChoiceMapsToItsValueAndASecondDialogStartsFromTheDefaults) {
    const ChildReport report = RunDialogs(QUORVEL_BANNER, {[](const SettingsDialogControls& c) {
                                                               Choose(c.resolution, "1280 x 1024");
                                                               Choose(c.refreshRate, "85Hz");
                                                               Choose(c.backBuffer, "16bit");
                                                               Choose(c.antialiasing, "4 Samples");
                                                               Tick(c.fullscreen, false);
                                                               Tick(c.verticalSync, true);
                                                               ClickWatch(c);
                                                           },
                                                           [](const SettingsDialogControls& c) {
                                                               Choose(c.resolution, "1152 x 864");
                                                               Choose(c.antialiasing, "2 Samples");
                                                               ClickWatch(c);
                                                           }});
    ASSERT_EQ(report.dialogs.size(), 2u);
    ExpectSettings(report.dialogs[0], 1280, 1024, 85, 23, 4, false, 2);
    ExpectSettings(report.dialogs[1], 1152, 864, 60, 22, 2, true, 0x80000000u);
}

TEST_F(SettingsDialogGui, ClosingTheWindowReturnsTheChoiceWithAQuitPending) {
    const ChildReport report = RunDialogs(QUORVEL_BANNER, {[](const SettingsDialogControls& c) {
                                              Choose(c.resolution, "800 x 600");
                                              gtk_window_close(GTK_WINDOW(c.window));
                                          }});
    ASSERT_EQ(report.dialogs.size(), 1u);
    ExpectSettings(report.dialogs[0], 800, 600, 60, 22, 0, true, 0x80000000u);
    EXPECT_EQ(report.passesAfterwards, 0) << "the first pass should have stopped the modules";
}

TEST_F(SettingsDialogGui, ForgetItEndsTheProcessWithCodeZeroAndACompleteLog) {
    const ChildReport report = RunDialogs(
        QUORVEL_BANNER, {[](const SettingsDialogControls& c) { gtk_button_clicked(GTK_BUTTON(c.cancel)); }});
    EXPECT_EQ(report.exitCode, 0);
    EXPECT_TRUE(report.dialogs.empty()) << "the dialog returned";
    EXPECT_EQ(report.passesAfterwards, -1);

    const std::string log = folder.CloseAndRead();
    EXPECT_EQ(Count(Rows(log, "MESSAGE"), "Settings dialog initiated"), 1);
    EXPECT_TRUE(log.ends_with("</body></html>\n"));
}

TEST_F(SettingsDialogGui, MissingBannerStillShowsTheDialogAndNamesTheFile) {
    const std::string missing = (folder.Root() / "banner.png").string();
    const ChildReport report = RunDialogs(missing, {ClickWatch});
    ASSERT_EQ(report.dialogs.size(), 1u);

    const std::vector<std::string> warnings = Rows(folder.CloseAndRead(), "WARNING");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(missing), std::string::npos) << warnings[0];
}

// A display that cannot be opened must not stop the program: nobody could answer the dialog.
TEST(SettingsDialogWithoutDisplay, UnopenableDisplayGivesTheDefaultsWindowedAtOnce) {
    ScopedLogDirectory folder;
    const char* previous = std::getenv("DISPLAY");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("DISPLAY", ":65000", 1);
    const ChildReport report = RunDialogs(QUORVEL_BANNER, {[](const SettingsDialogControls&) {
                                              _exit(2); /* a dialog was shown */
                                          }});
    if (previous != nullptr)
        setenv("DISPLAY", saved.c_str(), 1);
    else
        unsetenv("DISPLAY");
    EXPECT_EQ(report.exitCode, 0);
    ASSERT_EQ(report.dialogs.size(), 1u);
    ExpectSettings(report.dialogs[0], 1024, 768, 60, 22, 0, false, 0x80000000u);
    EXPECT_EQ(Count(Rows(folder.CloseAndRead(), "MESSAGE"), "Settings dialog initiated"), 0);
}

} // namespace
