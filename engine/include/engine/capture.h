// Frame-exact capture: instead of playing live, the demo runs offscreen on a clock of fixed steps, and
// every frame it draws goes, with its share of the music rendered offline, to a video file or to
// numbered pictures and a WAV file. A program asks for it before it creates the window.
#pragma once

#include <engine/export.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace engine {

struct CaptureSettings {
    // A name ending in .mp4 or .mkv: one H.264 video with AAC sound. Anything else names a folder that
    // receives 000001.png, 000002.png, ... and audio.wav (16-bit stereo, 44100 Hz). Written under a
    // temporary name and renamed once complete, so nothing half-written ever carries this name.
    std::string output;
    int framesPerSecond = 60;
    // The picture's size; a video needs even sides.
    int width = 1280;
    int height = 720;
    // Stop after this many frames, or after the last frame whose demo time is at most endSeconds,
    // whichever comes first; without either, the capture ends when the demo quits.
    std::optional<std::int64_t> frameLimit;
    std::optional<double> endSeconds;
    // The first frame written, numbered as in a capture from the demo's start (frame n shows demo time
    // n / fps and holds the sound of the interval before it). The frames before it are drawn, neither
    // read back nor written: what a picture carries into the next through render targets ("lastFrame"
    // trails and glows) reaches that frame as in a whole capture. Pictures in a folder keep the whole
    // capture's numbers.
    std::int64_t firstFrame = 1;
    // A line on standard error, rewritten in place: frame, demo time, frames per second, time left.
    bool showProgress = true;
    // Frame n is read back while frame n+1 draws, and pictures are converted, encoded and written on a
    // thread of their own, a few frames behind (a bounded queue: the drawing waits when it is full).
    // False does each frame's reading and writing before the next is drawn; the output is the same.
    bool pipelined = true;
};

// Turns the coming run into a capture. Call it before CreateTALVOWindow: the window is then made
// offscreen at the capture's size (windowed, presenting at once; antialiasing and colour depth as the
// program asks), the timer counts whole frames from wherever SetDemoTime puts it, particles draw their
// random factors from a fixed seed, and StartApplication renders frames and music into the output
// instead of playing them. Message boxes go to standard error as "caption: text" from this call on,
// even when it fails. Bad settings, or an output that cannot be written, throw Exception at once,
// before anything is drawn.
ENGINE_API void UseCapture(const CaptureSettings& settings);

// Where the demo will end by itself, in seconds of demo time, so that the progress line can tell the
// time left when no frame limit or end time is given.
ENGINE_API void SetCaptureEnd(double seconds);

// Joins videos captured alone (CaptureSettings::firstFrame) that together hold consecutive frames into
// one video at `output` (.mp4 or .mkv), without encoding the pictures again: each part starts with a key
// frame and the joined timestamps run on at exactly one frame apart. The music of the whole range is
// rendered from data/ in the working folder and encoded once, as a whole capture has it. The parts may
// be given in any order; a gap, an overlap, another frame rate or size, or a file that is no capture's
// part throws Exception naming the part, and nothing is written.
ENGINE_API void JoinCaptureParts(const std::string& output, const std::vector<std::string>& parts);

} // namespace engine
