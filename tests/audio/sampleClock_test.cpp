// The clock of the samples played, against a fake device that takes its blocks when the test says and a
// machine counter that moves only when told: interpolation within a block, a late device, a device that
// stalls (the clock waits 250 ms, runs on, and the music catches up when the device plays again), a
// device removed, music too slow to catch up, a pause, and blocks published from another thread while the
// main thread reads.
#include "audio/sampleClock.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using engine::audio::SampleClock;
using quorvel::test::CountRows;
using quorvel::test::ScopedLogDirectory;

namespace {

constexpr int kRate = 44100;
constexpr std::uint32_t kBlock = 1024;
constexpr double kBlockSeconds = static_cast<double>(kBlock) / kRate;

// Counts in nanoseconds; atomic so that a device thread may read it.
class MachineCounter : public engine::platform::Clock {
public:
    std::uint64_t Counter() override { return nanoseconds.load(); }
    std::uint64_t Frequency() override { return 1'000'000'000; }
    std::uint32_t Ticks() override { return static_cast<std::uint32_t>(nanoseconds.load() / 1'000'000); }
    void Advance(double seconds) { nanoseconds += static_cast<std::uint64_t>(std::llround(seconds * 1e9)); }
    std::atomic<std::uint64_t> nanoseconds{7'000'000'000};
};

class SampleClockTest : public ::testing::Test {
protected:
    // The device takes a block, passing over whatever the clock asks of the music first.
    void DeviceTakes(std::uint32_t frames = kBlock) {
        clock.TakeBlock(frames, [this](std::uint64_t behind) {
            skipped += behind;
            return behind;
        });
    }

    ScopedLogDirectory folder;
    MachineCounter machine;
    SampleClock clock{machine, kRate};
    std::uint64_t skipped = 0;
};

TEST_F(SampleClockTest, InterpolatesWithinABlockHoldsForALateDeviceAndNeverStepsBack) {
    clock.SetPlaying(true);
    EXPECT_EQ(clock.PlayedFrames(), 0.0);
    DeviceTakes();
    machine.Advance(0.01);
    EXPECT_NEAR(clock.PlayedFrames(), 441.0, 0.01);
    // Late for the next block: the count stands at the block's end rather than running ahead.
    machine.Advance(0.02);
    EXPECT_DOUBLE_EQ(clock.PlayedFrames(), kBlock);
    DeviceTakes();
    EXPECT_DOUBLE_EQ(clock.PlayedFrames(), kBlock);
    machine.Advance(0.005);
    EXPECT_NEAR(clock.PlayedFrames(), kBlock + 220.5, 0.01);
    // Early: a block taken before the one playing ran out never takes the count back.
    DeviceTakes();
    machine.Advance(0.001);
    const double early = clock.PlayedFrames();
    EXPECT_GE(early, kBlock + 220.5);
    EXPECT_EQ(clock.Counter(), static_cast<std::uint64_t>(early * 1e9 / kRate));
    EXPECT_FALSE(clock.OnMachineCounter());
    EXPECT_EQ(skipped, 0u);
}

TEST_F(SampleClockTest, AStalledDeviceFreezesTheClock250MsThenItRunsOnAndTheMusicCatchesUp) {
    clock.SetPlaying(true);
    for (int block = 0; block < 10; ++block) {
        DeviceTakes();
        machine.Advance(kBlockSeconds);
    }
    const double stalledAt = clock.PlayedFrames();
    EXPECT_DOUBLE_EQ(stalledAt, 10.0 * kBlock);
    // The device plays nothing from the end of its last block on.
    machine.Advance(0.249);
    EXPECT_DOUBLE_EQ(clock.PlayedFrames(), stalledAt);
    EXPECT_FALSE(clock.OnMachineCounter());
    machine.Advance(0.002);
    // From where it stood, no jump, then on the machine's counter.
    EXPECT_DOUBLE_EQ(clock.PlayedFrames(), stalledAt);
    EXPECT_TRUE(clock.OnMachineCounter());
    machine.Advance(2.0);
    EXPECT_NEAR(clock.PlayedFrames(), stalledAt + 2.0 * kRate, 1e-6);

    // The device plays again: the music passes over the two seconds before the block, and the clock
    // goes on from the device in step with where it had got to.
    DeviceTakes();
    EXPECT_NEAR(static_cast<double>(skipped), 2.0 * kRate, 1.0);
    const double rejoined = clock.PlayedFrames();
    EXPECT_FALSE(clock.OnMachineCounter());
    EXPECT_NEAR(rejoined, stalledAt + 2.0 * kRate, 1.0);
    machine.Advance(0.01);
    EXPECT_NEAR(clock.PlayedFrames(), rejoined + 441.0, 1.0);

    // Stalling again gives no second row.
    machine.Advance(1.0);
    clock.PlayedFrames();
    EXPECT_TRUE(clock.OnMachineCounter());
    const std::string log = folder.CloseAndRead();
    EXPECT_EQ(CountRows(log, "WARNING", "the sound device stopped: playing on silently"), 1) << log;
}

TEST_F(SampleClockTest, MusicSlowerToPassOverThanToPlayDoesNotHoldTheCallbackForEver) {
    clock.SetPlaying(true);
    DeviceTakes();
    machine.Advance(1.0);
    const double ranOn = clock.PlayedFrames();
    ASSERT_TRUE(clock.OnMachineCounter());
    // Every sample passed over takes twice its own time: the clock runs away from the music.
    int rounds = 0;
    clock.TakeBlock(kBlock, [&](std::uint64_t behind) {
        ++rounds;
        machine.Advance(2.0 * static_cast<double>(behind) / kRate);
        return behind;
    });
    EXPECT_LE(rounds, 4);
    EXPECT_GE(clock.PlayedFrames(), ranOn);
}

TEST_F(SampleClockTest, ARemovedDeviceRunsOnTheMachineCounterAtOnceUntilAnotherTakesItsPlace) {
    clock.SetPlaying(true);
    DeviceTakes();
    machine.Advance(0.01);
    const double before = clock.PlayedFrames();
    clock.DeviceRemoved();
    EXPECT_DOUBLE_EQ(clock.PlayedFrames(), before);
    EXPECT_TRUE(clock.OnMachineCounter());
    machine.Advance(0.5);
    // Blocks a removed device still asks for do not move the clock, nor skip the music.
    DeviceTakes();
    DeviceTakes();
    EXPECT_NEAR(clock.PlayedFrames(), before + 0.5 * kRate, 1e-6);
    EXPECT_EQ(skipped, 0u);
    EXPECT_TRUE(clock.OnMachineCounter());

    // Another device opened in its place: its first block passes over the music the clock ran on, and
    // the clock follows it from where it had got to, with no jump.
    machine.Advance(1.0);
    clock.DeviceReplaced();
    const double replacedAt = clock.PlayedFrames();
    EXPECT_NEAR(replacedAt, before + 1.5 * kRate, 1e-6);
    DeviceTakes();
    EXPECT_NEAR(clock.TakenFrames() - kBlock, replacedAt, 1.0);
    EXPECT_NEAR(clock.PlayedFrames(), replacedAt, 1.0);
    EXPECT_FALSE(clock.OnMachineCounter());
    machine.Advance(0.01);
    EXPECT_NEAR(clock.PlayedFrames(), replacedAt + 441.0, 1.0);
}

TEST_F(SampleClockTest, NothingPlayingIsNoStallAndAPauseInAStallStandsStill) {
    DeviceTakes();
    machine.Advance(5.0);
    EXPECT_DOUBLE_EQ(clock.PlayedFrames(), kBlock);
    EXPECT_FALSE(clock.OnMachineCounter());

    clock.SetPlaying(true);
    machine.Advance(0.3);
    const double stalled = clock.PlayedFrames();
    ASSERT_TRUE(clock.OnMachineCounter());
    machine.Advance(0.1);
    clock.SetPlaying(false);
    const double paused = clock.PlayedFrames();
    EXPECT_NEAR(paused, stalled + 0.1 * kRate, 1e-6);
    machine.Advance(3.0);
    EXPECT_DOUBLE_EQ(clock.PlayedFrames(), paused);
    clock.SetPlaying(true);
    machine.Advance(0.1);
    EXPECT_NEAR(clock.PlayedFrames(), paused + 0.1 * kRate, 1e-6);
    // The music catches up with the clock only, not with the pause.
    DeviceTakes();
    EXPECT_NEAR(static_cast<double>(skipped), paused + 0.1 * kRate - kBlock, 1.0);
}

TEST_F(SampleClockTest, BlocksFromTheAudioThreadAreReadWithoutALockAndNeverBackwards) {
    clock.SetPlaying(true);
    std::atomic<bool> done{false};
    std::thread device([&] {
        for (int block = 0; block < 20000; ++block) {
            clock.TakeBlock(kBlock);
            machine.Advance(kBlockSeconds / 4);
        }
        done = true;
    });
    double last = 0.0;
    bool backwards = false;
    while (!done) {
        const double now = clock.PlayedFrames();
        backwards = backwards || now < last;
        last = now;
    }
    device.join();
    EXPECT_FALSE(backwards);
    EXPECT_DOUBLE_EQ(clock.TakenFrames(), 20000.0 * kBlock);
}

} // namespace
