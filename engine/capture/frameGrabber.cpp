#include "capture/frameGrabber.h"

#include "core/kernel.h"
#include "core/logging.h"
#include "core/timer.h"
#include "gpu/device.h"
#include "platform/window.h"

#include <cmath>
#include <utility>

namespace engine::capture {

namespace {

// A frame whose time passes the end by less than this is still the end's own frame.
constexpr double kEndTolerance = 1e-9;

} // namespace

FrameGrabber::FrameGrabber(FrameSink& sink, OfflineMusic& music, ProgressLine& progress,
                           const CaptureSettings& settings, std::function<bool()> pictureShown)
    : sink(sink), music(music), progress(progress), settings(settings),
      pictureShown(std::move(pictureShown)) {
    name = L"Capture";
    priority = kPriority;
}

void FrameGrabber::Update() {
    if (failure)
        return;
    const double time = core::Timer::Get()->Time();
    if (settings.endSeconds && time > *settings.endSeconds + kEndTolerance) {
        core::Kernel::Get()->Quit();
        return;
    }
    // Drawn only for what it carries into the frames to write.
    if (std::llround(time * settings.framesPerSecond) < settings.firstFrame) {
        progress.Frame(0, time);
        return;
    }
    try {
        Grab();
    } catch (const core::Exception& error) {
        failure = error;
        core::Kernel::Get()->Quit();
        return;
    }
    progress.Frame(frames, time);
    if (settings.frameLimit && frames >= *settings.frameLimit)
        core::Kernel::Get()->Quit();
}

void FrameGrabber::TakeFramesInFlight() {
    try {
        while (!failure && framesInFlight > 0)
            Deliver();
    } catch (const core::Exception& error) {
        failure = error;
    }
}

gpu::Ref<gpu::Surface> FrameGrabber::Picture() const {
    gpu::Device* device = core::CWin32Window::Get()->device;
    gpu::Surface* backBuffer = nullptr;
    if (device == nullptr || gpu::Failed(device->GetRenderTarget(0, &backBuffer)) || backBuffer == nullptr)
        LOG_ERROR("The capture found no picture to read");
    gpu::Ref<gpu::Surface> surface = gpu::Ref<gpu::Surface>::Adopt(backBuffer);
    const auto width = static_cast<int>(surface->Width());
    const auto height = static_cast<int>(surface->Height());
    if (width != settings.width || height != settings.height)
        LOG_ERROR("The capture's picture is " + std::to_string(width) + "x" + std::to_string(height) +
                  " instead of " + std::to_string(settings.width) + "x" + std::to_string(settings.height));
    return surface;
}

void FrameGrabber::Grab() {
    const bool repeat = anyPicture && !pictureShown();
    if (!settings.pipelined) {
        GrabSerially(repeat);
        return;
    }
    if (!repeat) {
        const gpu::Ref<gpu::Surface> surface = Picture();
        if (gpu::Failed(core::CWin32Window::Get()->device->QueueReadPixels(surface.Get())))
            LOG_ERROR("The capture could not read the picture back");
        anyPicture = true;
    }
    InFlight& frame = inFlight[(firstInFlight + framesInFlight) % inFlight.size()];
    frame.read = !repeat;
    const std::vector<float>& sound = music.NextFrame();
    frame.sound.assign(sound.begin(), sound.end());
    ++framesInFlight;
    ++frames;
    while (framesInFlight > kFramesBehind)
        Deliver();
}

void FrameGrabber::Deliver() {
    InFlight& frame = inFlight[firstInFlight];
    if (frame.read && gpu::Failed(core::CWin32Window::Get()->device->TakeQueuedPixels(rgba)))
        LOG_ERROR("The capture could not read the picture back");
    firstInFlight = (firstInFlight + 1) % inFlight.size();
    --framesInFlight;
    sink.Picture(rgba, settings.width, settings.height);
    sink.Sound(frame.sound);
}

void FrameGrabber::GrabSerially(bool repeat) {
    if (!repeat) {
        const gpu::Ref<gpu::Surface> surface = Picture();
        if (gpu::Failed(core::CWin32Window::Get()->device->ReadPixels(surface.Get(), rgba)))
            LOG_ERROR("The capture could not read the picture back");
        anyPicture = true;
    }
    sink.Picture(rgba, settings.width, settings.height);
    sink.Sound(music.NextFrame());
    ++frames;
}

} // namespace engine::capture
