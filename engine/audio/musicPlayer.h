// The music layer the application facade plays the demo's tracker module through: libopenmpt decodes
// the module, an SDL audio device (44100 Hz, stereo, float) plays it from its own thread. Six calls,
// shaped after the closed audio library the facade was first written against, plus a seek, the
// positions, and the clock of the samples the device has played, which the timer follows so that the
// picture keeps to the music however fast the device's clock runs.
#pragma once

#include "platform/clock.h"

#include <engine/editor.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace openmpt {
class module;
} // namespace openmpt

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
// Stops taking the module on: the device plays silence and the playback clock stands once the block
// it plays has run out. ChannelPlay goes on from the sample after the last one taken.
bool ChannelPause(MusicHandle music);
// Moves playback to that many seconds into the module (past its end: silence) and drops what was
// decoded ahead. The position is exact to the sample, as if the module had played from its start, and
// holds from the moment of the call: the part of the new position that plays while the device still
// plays its last block of the old one is skipped. False for an unknown handle. With `clockReading`, the
// PlaybackClock's counter at the moment the position took effect.
bool ChannelSetPosition(MusicHandle music, double seconds, std::uint64_t* clockReading = nullptr);
// Seconds of the module decoded so far, pre-buffered audio included; -1 for an unknown handle.
double ChannelGetPosition(MusicHandle music);
// Seconds of the module heard by now: the last position set, plus the samples the device has played
// since; -1 for an unknown handle. Runs on past the module's end.
double ChannelGetPlayedPosition(MusicHandle music);
// Where the loaded module stands at `seconds` (its order list read once per loaded file); false when
// no module is loaded.
bool MusicPlaceAt(double seconds, MusicPlace& place);

// When the module playing now was loaded from `path`, replaces it with the file's module, which plays
// on from the sample heard now, as if it had played from its start, and keeps its handle. False when
// the module playing came from elsewhere (or none is loaded) or the file is no module; the module
// playing then stays.
bool MusicReload(const std::string& path);
// Main thread: when the device was removed and an output device has appeared since, plays on there, the
// music passing over what the clock ran on meanwhile. True when it switched. Every reading of the
// PlaybackClock asks this first.
bool ReplaceRemovedDevice();
// The SDL audio device playing the music; 0 when none is open.
std::uint32_t OutputDevice();
// Closes the device, then destroys the loaded module. Safe to call more than once.
void Free();

// The samples the device has taken since playback started, as a clock (nanoseconds), interpolated
// between blocks and never stepping back; a seek does not move it. It stands still until the first
// block and while nothing plays. Reading it never waits on the audio thread; while the device is
// stalled or removed it runs on the machine's counter (see SampleClock).
platform::Clock& PlaybackClock();

// A module from a file's bytes, set up as the demo plays it (once, stopping at its end, notes started
// before a seek still sounding), at `seconds` as rendered at `frequency`: libopenmpt seeks by rows of
// its own timing, which drifts from the samples it renders, so a fresh module renders its way there
// instead. Null when the bytes are not a module.
std::unique_ptr<openmpt::module> OpenModule(const std::vector<char>& bytes, double seconds = 0.0,
                                            int frequency = kSampleRate);

} // namespace engine::audio
