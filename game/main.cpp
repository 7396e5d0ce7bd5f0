// The demo program: asks for the display settings, opens the window, loads the nine scenes through the
// timeline module and plays them with the music. Any engine failure on the way ends it with one
// message box.
#include "launchOptions.h"
#include "testScene1.h"

#include <engine/engine.h>

#include <iostream>

namespace {

constexpr int kTimelineModuleId = 10100;

int Report(const engine::core::Exception& failure) {
    engine::ShowMessageBox(failure.GetText(), failure.GetFunction());
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    quorvel::LaunchOptions options;
    switch (quorvel::ParseLaunchOptions(argc, argv, options, std::cout, std::cerr)) {
    case quorvel::LaunchAction::ExitSuccess:
        return 0;
    case quorvel::LaunchAction::ExitUsageError:
        return 2;
    case quorvel::LaunchAction::Run:
        break;
    }

    engine::WindowSettings settings =
        options.showDialog ? engine::SettingsDialog() : engine::WindowSettings{};
    quorvel::ApplyDisplayOptions(options, settings);
    settings.title = L"Quorvel";
    if (settings.fullscreen)
        engine::HideCursor();

    TestScene1* scene = new TestScene1(options.firstScene, options.loop);
    try {
        engine::CreateTALVOWindow(settings);
        engine::AddModule(scene, kTimelineModuleId);
    } catch (const engine::core::Exception& failure) {
        return Report(failure);
    }
    try {
        engine::StartApplication();
    } catch (const engine::core::Exception& failure) {
        return Report(failure);
    }
    delete scene;
    return 0;
}
