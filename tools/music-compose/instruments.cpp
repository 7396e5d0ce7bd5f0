#include "instruments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <vector>

namespace quorvel::music {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The pitch scale the tones keep: C-4 sounds at the format's 8363 Hz over a 32-sample period.
constexpr double kC4Frequency = 8363.0 / 32.0;
constexpr int kC4 = 49;

// Tones are made for a mixer at 44100 Hz, the engine's rate: at the highest pitch a sample is bent to
// it plays at exactly that rate, every lower note plays it slower, so the mixer only ever stretches a
// sample and never folds one of its harmonics back down. Harmonics stop at the band limit, a little
// under half that rate, where the player's interpolation still passes them cleanly.
constexpr double kMixRate = 44100.0;
constexpr double kBandLimit = 19000.0;
// Within one sample the notes span at most this many semitones, counting the bends above them, so even
// its lowest note keeps harmonics up to half the band limit (9.5 kHz) and most keep far more.
constexpr int kZoneSpan = 11;
// A loop of one voice repeats whole periods over at least this many samples.
constexpr double kMinLoop = 1024.0;
// Every harmonic of every voice is summed at every sample of the loop: past this many terms (long loops
// of low notes with a slow chorus) a tone keeps fewer harmonics rather than take seconds to make. A
// fuzzing build keeps fewer still: the same code, a small part of the time under the sanitizers.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr double kMaxTerms = 1e5;
#else
constexpr double kMaxTerms = 5e7;
#endif
constexpr double kFullScale = 32767.0;

// Drums are made at 44100 Hz; relative note 28 and finetune 100 make C-4 play them at that rate.
constexpr double kDrumRate = 44100.0;
constexpr std::int8_t kDrumRelativeNote = 28;
constexpr std::int8_t kDrumFinetune = 100;

// The amplitude of harmonic n (1-based) at the phase; 0 where the waveform has none.
using Harmonic = std::function<double(int n, double phase)>;

std::optional<Harmonic> HarmonicsOf(const std::string& name) {
    if (name == "sine")
        return [](int n, double phase) { return n == 1 ? std::sin(kTwoPi * phase) : 0.0; };
    if (name == "saw")
        return [](int n, double phase) { return std::sin(kTwoPi * n * phase) / n; };
    if (name == "square")
        return [](int n, double phase) { return n % 2 == 1 ? std::sin(kTwoPi * n * phase) / n : 0.0; };
    if (name == "triangle")
        return [](int n, double phase) {
            const double sign = (n / 2) % 2 == 0 ? 1.0 : -1.0;
            return n % 2 == 1 ? sign * std::sin(kTwoPi * n * phase) / (n * n) : 0.0;
        };
    if (name == "pulse")
        return [](int n, double phase) {
            constexpr double kDuty = 0.25;
            return std::sin(std::numbers::pi * n * kDuty) * std::cos(kTwoPi * n * (phase - kDuty / 2)) / n;
        };
    return std::nullopt;
}

// Scales the signal so its largest magnitude is full scale, then rounds it to 16 bits.
std::vector<std::int16_t> Quantize(const std::vector<double>& signal) {
    double peak = 0.0;
    for (double value : signal)
        peak = std::max(peak, std::abs(value));
    const double scale = peak > 0.0 ? kFullScale / peak : 0.0;
    std::vector<std::int16_t> data;
    data.reserve(signal.size());
    for (double value : signal)
        data.push_back(
            static_cast<std::int16_t>(std::lround(std::clamp(value * scale, -kFullScale, kFullScale))));
    return data;
}

double Frequency(int note) {
    return kC4Frequency * std::exp2((note - kC4) / 12.0);
}

// The notes that start one sample, and the highest pitch any of them is bent to.
struct Zone {
    int bottom = kC4;
    int top = kC4;
    int limit = kC4;
};

// From the highest note down, each sample takes notes while its span, bends included, stays within
// kZoneSpan; the format allows 16 samples, and the last one takes whatever remains below.
std::vector<Zone> Zones(const NoteUse& notes) {
    std::vector<Zone> zones;
    for (int note = static_cast<int>(formats::XmInstrument::kNotes); note >= 1; --note) {
        if (notes[static_cast<std::size_t>(note)] == 0)
            continue;
        const int reach = std::max(note, notes[static_cast<std::size_t>(note)]);
        const bool fits = !zones.empty() && (std::max(zones.back().limit, reach) - note <= kZoneSpan ||
                                             zones.size() == formats::XmInstrument::kMaxSamples);
        if (fits) {
            zones.back().bottom = note;
            zones.back().limit = std::max(zones.back().limit, reach);
        } else {
            zones.push_back({note, note, reach});
        }
    }
    if (zones.empty())
        zones.push_back({});
    return zones;
}

formats::XmSample Tone(const Harmonic& harmonic, const ToneOptions& options, const Zone& zone) {
    const double frequency = Frequency(zone.limit);
    int harmonics = std::max(1, static_cast<int>(kBandLimit / frequency));
    if (options.harmonics > 0)
        harmonics = std::min(harmonics, options.harmonics);
    // The loop holds `detune` periods of the middle voice and one period more and one less of the
    // others, so all three voices join up seamlessly where the loop starts again.
    const int cycles = options.detune > 0
                           ? std::clamp(options.detune, kMinDetune, kMaxDetune)
                           : std::max(1, static_cast<int>(std::ceil(kMinLoop * frequency / kMixRate)));
    const std::vector<int> voices =
        options.detune > 0 ? std::vector<int>{cycles - 1, cycles, cycles + 1} : std::vector<int>{cycles};
    const auto length = static_cast<int>(std::lround(cycles * kMixRate / frequency));
    harmonics =
        std::clamp(static_cast<int>(kMaxTerms / (static_cast<double>(length) * voices.size())), 1, harmonics);
    std::vector<double> signal(static_cast<std::size_t>(length), 0.0);
    for (int i = 0; i < length; ++i)
        for (int voice : voices) {
            const double phase = static_cast<double>(voice) * i / length;
            for (int n = 1; n <= harmonics; ++n)
                signal[static_cast<std::size_t>(i)] += harmonic(n, phase);
        }
    formats::XmSample sample;
    sample.wide = Quantize(signal);
    sample.loopStart = 0;
    sample.loopLength = static_cast<std::uint32_t>(length);
    sample.loopType = 1;
    // The loop's period, whole samples long, is rarely the pitch's exact one: the relative note and the
    // finetune (1/128 semitone) tune the sample so that each note sounds on the scale.
    const auto tuning = static_cast<int>(std::lround(128.0 * 12.0 * std::log2(length / (32.0 * cycles))));
    const int semitones = tuning >= 0 ? tuning / 128 : -((-tuning + 127) / 128);
    sample.relativeNote = static_cast<std::int8_t>(semitones);
    sample.finetune = static_cast<std::int8_t>(tuning - 128 * semitones);
    return sample;
}

Sound Tones(const Harmonic& harmonic, const ToneOptions& options, const NoteUse& notes) {
    const std::vector<Zone> zones = Zones(notes);
    Sound sound;
    for (const Zone& zone : zones)
        sound.samples.push_back(Tone(harmonic, options, zone));
    if (zones.size() > 1) {
        // A note between or beyond the played ones takes the sample of the next played note below it.
        sound.noteToSample.assign(formats::XmInstrument::kNotes, static_cast<std::uint8_t>(zones.size() - 1));
        for (int note = 1; note <= static_cast<int>(formats::XmInstrument::kNotes); ++note)
            for (std::size_t z = 0; z < zones.size(); ++z)
                if (zones[z].bottom <= note) {
                    sound.noteToSample[static_cast<std::size_t>(note - 1)] = static_cast<std::uint8_t>(z);
                    break;
                }
    }
    return sound;
}

// White noise from an integer hash of the sample's index: the same on every machine and every run.
double Noise(std::uint32_t index, std::uint32_t seed) {
    std::uint32_t x = index * 0x9E3779B9u + seed;
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return static_cast<double>(x) / 2147483648.0 - 1.0;
}

// Noise tilted towards the highs by differencing neighbours `order` times: cymbals, not rain.
std::vector<double> BrightNoise(std::size_t length, std::uint32_t seed, int order) {
    std::vector<double> noise(length + static_cast<std::size_t>(order));
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = Noise(static_cast<std::uint32_t>(i), seed);
    for (int pass = 0; pass < order; ++pass)
        for (std::size_t i = 0; i + 1 < noise.size(); ++i)
            noise[i] = 0.5 * (noise[i + 1] - noise[i]);
    noise.resize(length);
    return noise;
}

std::vector<double> Kick() {
    const std::size_t length = static_cast<std::size_t>(0.45 * kDrumRate);
    std::vector<double> signal(length);
    double phase = 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / kDrumRate;
        // The pitch falls quickly from a knock to a low hum; the drive adds punch to the attack.
        const double frequency = 48.0 + 140.0 * std::exp(-t / 0.03);
        phase += kTwoPi * frequency / kDrumRate;
        const double body = std::tanh(1.8 * std::sin(phase)) * std::exp(-t / 0.16);
        const double click = t < 0.002 ? 0.4 * Noise(static_cast<std::uint32_t>(i), 11u) : 0.0;
        signal[i] = body + click;
    }
    return signal;
}

