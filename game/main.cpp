// The demo program: asks for the display settings, opens the window, loads the nine scenes through the
// timeline module and plays them with the music. Any engine failure on the way ends it with one
// message box. With --capture it renders the demo into a video or pictures instead, with --benchmark it
// measures it, and a failure of either ends it with the reason on standard error and exit code 1.
#include "allocationCount.h"
#include "dataFolder.h"
#include "launchOptions.h"
#include "liveEditing.h"
#include "testScene1.h"

#include <engine/engine.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <vector>

namespace {

constexpr int kTimelineModuleId = 10100;
constexpr int kAvReportModuleId = 10101;
constexpr int kCaptureFailed = 1;
constexpr int kNoDataFolder = 1;

int Report(const engine::core::Exception& failure) {
    engine::ShowMessageBox(failure.GetText(), failure.GetFunction());
    return 0;
}

// A capture or a benchmark sends message boxes to standard error, as "quorvel: reason" here.
int ReportCaptureFailure(const engine::core::Exception& failure) {
    engine::ShowMessageBox(failure.GetText(), L"quorvel");
    return kCaptureFailed;
}

// Exception texts as UTF-8, for joining and counting, which print their failures themselves: they open
// no window, so no message box.
std::string Utf8(const std::wstring& text) {
    std::string out;
    for (const wchar_t wide : text) {
        const auto c = static_cast<std::uint32_t>(wide);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

int Join(const quorvel::LaunchOptions& options) {
    try {
        engine::JoinCaptureParts(*options.joinOutput, options.joinParts);
    } catch (const engine::core::Exception& failure) {
        std::cerr << "quorvel: " << Utf8(failure.GetText()) << "\n";
        return kCaptureFailed;
    }
    return 0;
}

// Loads the scenes in a small offscreen window, as a capture would, and prints the number of the frame
// drawn in the pass that ends the demo: the whole capture's frame count, which a farm cuts into parts.
int PrintFrameCount(const quorvel::LaunchOptions& options) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    engine::WindowSettings settings;
    settings.width = 64;
    settings.height = 48;
    settings.fullscreen = false;
    TestScene1 timeline(1, false);
    try {
        engine::CreateTALVOWindow(settings);
        engine::AddModule(&timeline, kTimelineModuleId);
    } catch (const engine::core::Exception& failure) {
        std::cerr << "quorvel: " << Utf8(failure.GetText()) << "\n";
        return kCaptureFailed;
    }
    std::cout << timeline.SwitchSteps(options.framesPerSecond).back() << "\n";
    return 0;
}

// Where the demo ends by itself: the scenes that loaded, one after another from the start.
double DemoEnd(const TestScene1& timeline) {
    double end = 0.0;
    for (int index = 0; index < TestScene1::kSceneCount && timeline.SceneAt(index) != nullptr; ++index)
        end += TestScene1::SceneDuration(*timeline.SceneAt(index));
    return end;
}

// The scenes a benchmark measures: the one --scene names, or every scene that loaded from the first.
std::vector<engine::BenchmarkScene> BenchmarkScenes(const TestScene1& timeline,
                                                    const quorvel::LaunchOptions& options) {
    std::vector<engine::BenchmarkScene> scenes;
    for (int index = options.firstScene - 1;
         index < TestScene1::kSceneCount && timeline.SceneAt(index) != nullptr; ++index) {
        scenes.push_back({index + 1, TestScene1::SceneDuration(*timeline.SceneAt(index))});
        if (options.singleScene)
            break;
    }
    return scenes;
}

// Measures, right after the timer in every pass, how far the music as heard lies from the time the
// pass shows, and prints it for the first pass of every scene and for the last pass.
class AvReport : public engine::core::Module {
public:
    explicit AvReport(const TestScene1& timeline) : timeline(timeline) { priority = 51; }

    bool Start() override {
        std::printf("A/V report: the music as heard minus the demo's clock\n");
        return true;
    }
    void Update() override {
        time = engine::GetTime();
        music = engine::GetMusicPosition();
        if (timeline.CurrentScene() != shown && timeline.CurrentScene() != nullptr)
            Print("scene " + std::to_string(SceneNumber()));
        shown = timeline.CurrentScene();
    }
    void Stop() override {
        Print("end");
        std::printf("largest difference: %.1f ms\n", largest * 1000.0);
    }

private:
    int SceneNumber() const {
        for (int index = 0; index < TestScene1::kSceneCount; ++index)
            if (timeline.SceneAt(index) == timeline.CurrentScene())
                return index + 1;
        return 0;
    }
    void Print(const std::string& what) {
        const double difference = music - time;
        largest = std::max(largest, std::fabs(difference));
        std::printf("  %-8s demo %8.3f s  music %8.3f s  difference %+7.1f ms\n", what.c_str(), time, music,
                    difference * 1000.0);
        std::fflush(stdout);
    }

    const TestScene1& timeline;
    const engine::gfx::DemoLoader* shown = nullptr;
    double time = 0.0;
    double music = 0.0;
    double largest = 0.0;
};

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
    if (!quorvel::EnterDataFolder(options, quorvel::ProgramFolder(), std::cerr))
        return kNoDataFolder;
    if (options.joinOutput)
        return Join(options);
    if (options.printFrameCount)
        return PrintFrameCount(options);
    const bool capturing = options.captureOutput.has_value();
    const bool measuring = capturing || options.benchmark;
    try {
        if (capturing)
            engine::UseCapture(quorvel::CaptureSettingsOf(options));
        if (options.benchmark) {
            engine::BenchmarkSettings benchmark = quorvel::BenchmarkSettingsOf(options);
            benchmark.allocationCount = quorvel::AllocationCount;
            engine::UseBenchmark(benchmark);
        }
    } catch (const engine::core::Exception& failure) {
        return ReportCaptureFailure(failure);
    }
    const auto fail = [measuring](const engine::core::Exception& failure) {
        return measuring ? ReportCaptureFailure(failure) : Report(failure);
    };

    engine::WindowSettings settings =
        options.showDialog ? engine::SettingsDialog() : engine::WindowSettings{};
    quorvel::ApplyDisplayOptions(options, settings);
    settings.title = L"Quorvel";
    if (settings.fullscreen)
        engine::HideCursor();

    TestScene1* scene = new TestScene1(options.firstScene, options.loop);
    AvReport report(*scene);
    try {
        engine::CreateTALVOWindow(settings);
        // Before the timeline loads the scenes, so that they load from data/ as the content now is.
        if (options.watchFolder) {
            quorvel::WatchContentFolder(*options.watchFolder);
            engine::UseEditor(*scene);
        }
        engine::AddModule(scene, kTimelineModuleId);
        if (capturing)
            engine::SetCaptureEnd(DemoEnd(*scene));
        // A whole capture's last frame is the one drawn in the pass that ends the demo.
        if (capturing && options.firstFrame > scene->SwitchSteps(options.framesPerSecond).back())
            return ReportCaptureFailure(engine::core::Exception(
                L"--from-frame " + std::to_wstring(options.firstFrame) +
                    L" lies past the demo's last frame, " +
                    std::to_wstring(scene->SwitchSteps(options.framesPerSecond).back()) + L" at " +
                    std::to_wstring(options.framesPerSecond) + L" frames a second",
                L"main"));
        if (options.benchmark)
            engine::SetBenchmarkScenes(BenchmarkScenes(*scene, options));
        if (options.avReport)
            engine::AddModule(&report, kAvReportModuleId);
    } catch (const engine::core::Exception& failure) {
        return fail(failure);
    }
    try {
        engine::StartApplication();
    } catch (const engine::core::Exception& failure) {
        return fail(failure);
    }
    delete scene;
    return 0;
}
