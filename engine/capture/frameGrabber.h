// The module that captures: it runs after the renderer in every pass, reads back the frame the renderer
// has just presented, and hands it with the music of its 1/fps interval to the sink; it ends the run at
// the frame limit or the end time. Reading after Present needs no hook inside the renderer's frame, and
// is safe because a capture draws into an offscreen pbuffer, which presenting leaves as it was drawn.
// Pipelined, frame n's read-back is only started in its pass and taken a few passes later, while later
// frames draw; the frames still in flight are taken when the loop stops, by FramesInFlight's Stop,
// which comes before the screen's closes the device.
// A failure ends the run instead of being reported and skipped like a module's failure in a live pass.
#pragma once

#include "capture/frameSink.h"
#include "capture/offlineMusic.h"
#include "capture/progressLine.h"
#include "gpu/device.h"

#include <engine/exception.h>
#include <engine/module.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace engine::capture {

class FrameGrabber : public core::Module {
public:
    // After the renderer (6000), before the input snapshot and the program's modules.
    static constexpr int kPriority = 6500;

    // `pictureShown` tells whether the renderer's pass ended with its picture presented; a frame it
    // could not show (the device is lost) repeats the last picture shown, as the screen does.
    FrameGrabber(FrameSink& sink, OfflineMusic& music, ProgressLine& progress,
                 const CaptureSettings& settings, std::function<bool()> pictureShown);

    bool Start() override { return true; }
    void Update() override;
    void Stop() override {}
    // Hands every frame still in flight to the sink; a failure ends the capture as in a pass.
    void TakeFramesInFlight();

    std::int64_t Frames() const { return frames; }
    // What ended the run early, for the caller to raise once the loop is over.
    const std::optional<core::Exception>& Failure() const { return failure; }

private:
    // A frame drawn whose picture has not reached the sink yet: its read-back in flight on the device,
    // or none where it repeats the picture before it; its sound already rendered.
    struct InFlight {
        bool read = false;
        std::vector<float> sound;
    };
    // Pipelined, frames are handed on once this many later ones have been drawn.
    static constexpr std::size_t kFramesBehind = 2;
    static_assert(kFramesBehind < gpu::Device::kMaxQueuedReads);

    void Grab();
    void GrabSerially(bool repeat);
    // Hands the oldest frame in flight to the sink.
    void Deliver();
    gpu::Ref<gpu::Surface> Picture() const;

    FrameSink& sink;
    OfflineMusic& music;
    ProgressLine& progress;
    const CaptureSettings& settings;
    std::function<bool()> pictureShown;
    std::int64_t frames = 0;
    std::vector<std::uint8_t> rgba;
    bool anyPicture = false;
    std::array<InFlight, kFramesBehind + 1> inFlight;
    std::size_t firstInFlight = 0, framesInFlight = 0;
    std::optional<core::Exception> failure;
};

// The module whose Stop takes the grabber's last frames: a program may quit after the grabber's turn in
// the last pass, and the loop then stops the modules in ascending priority, the screen's (10) closing
// the device.
class FramesInFlight : public core::Module {
public:
    static constexpr int kPriority = 0;

    explicit FramesInFlight(FrameGrabber& grabber) : grabber(grabber) {
        name = L"Capture's frames in flight";
        priority = kPriority;
    }
    bool Start() override { return true; }
    void Update() override {}
    void Stop() override { grabber.TakeFramesInFlight(); }

private:
    FrameGrabber& grabber;
};

} // namespace engine::capture
