#include "audio/musicPlayer.h"

#include "audio/musicPlaces.h"
#include "audio/sampleClock.h"
#include "core/logging.h"

#include <SDL.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <vector>

namespace engine::audio {

namespace {

constexpr int kChannels = 2;
constexpr Uint16 kDeviceFrames = 1024;
constexpr std::size_t kSeekBlockFrames = 4096;
constexpr double kNanosecondsPerSecond = 1e9;

// Everything the audio thread reads is guarded by the device lock: SDL holds it around each callback,
// and the main thread takes it around every call that touches the module or the pre-buffer. The clock
// alone is shared without it, so that reading the time never waits on the callback.
struct Player {
    SDL_AudioDeviceID device = 0;
    bool startedSubsystem = false;
    int frequency = kSampleRate;
    std::unique_ptr<openmpt::module> module;
    // The loaded file, for the fresh module every seek renders from the start, and its path.
    std::vector<char> bytes;
    std::string path;
    MusicHandle handle = 0;
    MusicHandle nextHandle = 1;
    // Interleaved stereo decoded ahead by ChannelPreBuf; the callback plays it before decoding more.
    std::vector<float> preBuffer;
    std::size_t preBufferRead = 0;
    bool playing = false;
    SampleClock clock{platform::SystemClock(), kSampleRate};
    // The module position heard when the device clock stood at baseFrames; it runs with the clock.
    double basePosition = 0.0;
    double baseFrames = 0.0;
    // Read from the bytes on the first question; only the main thread touches them.
    std::optional<ModulePlaces> places;
    bool placesRead = false;
};

Player player;
// The device the removal watch looks for; SDL calls the watch from whichever thread noticed.
std::atomic<SDL_AudioDeviceID> watchedDevice{0};
// An output device appeared after ours went away (a headset plugged in again, a sound server back).
std::atomic<bool> outputAdded{false};

// libopenmpt reports its loading notes to a stream; the demo's log has no use for them.
std::ostream& SilentLog() {
    static std::ostream silent(nullptr);
    return silent;
}

class DeviceLock {
public:
    DeviceLock() {
        if (player.device != 0)
            SDL_LockAudioDevice(player.device);
    }
    ~DeviceLock() {
        if (player.device != 0)
            SDL_UnlockAudioDevice(player.device);
    }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;
};

double PlayedFrames() {
    return player.clock.PlayedFrames();
}

// The playback clock's reading when the device has played that many samples.
std::uint64_t ClockCounter(double frames) {
    return static_cast<std::uint64_t>(frames * kNanosecondsPerSecond / player.frequency);
}

void ForgetBlocks() {
    player.clock.Reset(player.frequency);
    player.basePosition = 0.0;
    player.baseFrames = 0.0;
}

std::size_t TakePreBuffered(float* out, std::size_t frames) {
    const std::size_t available = (player.preBuffer.size() - player.preBufferRead) / kChannels;
    const std::size_t taken = std::min(frames, available);
    std::copy_n(player.preBuffer.begin() + static_cast<std::ptrdiff_t>(player.preBufferRead),
                taken * kChannels, out);
    player.preBufferRead += taken * kChannels;
    if (player.preBufferRead == player.preBuffer.size()) {
        player.preBuffer.clear();
        player.preBufferRead = 0;
    }
    return taken;
}

// Runs on SDL's audio thread. Nothing may escape it: an exception here would end the process.
void FillStream(void*, Uint8* stream, int length) {
    float* out = reinterpret_cast<float*>(stream);
    const std::size_t frames = static_cast<std::size_t>(length) / (kChannels * sizeof(float));
    std::fill_n(out, frames * kChannels, 0.0f);
    if (!player.playing || !player.module)
        return;
    try {
        // What the clock counted while the device was silent is passed over, the block's own room
        // serving as scratch.
        player.clock.TakeBlock(static_cast<std::uint32_t>(frames), [out, frames](std::uint64_t behind) {
            const std::size_t most = static_cast<std::size_t>(std::min<std::uint64_t>(behind, frames));
            std::size_t passed = TakePreBuffered(out, most);
            if (passed < most)
                passed += player.module->read_interleaved_stereo(player.frequency, most - passed,
                                                                 out + passed * kChannels);
            return static_cast<std::uint64_t>(passed);
        });
        std::fill_n(out, frames * kChannels, 0.0f);
        std::size_t done = TakePreBuffered(out, frames);
        while (done < frames) {
            const std::size_t read = player.module->read_interleaved_stereo(player.frequency, frames - done,
                                                                            out + done * kChannels);
            if (read == 0)
                break;
            done += read;
        }
    } catch (...) {
        std::fill_n(out, frames * kChannels, 0.0f);
    }
}

// Only notes what happened: SDL may call it on its own device thread, where opening a device is not safe.
int WatchDevices(void*, SDL_Event* event) {
    if (event->type == SDL_AUDIODEVICEREMOVED && event->adevice.iscapture == 0 &&
        event->adevice.which == watchedDevice.load() && event->adevice.which != 0) {
        // Devices present at start are announced too; only one that comes after the removal counts.
        outputAdded.store(false);
        player.clock.DeviceRemoved();
    } else if (event->type == SDL_AUDIODEVICEADDED && event->adevice.iscapture == 0) {
        outputAdded.store(true);
    }
    return 1;
}

SDL_AudioDeviceID OpenDevice(int frequency) {
    SDL_AudioSpec wanted{};
    wanted.freq = frequency;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = kChannels;
    wanted.samples = kDeviceFrames;
    wanted.callback = FillStream;
    // Rate, format and channels are ours to fix: SDL converts for the card when it must.
    return SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
}

bool StartSubsystem() {
    if (SDL_WasInit(SDL_INIT_AUDIO) != 0)
        return true;
    player.startedSubsystem = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return player.startedSubsystem;
}

void StopSubsystem() {
    if (player.startedSubsystem)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    player.startedSubsystem = false;
}

bool IsCurrent(MusicHandle music) {
    return music != 0 && music == player.handle && player.module;
}

// The whole file, or nothing when it cannot be opened or a read fails part way: a module cut short
// would otherwise load as a shorter one.
std::optional<std::vector<char>> ReadWholeFile(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr)
        return std::nullopt;
    std::vector<char> bytes;
    char chunk[65536];
    std::size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + read);
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    if (failed)
        return std::nullopt;
    return bytes;
}

} // namespace

