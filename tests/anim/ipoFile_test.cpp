#include "anim/ipoFile.h"
#include "anim/ipoReader.h"
#include "core/kernel.h"
#include "core/timer.h"
#include "formats/ipoWriter.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <vector>

using engine::core::Exception;
using engine::gfx::IPOFile;
using quorvel::formats::IpoCurveRecord;
using quorvel::formats::IpoKey;
using quorvel::formats::IpoWriter;
using quorvel::test::CountRows;
using quorvel::test::ScopedLogDirectory;

namespace {

const char kPath[] = "data/custom.ipo";

// Counts at 1 kHz; moved by the test between passes.
class ManualClock : public engine::platform::Clock {
public:
    std::uint64_t Counter() override { return counter; }
    std::uint64_t Frequency() override { return 1000; }
    std::uint32_t Ticks() override { return static_cast<std::uint32_t>(counter); }
    std::uint64_t counter = 0;
};

// Runs the passes of a test: advances the clock by a quarter second after each pass, records what a
// probe reads, and quits after a given number of passes.
class Sampler : public engine::core::Module {
public:
    Sampler(ManualClock& clock, int passes, std::function<float()> probe)
        : clock(clock), left(passes), probe(std::move(probe)) {
        priority = 20000;
    }
    bool Start() override { return true; }
    void Update() override {
        samples.push_back(probe());
        clock.counter += 250;
        if (--left == 0)
            engine::core::Kernel::Get()->Quit();
    }
    void Stop() override {}

    ManualClock& clock;
    int left;
    std::function<float()> probe;
    std::vector<float> samples;
};

class IpoFileTest : public ::testing::Test {
protected:
    void TearDown() override {
        delete IPOFile::mInstance;
        delete engine::core::Timer::mInstance;
    }

    // Expects loading to fail with exactly this ERROR row and to leave no instance behind.
    void ExpectRejected(const std::string& message) {
        EXPECT_THROW(IPOFile::Get(), Exception);
        EXPECT_EQ(IPOFile::mInstance, nullptr);
        EXPECT_EQ(CountRows(log.CloseAndRead(), "ERROR", message), 1) << message;
    }

    // The same for a failure found by the bounded reader, whose row names the file, the field and what
    // is wrong with it: expects one ERROR row holding every fragment.
    void ExpectRejectedWith(std::initializer_list<std::string> fragments) {
        EXPECT_THROW(IPOFile::Get(), Exception);
        EXPECT_EQ(IPOFile::mInstance, nullptr);
        const std::string text = log.CloseAndRead();
        std::istringstream lines(text);
        int rows = 0;
        for (std::string line; std::getline(lines, line);) {
            bool all = line.find("<td>ERROR</td>") != std::string::npos;
            for (const std::string& fragment : fragments)
                all = all && line.find(fragment) != std::string::npos;
            rows += all ? 1 : 0;
        }
        EXPECT_EQ(rows, 1) << text;
    }

    ScopedLogDirectory log;
};

IpoCurveRecord Fade() {
    return {"fade", 1, 3, {IpoKey(0, 0), IpoKey(25, 1)}};
}

} // namespace

TEST_F(IpoFileTest, EmptyFileLoadsAndUpdatesNothing) {
    IpoWriter::File({}).Save(kPath);
    IPOFile* curves = IPOFile::Get();
    ASSERT_NE(curves, nullptr);
    curves->Update();
    EXPECT_EQ(curves->Find("fade"), nullptr);
    EXPECT_EQ(curves->name, L"untitled");
    EXPECT_EQ(curves->priority, 10000);
}

