// A capture from the engine's side: what the program asked for (UseCapture, SetCaptureEnd), the
// window it implies, and one run of the main loop as a capture, from its output opened under a
// temporary name to the file or folder renamed complete. Built on the timer's fixed steps, the offline
// music, the frame grabber and the sinks.
#pragma once

#include "capture/frameGrabber.h"
#include "capture/frameSink.h"
#include "capture/offlineMusic.h"
#include "capture/progressLine.h"

#include <engine/capture.h>
#include <engine/windowSettings.h>

#include <functional>
#include <memory>

namespace engine::capture {

// Whether UseCapture was called in this process.
bool Requested();
// The settings a capture's window is made with: the capture's size, windowed, presenting at once.
WindowSettings CaptureWindow(const WindowSettings& asked);

class Session {
public:
    // Reads the music, opens the output and sets the timer to fixed steps from startSeconds (moved to
    // the first frame at or after it). Throws Exception when the music or the output fail.
    // `pictureShown` as the frame grabber takes it.
    Session(double startSeconds, std::function<bool()> pictureShown);

    // The modules to register for the main loop.
    core::Module& Grabber() { return grabber; }
    core::Module& FramesStillInFlight() { return framesInFlight; }
    // Moves the music with the timer, which SetDemoTime has just moved to `seconds`.
    void SeekMusic(double seconds) { music.Seek(seconds); }
    // After the main loop: completes the output, or raises what ended the capture early.
    void Finish();

private:
    CaptureSettings settings;
    double startSeconds;
    std::unique_ptr<FrameSink> sink;
    OfflineMusic music;
    ProgressLine progress;
    FrameGrabber grabber;
    FramesInFlight framesInFlight{grabber};
};

} // namespace engine::capture
