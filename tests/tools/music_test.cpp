// The demo's music as the build makes it, played by libopenmpt as the engine plays it: as long as the
// demo plus a short tail, each section starting on its scene's first frame, every scene audible, the mix
// below full scale and mastered to a loudness target; and the synthesized instruments at the pitch their
// notes name, bright but free of aliasing, shaped by their envelopes. (That the module comes out byte for
// byte the same in every run is the content compiler's test.)
#include "score.h"
#include "support/programRun.h"

#include <libopenmpt/libopenmpt.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>

using quorvel::music::ReadScore;
using quorvel::test::ReadFile;

namespace {

// The production's scene lengths in frames at 25 frames per second.
constexpr int kSceneFrames[] = {384, 384, 384, 384, 576, 384, 384, 384, 384};
constexpr double kFramesPerSecond = 25.0;
constexpr double kDemoSeconds = 3648 / kFramesPerSecond;
constexpr double kMaxTailSeconds = 3.0;
constexpr int kRate = 44100;

std::unique_ptr<openmpt::module> Load(const std::string& bytes) {
    static std::ostringstream quiet; // the constructor's messages
    auto module = std::make_unique<openmpt::module>(bytes.data(), bytes.size(), quiet);
    module->ctl_set_text("play.at_end", "stop");
    return module;
}

std::unique_ptr<openmpt::module> LoadScore(const std::string& text) {
    const auto bytes = quorvel::formats::XmWriter::File(ReadScore(text, "test.score").song).Data();
    return Load(std::string(bytes.begin(), bytes.end()));
}

// The whole module as interleaved stereo floats, as the engine's audio callback reads it.
std::vector<float> Render(openmpt::module& module, int rate = kRate) {
    std::vector<float> samples;
    std::vector<float> block(2 * 4096);
    while (const std::size_t frames = module.read_interleaved_stereo(rate, 4096, block.data()))
        samples.insert(samples.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(2 * frames));
    return samples;
}

double RmsDecibels(const std::vector<float>& samples, double from, double to) {
    const std::size_t first = 2 * static_cast<std::size_t>(from * kRate);
    const std::size_t last = std::min(samples.size(), 2 * static_cast<std::size_t>(to * kRate));
    double sum = 0.0;
    for (std::size_t i = first; i < last; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return 10.0 * std::log10(sum / static_cast<double>(last - first) + 1e-30);
}

// The power of one frequency in the left channel over a stretch (Goertzel's recurrence), optionally
// under a Hann window so that strong neighbours do not leak into a weak frequency.
double PowerAt(const std::vector<float>& samples, double from, double to, double frequency,
               bool windowed = false) {
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / kRate);
    double previous = 0.0, beforePrevious = 0.0;
    const auto first = static_cast<std::size_t>(from * kRate);
    const auto last = static_cast<std::size_t>(to * kRate);
    for (std::size_t i = first; i < last; ++i) {
        const double window = windowed ? 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi *
                                                              static_cast<double>(i - first) / (last - first))
                                       : 1.0;
        const double current = window * samples[2 * i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    return previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
}

// Loudness after ITU-R BS.1770-4 for stereo at 48 kHz: each channel K-weighted by the standard's two
// biquads (a high shelf for the head, a high pass), mean squares over 400 ms blocks every 100 ms, blocks
// gated at -70 LUFS and then at 10 LU under the mean of those left; returns LUFS.
double IntegratedLoudness(const std::vector<float>& samples) {
    struct Biquad {
        double b0, b1, b2, a1, a2;
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        double operator()(double x) {
            const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
            x2 = x1, x1 = x, y2 = y1, y1 = y;
            return y;
        }
    };
    const std::size_t frames = samples.size() / 2;
    std::vector<double> squares(frames, 0.0); // both channels' weighted squares summed
    for (std::size_t channel = 0; channel < 2; ++channel) {
        Biquad shelf{1.53512485958697, -2.69169618940638, 1.19839281085285, -1.69065929318241,
                     0.73248077421585};
        Biquad highPass{1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621};
        for (std::size_t i = 0; i < frames; ++i) {
            const double y = highPass(shelf(samples[2 * i + channel]));
            squares[i] += y * y;
        }
    }
    constexpr std::size_t kBlock = 48000 * 4 / 10, kStep = 48000 / 10;
    std::vector<double> blocks;
    for (std::size_t start = 0; start + kBlock <= frames; start += kStep) {
        double sum = 0.0;
        for (std::size_t i = start; i < start + kBlock; ++i)
            sum += squares[i];
        blocks.push_back(sum / kBlock);
    }
    const auto loudness = [](double meanSquare) { return -0.691 + 10.0 * std::log10(meanSquare); };
    const auto gatedMean = [&](double gate) {
        double sum = 0.0;
        int count = 0;
        for (double block : blocks)
            if (loudness(block) > gate)
                sum += block, ++count;
        return count > 0 ? sum / count : 1e-30;
    };
    return loudness(gatedMean(loudness(gatedMean(-70.0)) - 10.0));
}

// True peak in dBTP: the signal upsampled four times by a windowed-sinc interpolator (16 taps per phase),
// as the standard's annex suggests, and its largest magnitude. Only the points next to a sample within
// 6 dB of the sample peak are interpolated: in music the peaks between samples rise a few tenths of a
// decibel above their neighbours, never 6 dB.
double TruePeak(const std::vector<float>& samples) {
    constexpr int kFactor = 4, kHalf = 8;
    float samplePeak = 0.0f;
    for (float sample : samples)
        samplePeak = std::max(samplePeak, std::abs(sample));
    // The interpolator's weights for the points between sample i and i + 1, at offsets k from i.
    double weights[kFactor][2 * kHalf];
    for (int phase = 1; phase < kFactor; ++phase)
        for (int k = -kHalf + 1; k <= kHalf; ++k) {
            const double t = k - static_cast<double>(phase) / kFactor;
            const double window = 0.5 + 0.5 * std::cos(std::numbers::pi * t / kHalf);
            weights[phase][k + kHalf - 1] = std::sin(std::numbers::pi * t) / (std::numbers::pi * t) * window;
        }
    double peak = samplePeak;
    const std::size_t frames = samples.size() / 2;
    for (std::size_t i = kHalf; i + kHalf < frames; ++i)
        for (std::size_t channel = 0; channel < 2; ++channel) {
            if (std::max(std::abs(samples[2 * i + channel]), std::abs(samples[2 * i + 2 + channel])) <
                0.5f * samplePeak)
                continue;
            for (int phase = 1; phase < kFactor; ++phase) {
                double value = 0.0;
                for (int k = -kHalf + 1; k <= kHalf; ++k)
                    value += weights[phase][k + kHalf - 1] * samples[2 * (i + k) + channel];
                peak = std::max(peak, std::abs(value));
            }
        }
    return 20.0 * std::log10(peak);
}

class DemoMusic : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        module = Load(ReadFile(QUORVEL_DATA_DIR "/dark_ages.xm")).release();
        ASSERT_NE(module->get_num_orders(), 0);
    }
    static void TearDownTestSuite() {
        delete module;
        module = nullptr;
    }
    static openmpt::module* module;
};
openmpt::module* DemoMusic::module = nullptr;

} // namespace

