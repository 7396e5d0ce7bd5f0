// The score's instruments, synthesized into 8-bit samples: looped tones built from their harmonics,
// optionally as three detuned voices in one long loop, and one-shot drums from integer hash noise. The
// same name and options always give the same bytes, so the built module never changes by itself.
#pragma once

#include "formats/xmWriter.h"

#include <optional>
#include <string>

namespace quorvel::music {

struct ToneOptions {
    // How many harmonics a tone keeps: enough for brightness, few enough that the notes it plays stay
    // below half the mixing rate. The period grows with it, so each harmonic gets four samples or more.
    int harmonics = 16;
    // 0 for one voice; otherwise three voices with detune - 1, detune and detune + 1 periods in one loop,
    // about 1730 / detune cents apart, beating slowly as a chorus.
    int detune = 0;
};

constexpr int kMaxHarmonics = 64;
constexpr int kMinDetune = 16;
constexpr int kMaxDetune = 256;

// Tones: "sine", "triangle", "square", "saw", "pulse" (a quarter duty cycle); each plays at the pitch
// its note names. Drums, one-shot, at their own pitch on C-4: "kick" (a sine falling in pitch), "snare"
// (a short tone under noise), "hat" (bright noise, closed), "crash" (bright noise, long).
bool IsTone(const std::string& name);

// nullopt when the name is neither a tone nor a drum; the options shape tones only.
std::optional<formats::XmSample> Synthesize(const std::string& name, const ToneOptions& options = {});

} // namespace quorvel::music
