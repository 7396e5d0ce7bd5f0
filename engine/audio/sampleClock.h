// The clock of the music as the sound device plays it. The audio thread tells it of every block the
// device takes; the main thread reads the samples played by now, interpolated between blocks and never
// stepping back, without waiting on the audio thread. When the device plays nothing for a while though
// the music should be playing, or goes away, the clock runs on the machine's counter from where it stood,
// and when a stalled device plays again the music skips ahead to the clock, so the two go on together.
#pragma once

#include "platform/clock.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <limits>

namespace engine::audio {

class SampleClock final : public platform::Clock {
public:
    // How long a device may play nothing, past the end of its last block, before the clock stops
    // waiting for it.
    static constexpr double kStallSeconds = 0.25;

    // `machine` is read from both threads and must outlive the clock.
    SampleClock(platform::Clock& machine, int frequency);
    SampleClock(const SampleClock&) = delete;
    SampleClock& operator=(const SampleClock&) = delete;

    // Audio thread: the device takes a block of `frames`. When the clock ran on without the device, the
    // music first passes over what the clock counted meanwhile: `skip(frames)` passes over at most that
    // many samples and answers how many it passed (0 at the music's end).
    template <typename Skip>
    void TakeBlock(std::uint32_t frames, Skip&& skip) {
        double offset = catchUpOffset.load();
        std::uint64_t skipped = 0;
        // Passing over takes time, during which the clock moves on: a few more rounds take the rest. They
        // are bounded, so that music slower to pass over than to play cannot hold the callback for ever;
        // what is left then the device makes up while the clock waits for it.
        for (int round = 0; round < kCatchUpRounds; ++round) {
            const std::uint64_t behind = FramesBehind(offset, skipped);
            const std::uint64_t passed = behind > 0 ? skip(behind) : 0;
            if (passed == 0)
                break;
            skipped += passed;
        }
        Publish(frames, skipped);
        if (!std::isnan(offset))
            catchUpOffset.compare_exchange_strong(offset, kNoCatchUp);
    }
    void TakeBlock(std::uint32_t frames) {
        TakeBlock(frames, [](std::uint64_t) { return std::uint64_t{0}; });
    }
    // Any thread: the device is gone; the clock runs on the machine's counter from now on.
    void DeviceRemoved();
    // Main thread: another device plays in place of the removed one. Its first block passes over the
    // music the clock counted meanwhile, and the clock follows it from then on, as after a stall.
    void DeviceReplaced();
    bool DeviceGone() const { return removed.load(); }

    // Main thread, with the audio thread held off: back to no samples played at `frequency`, the device
    // present.
    void Reset(int frequency);
    // Main thread: whether the music should be playing, so that a device playing nothing is a stall.
    void SetPlaying(bool playing);
    // Main thread: samples of the music played by now.
    double PlayedFrames();
    // The samples of every block the device took, through the end of the last one.
    double TakenFrames() const;
    // Whether the clock runs on the machine's counter now.
    bool OnMachineCounter() const { return fallback; }

    // Nanoseconds of PlayedFrames.
    std::uint64_t Counter() override;
    std::uint64_t Frequency() override;
    std::uint32_t Ticks() override;

private:
    struct Block {
        std::uint64_t framesBefore = 0;
        std::uint32_t frames = 0;
        std::uint64_t counter = 0;
        std::uint64_t sequence = 0;
    };
    static constexpr double kNoCatchUp = std::numeric_limits<double>::quiet_NaN();
    static constexpr int kCatchUpRounds = 4;

    Block ReadBlock() const;
    double MachineSeconds() const;
    // Audio thread: samples of the music the clock has counted beyond those taken and `skipped`.
    std::uint64_t FramesBehind(double offset, std::uint64_t skipped) const;
    void Publish(std::uint32_t frames, std::uint64_t skipped);
    void EnterFallback(double frames, double now);

    platform::Clock& machine;
    int frequency;

    // The last block the device took, published by the audio thread under a sequence lock: the count is
    // odd while the fields change, and a reader that sees it change reads again.
    std::atomic<std::uint64_t> writes{0};
    std::atomic<std::uint64_t> framesBefore{0};
    std::atomic<std::uint32_t> blockFrames{0};
    std::atomic<std::uint64_t> blockCounter{0};
    std::atomic<std::uint64_t> blocks{0};
    std::atomic<bool> removed{false};
    // While the clock runs without the device: the machine seconds times the frequency minus this is
    // where the music should stand. NaN otherwise. Written by the main thread, cleared by the audio
    // thread once it has caught up.
    std::atomic<double> catchUpOffset{kNoCatchUp};

    // Main thread only.
    bool playing = false;
    double playingSince = 0.0;
    bool fallback = false;
    double fallbackFrames = 0.0;
    double fallbackSince = 0.0;
    std::uint64_t blocksAtFallback = 0;
    bool warned = false;
    double lastReading = 0.0;
};

} // namespace engine::audio