TEST_F(DemoMusic, LastsAsLongAsTheDemoPlusAShortTail) {
    const double seconds = module->get_duration_seconds();
    EXPECT_GE(seconds, kDemoSeconds);
    EXPECT_LE(seconds, kDemoSeconds + kMaxTailSeconds);
}

TEST_F(DemoMusic, SectionsStartWhereTheScenesStart) {
    const auto score = ReadScore(ReadFile(QUORVEL_SOURCE_DIR "/content/music/dark_ages.score"), "dark_ages");
    ASSERT_GE(score.sections.size(), std::size(kSceneFrames));
    int frame = 0;
    for (std::size_t scene = 0; scene < std::size(kSceneFrames); ++scene) {
        const auto order = static_cast<std::int32_t>(score.sections[scene].firstOrder);
        EXPECT_NEAR(module->set_position_order_row(order, 0), frame / kFramesPerSecond, 1e-6)
            << score.sections[scene].name;
        frame += kSceneFrames[scene];
    }
    // Whatever follows the last scene is the tail.
    if (score.sections.size() > std::size(kSceneFrames)) {
        const auto tail = static_cast<std::int32_t>(score.sections[std::size(kSceneFrames)].firstOrder);
        EXPECT_NEAR(module->set_position_order_row(tail, 0), kDemoSeconds, 1e-6);
    }
}

