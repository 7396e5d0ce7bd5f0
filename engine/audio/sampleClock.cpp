#include "audio/sampleClock.h"

#include "core/logging.h"

#include <algorithm>

namespace engine::audio {

namespace {
constexpr double kNanosecondsPerSecond = 1e9;
} // namespace

SampleClock::SampleClock(platform::Clock& machine, int frequency) : machine(machine), frequency(frequency) {}

double SampleClock::MachineSeconds() const {
    return static_cast<double>(machine.Counter()) / static_cast<double>(machine.Frequency());
}

SampleClock::Block SampleClock::ReadBlock() const {
    Block block;
    for (;;) {
        const std::uint64_t before = writes.load();
        if (before % 2 != 0)
            continue;
        block.framesBefore = framesBefore.load();
        block.frames = blockFrames.load();
        block.counter = blockCounter.load();
        block.sequence = blocks.load();
        if (writes.load() == before)
            return block;
    }
}

double SampleClock::TakenFrames() const {
    const Block block = ReadBlock();
    return static_cast<double>(block.framesBefore + block.frames);
}

std::uint64_t SampleClock::FramesBehind(double offset, std::uint64_t skipped) const {
    if (std::isnan(offset))
        return 0;
    const double target = MachineSeconds() * frequency - offset;
    const double taken = static_cast<double>(framesBefore.load() + blockFrames.load() + skipped);
    return target > taken + 1.0 ? static_cast<std::uint64_t>(target - taken) : 0;
}

void SampleClock::Publish(std::uint32_t frames, std::uint64_t skipped) {
    const std::uint64_t counter = machine.Counter();
    const std::uint64_t before = framesBefore.load() + blockFrames.load() + skipped;
    const std::uint64_t count = writes.load();
    writes.store(count + 1);
    framesBefore.store(before);
    blockFrames.store(frames);
    blockCounter.store(counter);
    blocks.store(blocks.load() + 1);
    writes.store(count + 2);
}

void SampleClock::DeviceRemoved() {
    removed.store(true);
}

void SampleClock::DeviceReplaced() {
    // A reading first, so that the clock runs on the machine's counter even if none was taken since the
    // removal, and the catch-up starts from what the demo shows.
    const double reading = PlayedFrames();
    removed.store(false);
    // While paused the callback takes nothing, and playing again sets the offset anew.
    catchUpOffset.store(MachineSeconds() * frequency - reading);
}

void SampleClock::Reset(int newFrequency) {
    frequency = newFrequency;
    const std::uint64_t count = writes.load();
    writes.store(count + 1);
    framesBefore.store(0);
    blockFrames.store(0);
    blockCounter.store(0);
    blocks.store(0);
    writes.store(count + 2);
    removed.store(false);
    catchUpOffset.store(kNoCatchUp);
    playing = false;
    fallback = false;
    warned = false;
    lastReading = 0.0;
}

void SampleClock::SetPlaying(bool play) {
    if (play == playing)
        return;
    const double now = MachineSeconds();
    const double reading = fallback ? PlayedFrames() : 0.0;
    if (fallback) {
        // Standing while paused, running on from there when playing again.
        fallbackFrames = reading;
        fallbackSince = now;
        if (play && !removed.load())
            catchUpOffset.store(now * frequency - fallbackFrames);
    }
    playing = play;
    playingSince = now;
}

void SampleClock::EnterFallback(double frames, double now) {
    fallback = true;
    fallbackFrames = frames;
    fallbackSince = now;
    if (!removed.load())
        catchUpOffset.store(now * frequency - frames);
    if (!warned)
        LOG_WARNING("the sound device stopped: playing on silently");
    warned = true;
}

double SampleClock::PlayedFrames() {
    const double now = MachineSeconds();
    const Block block = ReadBlock();
    double device = 0.0;
    // Since when the device has played nothing: the end of its last block, or the start of playing.
    double quietSince = playingSince;
    if (block.sequence > 0) {
        const double taken = static_cast<double>(block.counter) / static_cast<double>(machine.Frequency());
        const double blockSeconds = static_cast<double>(block.frames) / frequency;
        // Of the block it plays, the device has played the time since it took it, at most the block, so
        // the count never runs ahead of a late device.
        device = static_cast<double>(block.framesBefore) +
                 std::clamp(now - taken, 0.0, blockSeconds) * static_cast<double>(frequency);
        quietSince = std::max(quietSince, taken + blockSeconds);
    }
    if (fallback) {
        // The audio thread clears the offset once the music has caught up with the clock.
        const bool back = !removed.load() && std::isnan(catchUpOffset.load());
        if (!back) {
            const double reading = fallbackFrames + (playing ? (now - fallbackSince) * frequency : 0.0);
            lastReading = std::max(lastReading, reading);
            return lastReading;
        }
        fallback = false;
        LOG_MESSAGE("the sound device plays again: the music goes on from the demo's time");
    } else if (removed.load() || (playing && now - quietSince >= kStallSeconds)) {
        EnterFallback(std::max(lastReading, device), now);
        return lastReading;
    }
    lastReading = std::max(lastReading, device);
    return lastReading;
}

std::uint64_t SampleClock::Counter() {
    return static_cast<std::uint64_t>(PlayedFrames() * kNanosecondsPerSecond / frequency);
}

std::uint64_t SampleClock::Frequency() {
    return static_cast<std::uint64_t>(kNanosecondsPerSecond);
}

std::uint32_t SampleClock::Ticks() {
    return static_cast<std::uint32_t>(Counter() / 1'000'000);
}

} // namespace engine::audio