TEST_F(IpoFileTest, PublishesCurvesAtTheTimersTimeAsAModule) {
    IpoWriter::File({Fade(), {"spin", 0, 4, {IpoKey(0, 3), IpoKey(10, 4)}}}).Save(kPath);
    ManualClock clock;
    engine::core::Timer::Get()->SetClock(&clock);
    engine::core::Kernel kernel;
    kernel.AddModule(engine::core::Timer::Get(), 6);
    kernel.AddModule(IPOFile::Get(), 15);
    const float* fade = IPOFile::Get()->Find("fade");
    const float* spin = IPOFile::Get()->Find("spin");
    ASSERT_NE(fade, nullptr);
    ASSERT_NE(spin, nullptr);
    Sampler sampler(clock, 6, [&] { return *fade; });
    kernel.AddModule(&sampler, 10100);
    kernel.Run();
    // Passes at 0, 0.25, 0.5, 0.75, 1 and 1.25 seconds.
    const std::vector<float> expected = {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 1.0f};
    ASSERT_EQ(sampler.samples.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_FLOAT_EQ(sampler.samples[i], expected[i]) << "pass " << i;
    // Frame 31.25 of a cyclic step curve with a period of 10 frames: frame 1.25, the first key.
    EXPECT_FLOAT_EQ(*spin, 3.0f);
}

TEST_F(IpoFileTest, LaterCurveOfOneNameWins) {
    IpoWriter::File({{"glow", 0, 3, {IpoKey(0, 1)}}, {"glow", 0, 3, {IpoKey(0, 2)}}}).Save(kPath);
    IPOFile* curves = IPOFile::Get();
    curves->Update();
    EXPECT_FLOAT_EQ(*curves->Find("glow"), 2.0f);
    EXPECT_EQ(curves->Find("nothing"), nullptr);
}

TEST_F(IpoFileTest, BezierCurvesReadTheirHandles) {
    IpoWriter::File({{"ease", 2, 3, {{0, 0, 0, 0, 12.5f, 0}, {12.5f, 1, 25, 1, 30, 1}}}}).Save(kPath);
    const auto curves = engine::gfx::ReadIpoFile(kPath);
    ASSERT_EQ(curves.size(), 1u);
    EXPECT_EQ(curves[0].interpolation, engine::gfx::Interpolation::Bezier);
    EXPECT_FLOAT_EQ(curves[0].keys[1].left.time, 12.5f);
    EXPECT_FLOAT_EQ(curves[0].keys[0].right.time, 12.5f);
    auto track = engine::gfx::CreateTrack(curves[0]);
    track->SetTime(12.5f);
    EXPECT_FLOAT_EQ(track->GetValue(), 0.5f);
}

TEST_F(IpoFileTest, MissingFileIsReported) {
    ExpectRejected("No such ipo file found data/custom.ipo");
}

TEST_F(IpoFileTest, FolderInPlaceOfTheFileIsReportedAsMissing) {
    std::filesystem::create_directory(kPath);
    ExpectRejected("No such ipo file found data/custom.ipo");
}

TEST_F(IpoFileTest, WrongMagicIsReported) {
    IpoWriter writer("IPOX");
    writer.Count(0);
    writer.Save(kPath);
    ExpectRejected("Not TALVO IPO file format in file data/custom.ipo");
}

TEST_F(IpoFileTest, FileShorterThanItsMagicIsReportedAsWrongFormat) {
    IpoWriter::File({}).SaveTruncated(kPath, 2);
    ExpectRejected("Not TALVO IPO file format in file data/custom.ipo");
}

TEST_F(IpoFileTest, UnknownInterpolationCodeIsReported) {
    IpoWriter::File({{"fade", 3, 3, {IpoKey(0, 0)}}}).Save(kPath);
    ExpectRejected("data/custom.ipo: interpolation code 3 is not 0 (Constant), 1 (Linear) or 2 (Bezier)");
}

TEST_F(IpoFileTest, UnknownExtrapolationCodeIsReported) {
    IpoWriter::File({{"fade", 1, 2, {IpoKey(0, 0)}}}).Save(kPath);
    ExpectRejected(
        "data/custom.ipo: extrapolation code 2 is not 3 (Constant), 4 (Cyclic) or 5 (Cyclic_extrapolation)");
}

TEST_F(IpoFileTest, NegativeCurveCountIsReported) {
    IpoWriter writer;
    writer.Count(-1);
    writer.Save(kPath);
    ExpectRejectedWith({"data/custom.ipo: ", "curve count", "negative", "-1"});
}

TEST_F(IpoFileTest, CurveCountBeyondTheFileIsReportedBeforeAllocating) {
    IpoWriter writer;
    writer.Count(0x7FFFFFFF);
    writer.Curve(Fade());
    writer.Save(kPath);
    ExpectRejectedWith({"data/custom.ipo: ", "curve count", "2147483647", "more than the file holds"});
}

TEST_F(IpoFileTest, NegativeKeyCountIsReported) {
    IpoWriter writer;
    writer.Count(1);
    writer.Raw().I32(4);
    writer.Raw().Chars("fade");
    writer.Raw().I32(1);
    writer.Raw().I32(3);
    writer.Raw().I32(-2);
    writer.Save(kPath);
    ExpectRejectedWith({"data/custom.ipo: ", "key count of curve 0 \"fade\"", "negative", "-2"});
}

TEST_F(IpoFileTest, NegativeNameLengthIsReported) {
    IpoWriter writer;
    writer.Count(1);
    writer.Raw().I32(-5);
    // The rest of a record, so that only the name is wrong.
    writer.Raw().I32(1);
    writer.Raw().I32(3);
    writer.Raw().I32(0);
    writer.Save(kPath);
    ExpectRejectedWith({"data/custom.ipo: ", "name of curve 0", "negative length", "-5"});
}

TEST_F(IpoFileTest, FileEndingInsideTheKeysIsReported) {
    // Cut in the middle of the second key.
    IpoWriter::File({Fade()}).SaveTruncated(kPath, 28 + 24 + 10);
    ExpectRejectedWith({"data/custom.ipo: ", "key count of curve 0 \"fade\"", "more than the file holds"});
}

TEST_F(IpoFileTest, FileEndingInsideANameIsReported) {
    IpoWriter writer;
    writer.Count(1);
    writer.Raw().I32(100);
    writer.Raw().Chars("a name that stops short");
    writer.Save(kPath);
    ExpectRejectedWith({"data/custom.ipo: ", "ends inside", "name of curve 0"});
}
