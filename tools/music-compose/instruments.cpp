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

// A period of 32 samples sounds at the note's pitch at the player's base rate (C-4 = 8363 Hz); longer
// periods are played faster by whole octaves through the relative note.
constexpr int kBasePeriod = 32;

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

// Scales the signal so its largest magnitude is full scale, then rounds it to 8 bits.
std::vector<std::int8_t> Quantize(const std::vector<double>& signal) {
    double peak = 0.0;
    for (double value : signal)
        peak = std::max(peak, std::abs(value));
    const double scale = peak > 0.0 ? 127.0 / peak : 0.0;
    std::vector<std::int8_t> data;
    data.reserve(signal.size());
    for (double value : signal)
        data.push_back(static_cast<std::int8_t>(std::lround(std::clamp(value * scale, -127.0, 127.0))));
    return data;
}

formats::XmSample Tone(const Harmonic& harmonic, const ToneOptions& options) {
    const int harmonics = std::clamp(options.harmonics, 1, kMaxHarmonics);
    int period = kBasePeriod;
    std::int8_t octaves = 0;
    while (period < 4 * harmonics) {
        period *= 2;
        ++octaves;
    }
    // The loop holds `detune` periods of the middle voice and one period more and one less of the
    // others, so all three voices join up seamlessly where the loop starts again.
    const int periods = options.detune > 0 ? std::clamp(options.detune, kMinDetune, kMaxDetune) : 1;
    const std::vector<int> voices =
        options.detune > 0 ? std::vector<int>{periods - 1, periods, periods + 1} : std::vector<int>{1};
    const int length = periods * period;
    std::vector<double> signal(static_cast<std::size_t>(length), 0.0);
    for (int i = 0; i < length; ++i)
        for (int cycles : voices) {
            const double phase = static_cast<double>(cycles) * i / length;
            for (int n = 1; n <= harmonics; ++n)
                signal[static_cast<std::size_t>(i)] += harmonic(n, phase);
        }
    formats::XmSample sample;
    sample.data = Quantize(signal);
    sample.loopStart = 0;
    sample.loopLength = static_cast<std::uint32_t>(length);
    sample.loopType = 1;
    sample.relativeNote = static_cast<std::int8_t>(12 * octaves);
    return sample;
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

formats::XmSample Drum(std::vector<double> signal) {
    // A short fade to zero so that the last sample does not end in a click.
    const std::size_t fade = std::min<std::size_t>(signal.size(), 256);
    for (std::size_t i = 0; i < fade; ++i)
        signal[signal.size() - 1 - i] *= static_cast<double>(i) / fade;
    formats::XmSample sample;
    sample.data = Quantize(signal);
    sample.relativeNote = kDrumRelativeNote;
    sample.finetune = kDrumFinetune;
    return sample;
}

} // namespace

bool IsTone(const std::string& name) {
    return HarmonicsOf(name).has_value();
}

std::optional<formats::XmSample> Synthesize(const std::string& name, const ToneOptions& options) {
    if (const auto harmonic = HarmonicsOf(name))
        return Tone(*harmonic, options);
    if (auto signal = DrumSignal(name))
        return Drum(std::move(*signal));
    return std::nullopt;
}

} // namespace quorvel::music