std::unique_ptr<openmpt::module> OpenModule(const std::vector<char>& bytes, double seconds, int frequency) {
    std::unique_ptr<openmpt::module> module;
    try {
        module = std::make_unique<openmpt::module>(bytes, SilentLog());
        module->set_repeat_count(0);
        // The default "fadeout" would read on past the last row.
        module->ctl_set_text("play.at_end", "stop");
        // Notes started before a seek target still sound after the seek.
        module->ctl_set_boolean("seek.sync_samples", true);
        std::vector<float> scratch(kSeekBlockFrames * kChannels);
        auto left = static_cast<std::size_t>(std::llround(std::max(seconds, 0.0) * frequency));
        while (left > 0) {
            const std::size_t read =
                module->read_interleaved_stereo(frequency, std::min(left, kSeekBlockFrames), scratch.data());
            if (read == 0)
                break;
            left -= read;
        }
    } catch (...) {
        return nullptr;
    }
    return module;
}

platform::Clock& PlaybackClock() {
    // The timer reads this clock on the main thread every pass, which makes the reading the place where
    // a device that appeared after ours was removed is opened: SDL announces it from its own thread.
    class ClockFollowingTheDevice final : public platform::Clock {
    public:
        std::uint64_t Counter() override {
            ReplaceRemovedDevice();
            return player.clock.Counter();
        }
        std::uint64_t Frequency() override { return player.clock.Frequency(); }
        std::uint32_t Ticks() override {
            ReplaceRemovedDevice();
            return player.clock.Ticks();
        }
    };
    static ClockFollowingTheDevice clock;
    return clock;
}

std::uint32_t GetVersion() {
    return kVersion;
}

