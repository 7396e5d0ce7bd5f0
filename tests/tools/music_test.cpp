// The demo's music as the build makes it, played by libopenmpt as the engine plays it: as long as the
// demo plus a short tail, each section starting on its scene's first frame, every scene audible and
// the mix below full scale; and the synthesized instruments at the pitch their notes name, shaped by
// their envelopes. (That the module comes out byte for byte the same in every run is the content
// compiler's test.)
#include "score.h"

#include <libopenmpt/libopenmpt.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sstream>

using quorvel::music::ReadScore;

namespace {

// The production's scene lengths in frames at 25 frames per second.
constexpr int kSceneFrames[] = {384, 384, 384, 384, 576, 384, 384, 384, 384};
constexpr double kFramesPerSecond = 25.0;
constexpr double kDemoSeconds = 3648 / kFramesPerSecond;
constexpr double kMaxTailSeconds = 3.0;
constexpr int kRate = 44100;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

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
std::vector<float> Render(openmpt::module& module) {
    std::vector<float> samples;
    std::vector<float> block(2 * 4096);
    while (const std::size_t frames = module.read_interleaved_stereo(kRate, 4096, block.data()))
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

// The power of one frequency in the left channel over a stretch (Goertzel's recurrence).
double PowerAt(const std::vector<float>& samples, double from, double to, double frequency) {
    const double coefficient = 2.0 * std::cos(2.0 * std::numbers::pi * frequency / kRate);
    double previous = 0.0, beforePrevious = 0.0;
    for (auto i = static_cast<std::size_t>(from * kRate); i < static_cast<std::size_t>(to * kRate); ++i) {
        const double current = samples[2 * i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    return previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
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
        const double fundamental = PowerAt(samples, from, from + 1.0, a4);
        for (double other : {a4 / 2, a4 * 0.944, a4 * 1.059, a4 * 2})
            EXPECT_GT(fundamental, 3.0 * PowerAt(samples, from, from + 1.0, other))
                << "at " << from << " s against " << other << " Hz";
    }
    const double pluck = 2 * 1.92;
    EXPECT_GT(RmsDecibels(samples, pluck, pluck + 0.05), -30.0);
    EXPECT_LT(RmsDecibels(samples, pluck + 0.3, pluck + 1.5), -90.0);
}
