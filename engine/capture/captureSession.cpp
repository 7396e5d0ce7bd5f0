#include "capture/captureSession.h"

#include "capture/temporaryOutput.h"
#include "capture/unattendedRun.h"
#include "core/logging.h"
#include "core/textConversion.h"
#include "core/timer.h"
#include "gpu/device.h"
#include "platform/messageBox.h"
#include "platform/window.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <utility>

namespace engine {

namespace capture {

namespace {

// Frames whose time passes an end by less than this still count as the end's own.
constexpr double kFrameTolerance = 1e-6;

std::optional<CaptureSettings> requested;
std::optional<double> demoEnd;

void Validate(const CaptureSettings& settings) {
    if (settings.output.empty())
        LOG_ERROR("The capture needs an output: a folder, or a file ending in .mp4 or .mkv");
    CheckUnattendedShape("capture", settings.width, settings.height, settings.framesPerSecond);
    // H.264 in 4:2:0 halves the colour in both directions.
    if (!VideoContainer(settings.output).empty() && (settings.width % 2 != 0 || settings.height % 2 != 0))
        LOG_ERROR("A video needs an even width and height, not " + std::to_string(settings.width) + "x" +
                  std::to_string(settings.height));
    if (settings.firstFrame < 1)
        LOG_ERROR("The capture's first frame must be 1 or more, not " + std::to_string(settings.firstFrame));
    if (settings.frameLimit && *settings.frameLimit < 1)
        LOG_ERROR("The capture's frame limit must be at least 1");
    if (settings.endSeconds && !(*settings.endSeconds >= 0.0))
        LOG_ERROR("The capture's end time must be 0 or more seconds");
}

// How many frames the capture will take from the start, as far as anything says; 0 when nothing does.
std::int64_t ExpectedFrames(const CaptureSettings& settings, double startSeconds) {
    // Frames drawn before the first one written are not counted.
    startSeconds =
        std::max(startSeconds, static_cast<double>(settings.firstFrame - 1) / settings.framesPerSecond);
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

// The settings asked for, once the device that will draw them is known to reach their size.
const CaptureSettings& FittingTheDevice(const CaptureSettings& settings) {
    gpu::Device* device = core::CWin32Window::Get()->device;
    gpu::Caps caps;
    if (device == nullptr || gpu::Failed(device->GetDeviceCaps(caps)))
        LOG_ERROR("The capture found no device to draw with");
    if (static_cast<std::uint32_t>(settings.width) > caps.maxRenderTargetWidth ||
        static_cast<std::uint32_t>(settings.height) > caps.maxRenderTargetHeight)
        LOG_ERROR("The capture's size " + std::to_string(settings.width) + "x" +
                  std::to_string(settings.height) + " is larger than this device can draw: at most " +
                  std::to_string(caps.maxRenderTargetWidth) + "x" +
                  std::to_string(caps.maxRenderTargetHeight));
    return settings;
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
    return UnattendedWindow(asked, requested->width, requested->height);
}

Session::Session(double startSeconds, std::function<bool()> pictureShown)
    : settings(FittingTheDevice(*requested)),
      startSeconds(StartFixedSteps(settings.framesPerSecond, startSeconds)), sink(OpenSink(settings)),
      music(ReadMusicFile(), settings.framesPerSecond, this->startSeconds, settings.firstFrame - 1),
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
    capture::UseUnattendedParticles();
}

void SetCaptureEnd(double seconds) {
    capture::demoEnd = seconds;
}

} // namespace engine