TEST_F(DemoMusic, EverySceneIsHeardAndNothingClips) {
    module->set_position_seconds(0.0);
    const std::vector<float> samples = Render(*module);
    float peak = 0.0f;
    for (float sample : samples)
        peak = std::max(peak, std::abs(sample));
    EXPECT_LT(20.0 * std::log10(peak), -1.0) << "the mix keeps a decibel of headroom";

    double start = 0.0;
    for (int frames : kSceneFrames) {
        const double end = start + frames / kFramesPerSecond;
        EXPECT_GT(RmsDecibels(samples, start, end), -35.0) << "the scene from " << start << " s";
        start = end;
    }
}

TEST_F(DemoMusic, IsMasteredToItsLoudnessWithATruePeakUnderOneDecibel) {
    module->set_position_seconds(0.0);
    const std::vector<float> samples = Render(*module, 48000);
    const double loudness = IntegratedLoudness(samples);
    EXPECT_GE(loudness, -16.0);
    EXPECT_LE(loudness, -14.0);
    EXPECT_LE(TruePeak(samples), -1.0);
}

TEST(MusicInstruments, TonesCarryHarmonicsPastTenKilohertzWithoutAliasing) {
    // A saw over three octaves, two seconds a note: its lowest note keeps a harmonic above 10 kHz, and
    // at its highest note nothing sounds between the harmonics, where folded ones would land.
    std::string text = "tempo 125 6\nchannels 1\ninstrument saw saw\npattern p\n";
    for (const char* note : {"A-2", "A-5"}) {
        text += std::string(note) + " saw\n";
        for (int row = 1; row < 16; ++row)
            text += "...\n";
    }
    text += "end\norder p\n";
    const auto module = LoadScore(text);
    const std::vector<float> samples = Render(*module);
    ASSERT_GE(samples.size(), 2u * 3 * kRate);

    const double a2 = 440.0 * 8363.0 / (32.0 * 261.6256) / 4;
    const double low = PowerAt(samples, 0.5, 1.5, a2, true);
    // The harmonic above 10 kHz, looked for a percent either side: the player tunes to a few cents.
    const double harmonic = std::ceil(10000.0 / a2) * a2;
    double strongest = 0.0;
    for (double frequency = 0.99 * harmonic; frequency < 1.01 * harmonic; frequency += 1.0)
        strongest = std::max(strongest, PowerAt(samples, 0.5, 1.5, frequency, true));
    EXPECT_GT(strongest, 1e-5 * low) << harmonic << " Hz";

    const double a5 = 8 * a2;
    const double high = PowerAt(samples, 2.4, 3.4, a5, true);
    for (double between = 1.5 * a5; between < kRate / 2; between += a5)
        EXPECT_LT(PowerAt(samples, 2.4, 3.4, between, true), 1e-6 * high) << between << " Hz";
}

TEST(MusicInstruments, TonesSoundAtTheirNotesPitchAndEnvelopesShapeThem) {
    // Two seconds of each: a bright saw (a longer period, played octaves faster), three detuned saws,
    // and a sine whose envelope falls to silence within a fifth of a second.
    std::string text =
        "tempo 125 6\nchannels 1\ninstrument bright saw harmonics=48\n"
        "instrument chorus saw detune=128\ninstrument pluck sine envelope=0:64,10:0\npattern p\n";
    for (const char* instrument : {"bright", "chorus", "pluck"}) {
        text += std::string("A-4 ") + instrument + "\n";
        for (int row = 1; row < 16; ++row)
            text += "...\n";
    }
    text += "end\norder p\n";
    const auto module = LoadScore(text);
    const std::vector<float> samples = Render(*module);
    ASSERT_GE(samples.size(), 2u * 5 * kRate);

    // A-4 at the format's C-4 of 8363 Hz over 32 samples: 440 Hz less two cents.
    const double a4 = 440.0 * 8363.0 / (32.0 * 261.6256);
    for (double from : {0.5, 2.5}) {
        const double fundamental = PowerAt(samples, from, from + 1.0, a4, true);
        for (double other : {a4 / 2, a4 * 0.944, a4 * 1.059, a4 * 2})
            EXPECT_GT(fundamental, 3.0 * PowerAt(samples, from, from + 1.0, other, true))
                << "at " << from << " s against " << other << " Hz";
    }
    const double pluck = 2 * 1.92;
    EXPECT_GT(RmsDecibels(samples, pluck, pluck + 0.05), -30.0);
    EXPECT_LT(RmsDecibels(samples, pluck + 0.3, pluck + 1.5), -90.0);
}
