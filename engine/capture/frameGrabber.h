// The module that captures: it runs after the renderer in every pass, reads back the frame the renderer
// has just presented, and hands it with the music of its 1/fps interval to the sink; it ends the run at
// the frame limit or the end time. Reading after Present needs no hook inside the renderer's frame, and
// is safe because a capture draws into an offscreen pbuffer, which presenting leaves as it was drawn.
// A failure ends the run instead of being reported and skipped like a module's failure in a live pass.
#pragma once

#include "capture/frameSink.h"
#include "capture/offlineMusic.h"
#include "capture/progressLine.h"

#include <engine/exception.h>
#include <engine/module.h>

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

    std::int64_t Frames() const { return frames; }
    // What ended the run early, for the caller to raise once the loop is over.
    const std::optional<core::Exception>& Failure() const { return failure; }

private:
    void Grab();

    FrameSink& sink;
    OfflineMusic& music;
    ProgressLine& progress;
    const CaptureSettings& settings;
    std::function<bool()> pictureShown;
    std::int64_t frames = 0;
    std::vector<std::uint8_t> rgba;
    std::optional<core::Exception> failure;
};

} // namespace engine::capture