bool Init(int frequency) {
    if (player.device != 0)
        return true;
    player.frequency = frequency > 0 ? frequency : kSampleRate;
    player.clock.Reset(player.frequency);
    if (StartSubsystem())
        player.device = OpenDevice(player.frequency);
    // With no sound card the default drivers fail to open; a silent device keeps the demo running.
    if (player.device == 0 && (player.startedSubsystem || SDL_WasInit(SDL_INIT_AUDIO) == 0)) {
        StopSubsystem();
        SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
        if (StartSubsystem())
            player.device = OpenDevice(player.frequency);
        SDL_ResetHint(SDL_HINT_AUDIODRIVER);
        if (player.device != 0)
            LOG_MESSAGE("No sound device could be opened; the music plays silently");
    }
    if (player.device == 0)
        StopSubsystem();
    watchedDevice.store(player.device);
    if (player.device != 0)
        SDL_AddEventWatch(WatchDevices, nullptr);
    return player.device != 0;
}

MusicHandle MusicLoad(const std::string& path) {
    std::optional<std::vector<char>> read = ReadWholeFile(path);
    if (!read)
        return 0;
    std::vector<char> bytes = std::move(*read);
    std::unique_ptr<openmpt::module> module = OpenModule(bytes);
    if (!module)
        return 0;
    DeviceLock lock;
    player.module = std::move(module);
    player.bytes = std::move(bytes);
    player.places.reset();
    player.placesRead = false;
    player.path = path;
    ForgetBlocks();
    player.preBuffer.clear();
    player.preBufferRead = 0;
    player.playing = false;
    player.handle = player.nextHandle++;
    if (player.nextHandle == 0)
        player.nextHandle = 1;
    return player.handle;
}

bool ChannelPreBuf(MusicHandle music, int milliseconds) {
    DeviceLock lock;
    if (!IsCurrent(music) || milliseconds <= 0)
        return false;
    const std::size_t frames =
        static_cast<std::size_t>(player.frequency) * static_cast<std::size_t>(milliseconds) / 1000;
    const std::size_t start = player.preBuffer.size();
    player.preBuffer.resize(start + frames * kChannels, 0.0f);
    try {
        const std::size_t read =
            player.module->read_interleaved_stereo(player.frequency, frames, player.preBuffer.data() + start);
        player.preBuffer.resize(start + read * kChannels);
    } catch (...) {
        player.preBuffer.resize(start);
        return false;
    }
    return true;
}

bool ChannelPlay(MusicHandle music, bool restart) {
    if (restart && !ChannelSetPosition(music, 0.0))
        return false;
    {
        DeviceLock lock;
        if (!IsCurrent(music) || player.device == 0)
            return false;
        player.playing = true;
        player.clock.SetPlaying(true);
    }
    SDL_PauseAudioDevice(player.device, 0);
    return true;
}

bool ChannelPause(MusicHandle music) {
    DeviceLock lock;
    if (!IsCurrent(music))
        return false;
    player.playing = false;
    player.clock.SetPlaying(false);
    return true;
}

bool ChannelSetPosition(MusicHandle music, double seconds, std::uint64_t* clockReading) {
    // Only this thread changes the handle and the bytes; the audio thread reads neither.
    if (!IsCurrent(music))
        return false;
    seconds = std::max(seconds, 0.0);
    // Rendered without the lock, so the device keeps playing the old position meanwhile.
    std::unique_ptr<openmpt::module> moved = OpenModule(player.bytes, seconds, player.frequency);
    if (!moved)
        return false;
    DeviceLock lock;
    // The device still plays the rest of the block it took at the old position. The new position
    // starts after it, that much further on, so that from now on the music heard is `seconds` plus the
    // time since this call.
    // (Past the block's end when the clock ran on without the device: nothing is left of it then.)
    const double now = PlayedFrames();
    const auto rest = static_cast<std::size_t>(std::llround(std::max(player.clock.TakenFrames() - now, 0.0)));
    if (rest > 0) {
        try {
            std::vector<float> skipped(rest * kChannels);
            moved->read_interleaved_stereo(player.frequency, rest, skipped.data());
        } catch (...) {
            return false;
        }
    }
    std::swap(player.module, moved);
    // Whatever was decoded ahead belongs to the old position.
    player.preBuffer.clear();
    player.preBufferRead = 0;
    player.basePosition = seconds;
    player.baseFrames = now;
    if (clockReading != nullptr)
        *clockReading = ClockCounter(now);
    return true;
}

