// The score's instruments, synthesized into 16-bit samples: tones built from their harmonics up to the
// top of the audible band, one sample per range of the notes the score plays (so no note bends a
// harmonic past what the mixer can hold), optionally as three detuned voices in one long loop; and
// one-shot drums from integer hash noise. The same name, options and notes always give the same bytes,
// so the built module never changes by itself.
#pragma once

#include "formats/xmWriter.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::music {

struct ToneOptions {
    // At most this many harmonics (0: as many as fit below the band limit); fewer sound duller.
    int harmonics = 0;
    // 0 for one voice; otherwise three voices with detune - 1, detune and detune + 1 periods in one loop,
    // about 1730 / detune cents apart, beating slowly as a chorus.
    int detune = 0;
};

constexpr int kMaxHarmonics = 1024;
constexpr int kMinDetune = 16;
constexpr int kMaxDetune = 256;

// The notes an instrument plays: for each note that starts it (1..96, C-4 = 49), the highest pitch in
// semitones on the same scale that the note is bent to while it sounds (an arpeggio, a slide up); 0
// where no note starts it.
using NoteUse = std::array<int, formats::XmInstrument::kNotes + 1>;

// The samples of one instrument and which note plays which.
struct Sound {
    std::vector<formats::XmSample> samples;
    std::vector<std::uint8_t> noteToSample; // empty: every note plays the first sample
};

// Tones: "sine", "triangle", "square", "saw", "pulse" (a quarter duty cycle); each plays at the pitch
// its note names. Drums, one-shot, at their own pitch on C-4: "kick" (a sine falling in pitch), "snare"
// (a short tone under noise), "hat" (bright noise, closed), "crash" (bright noise, long).
bool IsTone(const std::string& name);
bool IsWaveform(const std::string& name);

// nullopt when the name is neither a tone nor a drum; the options and the notes shape tones only.
std::optional<Sound> Synthesize(const std::string& name, const ToneOptions& options = {},
                                const NoteUse& notes = {});

} // namespace quorvel::music
