// The music layer the application facade plays the demo's tracker module through: libopenmpt decodes
// the module, an SDL audio device (44100 Hz, stereo, float) plays it from its own thread. Six calls,
// shaped after the closed audio library the facade was first written against, plus a seek and a position.
#pragma once

#include <cstdint>
#include <string>

namespace engine::audio {

// A loaded module; 0 is never a valid one.
using MusicHandle = std::uint32_t;

constexpr int kSampleRate = 44100;
// The facade accepts the layer only when the high 16 bits of GetVersion() say 2.3.
constexpr std::uint32_t kVersion = 0x02030000u;

std::uint32_t GetVersion();
// Opens the output device (paused) at the given rate. Without a usable sound card it falls back to
// SDL's "dummy" driver, so the demo runs silently instead of failing. True when a device is open.
bool Init(int frequency = kSampleRate);
// Loads a tracker module from a file: the handle, or 0 for a missing, unreadable or non-module file.
// The module plays once and stops at its end.
MusicHandle MusicLoad(const std::string& path);
// Decodes the first milliseconds of the module ahead, so that playback starts without a gap.
bool ChannelPreBuf(MusicHandle music, int milliseconds);
// Starts playback at once from the current position (or from the start with restart).
bool ChannelPlay(MusicHandle music, bool restart);
// Moves playback to that many seconds into the module (past its end: silence) and drops what was
// decoded ahead. False for an unknown handle.
bool ChannelSetPosition(MusicHandle music, double seconds);
// Seconds of the module decoded so far, pre-buffered audio included; -1 for an unknown handle.
double ChannelGetPosition(MusicHandle music);
// Closes the device, then destroys the loaded module. Safe to call more than once.
void Free();

} // namespace engine::audio
