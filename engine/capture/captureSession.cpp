#include "capture/captureSession.h"

#include "capture/temporaryOutput.h"
#include "core/logging.h"
#include "core/textConversion.h"
#include "core/timer.h"
#include "particles/particleEngine.h"
#include "platform/messageBox.h"

#include <SDL.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

namespace engine {

namespace capture {

namespace {

const char kMusicFile[] = "data/dark_ages.xm";
constexpr int kLargestSide = 16384;
constexpr int kMostFramesPerSecond = 1000;
constexpr std::uint32_t kPresentImmediately = 0x80000000u;
// Any fixed number: what matters is that every capture starts the particles from the same one.
constexpr std::uint32_t kParticleSeed = 0x51A7E5EDu;
// Frames whose time passes an end by less than this still count as the end's own.
constexpr double kFrameTolerance = 1e-6;

std::optional<CaptureSettings> requested;
std::optional<double> demoEnd;

std::vector<char> ReadMusic() {
    std::ifstream file(kMusicFile, std::ios::binary);
    std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file.good() && !file.eof())
        bytes.clear();
    if (bytes.empty())
        LOG_ERROR("Failed to load music file. Sorry.");
    return bytes;
}

void Validate(const CaptureSettings& settings) {
    if (settings.output.empty())
        LOG_ERROR("The capture needs an output: a folder, or a file ending in .mp4 or .mkv");
    if (settings.framesPerSecond < 1 || settings.framesPerSecond > kMostFramesPerSecond)
        LOG_ERROR("The capture's frame rate must be between 1 and " + std::to_string(kMostFramesPerSecond) +
                  ", not " + std::to_string(settings.framesPerSecond));
    if (settings.width < 1 || settings.height < 1 || settings.width > kLargestSide ||
        settings.height > kLargestSide)
        LOG_ERROR("The capture's size must be between 1 and " + std::to_string(kLargestSide) +
                  " on each side");
    // H.264 in 4:2:0 halves the colour in both directions.
    if (!VideoContainer(settings.output).empty() && (settings.width % 2 != 0 || settings.height % 2 != 0))
        LOG_ERROR("A video needs an even width and height, not " + std::to_string(settings.width) + "x" +
                  std::to_string(settings.height));
    if (settings.frameLimit && *settings.frameLimit < 1)
        LOG_ERROR("The capture's frame limit must be at least 1");
    if (settings.endSeconds && !(*settings.endSeconds >= 0.0))
        LOG_ERROR("The capture's end time must be 0 or more seconds");
}

// How many frames the capture will take from the start, as far as anything says; 0 when nothing does.
std::int64_t ExpectedFrames(const CaptureSettings& settings, double startSeconds) {
    const auto framesUntil = [&](double end) {
        return static_cast<std::int64_t>(
            std::floor((end - startSeconds) * settings.framesPerSecond + kFrameTolerance));
    };
    std::int64_t expected = 0;
    const auto consider = [&](std::int64_t frames) {
        frames = std::max<std::int64_t>(frames, 1);
        expected = expected == 0 ? frames : std::min(expected, frames);
    };
    if (settings.frameLimit)
        consider(*settings.frameLimit);
    if (settings.endSeconds)
        consider(framesUntil(*settings.endSeconds));
    // The demo quits in the first pass past its end, which is still captured.
    if (demoEnd)
        consider(framesUntil(*demoEnd) + 1);
    return expected;
}

// The timer on fixed steps, moved to the first frame at or after the start; gives that frame's time.
double StartFixedSteps(int framesPerSecond, double startSeconds) {
    core::Timer* timer = core::Timer::Get();
    timer->UseFixedSteps(framesPerSecond);
    timer->SetTime(startSeconds);
    return timer->Time();
}

} // namespace

bool Requested() {
    return requested.has_value();
}

WindowSettings CaptureWindow(const WindowSettings& asked) {
    WindowSettings window = asked;
    window.width = requested->width;
    window.height = requested->height;
    window.fullscreen = false;
    window.presentationInterval = kPresentImmediately;
    return window;
}

Session::Session(double startSeconds, std::function<bool()> pictureShown)
    : settings(*requested), startSeconds(StartFixedSteps(settings.framesPerSecond, startSeconds)),
      sink(OpenSink(settings)), music(ReadMusic(), settings.framesPerSecond, this->startSeconds),
      progress(stderr, settings.showProgress, ExpectedFrames(settings, this->startSeconds)),
      grabber(*sink, music, progress, settings, std::move(pictureShown)) {}

void Session::Finish() {
    progress.Finish();
    if (grabber.Failure())
        throw *grabber.Failure();
    if (grabber.Frames() == 0)
        LOG_ERROR("The capture ended before its first frame: nothing was written to '" + settings.output +
                  "'");
    sink->Finish();
    const double seconds = static_cast<double>(grabber.Frames()) / settings.framesPerSecond;
    LOG_MESSAGE("Captured " + std::to_string(grabber.Frames()) + " frames to " + settings.output);
    if (settings.showProgress)
        std::fprintf(stderr, "Captured %lld frames (%.2f s at %d fps) into %s\n",
                     static_cast<long long>(grabber.Frames()), seconds, settings.framesPerSecond,
                     settings.output.c_str());
}

} // namespace capture

void UseCapture(const CaptureSettings& settings) {
    // Nobody watches a capture: a box would stop it until someone clicked. First, so that the program
    // can show why the capture cannot start the same way.
    platform::SetMessageBoxHandler(
        [](const std::wstring& text, const std::wstring& caption, platform::MessageBoxOwner) {
            std::fprintf(stderr, "%s: %s\n", core::WideToNarrow(caption).c_str(),
                         core::WideToNarrow(text).c_str());
        });
    capture::Validate(settings);
    // Fails now, before a window or a scene exists, when the output cannot be written.
    { capture::TemporaryOutput probe(settings.output, capture::VideoContainer(settings.output).empty()); }
    capture::requested = settings;
    // Offscreen, whatever display there is: the picture keeps the capture's size, and presenting
    // leaves the back buffer for the grabber to read.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
    gfx::UseRepeatableParticles(capture::kParticleSeed);
    gfx::ResetEmissionClocks();
}

void SetCaptureEnd(double seconds) {
    capture::demoEnd = seconds;
}

} // namespace engine