std::vector<double> Snare() {
    const std::size_t length = static_cast<std::size_t>(0.3 * kDrumRate);
    const std::vector<double> noise = BrightNoise(length, 23u, 1);
    std::vector<double> signal(length);
    double phase = 0.0;
    for (std::size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / kDrumRate;
        phase += kTwoPi * (175.0 + 40.0 * std::exp(-t / 0.02)) / kDrumRate;
        const double tone = 0.5 * std::sin(phase) * std::exp(-t / 0.045);
        const double rattle = 1.6 * noise[i] * std::exp(-t / 0.07);
        signal[i] = tone + rattle;
    }
    return signal;
}

std::vector<double> Cymbal(double seconds, double decay, std::uint32_t seed) {
    const std::size_t length = static_cast<std::size_t>(seconds * kDrumRate);
    std::vector<double> signal = BrightNoise(length, seed, 2);
    for (std::size_t i = 0; i < length; ++i)
        signal[i] *= std::exp(-static_cast<double>(i) / kDrumRate / decay);
    return signal;
}

std::optional<std::vector<double>> DrumSignal(const std::string& name) {
    if (name == "kick")
        return Kick();
    if (name == "snare")
        return Snare();
    if (name == "hat")
        return Cymbal(0.09, 0.018, 37u);
    if (name == "crash")
        return Cymbal(2.0, 0.45, 41u);
    return std::nullopt;
}

Sound Drum(std::vector<double> signal) {
    // A short fade to zero so that the last sample does not end in a click.
    const std::size_t fade = std::min<std::size_t>(signal.size(), 256);
    for (std::size_t i = 0; i < fade; ++i)
        signal[signal.size() - 1 - i] *= static_cast<double>(i) / fade;
    formats::XmSample sample;
    sample.wide = Quantize(signal);
    sample.relativeNote = kDrumRelativeNote;
    sample.finetune = kDrumFinetune;
    return {{sample}, {}};
}

} // namespace

bool IsTone(const std::string& name) {
    return HarmonicsOf(name).has_value();
}

bool IsWaveform(const std::string& name) {
    return IsTone(name) || name == "kick" || name == "snare" || name == "hat" || name == "crash";
}

std::optional<Sound> Synthesize(const std::string& name, const ToneOptions& options, const NoteUse& notes) {
    if (const auto harmonic = HarmonicsOf(name))
        return Tones(*harmonic, options, notes);
    if (auto signal = DrumSignal(name))
        return Drum(std::move(*signal));
    return std::nullopt;
}

} // namespace quorvel::music