double ChannelGetPosition(MusicHandle music) {
    DeviceLock lock;
    if (!IsCurrent(music))
        return -1.0;
    return player.module->get_position_seconds();
}

double ChannelGetPlayedPosition(MusicHandle music) {
    // Only this thread changes the handle, the module pointer and the base; the clock needs no lock.
    if (!IsCurrent(music))
        return -1.0;
    return player.basePosition + (PlayedFrames() - player.baseFrames) / player.frequency;
}

bool MusicPlaceAt(double seconds, MusicPlace& place) {
    if (player.bytes.empty())
        return false;
    if (!player.placesRead)
        player.places = ReadModulePlaces(player.bytes);
    player.placesRead = true;
    if (!player.places)
        return false;
    const ModulePlace found = PlaceAt(*player.places, seconds);
    place.order = found.order;
    place.pattern = found.pattern;
    place.row = found.row;
    place.rowSeconds = player.places->rowSeconds;
    return true;
}

bool MusicReload(const std::string& path) {
    if (player.handle == 0 || !player.module || path != player.path)
        return false;
    std::optional<std::vector<char>> read = ReadWholeFile(path);
    if (!read)
        return false;
    std::vector<char> bytes = std::move(*read);
    const double heard = ChannelGetPlayedPosition(player.handle);
    // Rendered without the lock, so the old module plays on meanwhile; the new one then catches up with
    // what was heard during the rendering.
    std::unique_ptr<openmpt::module> fresh = OpenModule(bytes, heard, player.frequency);
    if (!fresh)
        return false;
    DeviceLock lock;
    const double now = player.basePosition + (PlayedFrames() - player.baseFrames) / player.frequency;
    const double blockEnd =
        player.basePosition + (player.clock.TakenFrames() - player.baseFrames) / player.frequency;
    // The device still plays the rest of its block from the old module: the new one starts after it.
    const double target = std::max(now, blockEnd);
    auto behind = static_cast<std::size_t>(std::llround(std::max(target - heard, 0.0) * player.frequency));
    try {
        std::vector<float> skipped(kSeekBlockFrames * kChannels);
        while (behind > 0) {
            const std::size_t read = fresh->read_interleaved_stereo(
                player.frequency, std::min(behind, kSeekBlockFrames), skipped.data());
            if (read == 0)
                break;
            behind -= read;
        }
    } catch (...) {
        return false;
    }
    std::swap(player.module, fresh);
    player.bytes = std::move(bytes);
    player.places.reset();
    player.placesRead = false;
    // What was decoded ahead came from the old module.
    player.preBuffer.clear();
    player.preBufferRead = 0;
    return true;
}

bool ReplaceRemovedDevice() {
    if (!player.clock.DeviceGone() || !outputAdded.exchange(false))
        return false;
    // The removed device calls back no more, and the new one starts paused: no callback runs meanwhile.
    // Some drivers open one device at a time, so the removed one is closed first.
    if (player.device != 0)
        SDL_CloseAudioDevice(player.device);
    player.device = OpenDevice(player.frequency);
    watchedDevice.store(player.device);
    if (player.device == 0) {
        // The clock runs on; the next device to appear is tried.
        LOG_WARNING(std::string("A sound device appeared but could not be opened: ") + SDL_GetError());
        return false;
    }
    player.clock.DeviceReplaced();
    SDL_PauseAudioDevice(player.device, 0);
    LOG_MESSAGE("A sound device is back: the music goes on there from the demo's time");
    return true;
}

std::uint32_t OutputDevice() {
    return player.device;
}

void Free() {
    // Closing waits for a running callback, so the module is no longer read when it is destroyed.
    SDL_DelEventWatch(WatchDevices, nullptr);
    if (player.device != 0)
        SDL_CloseAudioDevice(player.device);
    player.device = 0;
    watchedDevice.store(0);
    player.module.reset();
    player.bytes.clear();
    player.places.reset();
    player.placesRead = false;
    player.path.clear();
    ForgetBlocks();
    player.handle = 0;
    player.preBuffer.clear();
    player.preBufferRead = 0;
    player.playing = false;
    StopSubsystem();
}

} // namespace engine::audio
