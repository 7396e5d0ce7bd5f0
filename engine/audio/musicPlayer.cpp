#include "audio/musicPlayer.h"

#include "core/logging.h"

#include <SDL.h>
#include <libopenmpt/libopenmpt.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <vector>

namespace engine::audio {

namespace {

constexpr int kChannels = 2;
constexpr Uint16 kDeviceFrames = 1024;

// Everything the audio thread reads is guarded by the device lock: SDL holds it around each callback,
// and the main thread takes it around every call that touches the module or the pre-buffer.
struct Player {
    SDL_AudioDeviceID device = 0;
    bool startedSubsystem = false;
    int frequency = kSampleRate;
    std::unique_ptr<openmpt::module> module;
    MusicHandle handle = 0;
    MusicHandle nextHandle = 1;
    // Interleaved stereo decoded ahead by ChannelPreBuf; the callback plays it before decoding more.
    std::vector<float> preBuffer;
    std::size_t preBufferRead = 0;
    bool playing = false;
};

Player player;

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

} // namespace

std::uint32_t GetVersion() {
    return kVersion;
}

bool Init(int frequency) {
    if (player.device != 0)
        return true;
    player.frequency = frequency > 0 ? frequency : kSampleRate;
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
    return player.device != 0;
}

MusicHandle MusicLoad(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        return 0;
    const std::vector<char> bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    std::unique_ptr<openmpt::module> module;
    try {
        module = std::make_unique<openmpt::module>(bytes, SilentLog());
        module->set_repeat_count(0);
        // The default "fadeout" would read on past the last row.
        module->ctl_set_text("play.at_end", "stop");
        // Notes started before a seek target still sound after the seek.
        module->ctl_set_boolean("seek.sync_samples", true);
    } catch (...) {
        return 0;
    }
    DeviceLock lock;
    player.module = std::move(module);
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
    {
        DeviceLock lock;
        if (!IsCurrent(music) || player.device == 0)
            return false;
        if (restart) {
            player.module->set_position_seconds(0.0);
            player.preBuffer.clear();
            player.preBufferRead = 0;
        }
        player.playing = true;
    }
    SDL_PauseAudioDevice(player.device, 0);
    return true;
}

bool ChannelSetPosition(MusicHandle music, double seconds) {
    DeviceLock lock;
    if (!IsCurrent(music))
        return false;
    try {
        player.module->set_position_seconds(seconds < 0.0 ? 0.0 : seconds);
    } catch (...) {
        return false;
    }
    // Whatever was decoded ahead belongs to the old position.
    player.preBuffer.clear();
    player.preBufferRead = 0;
    return true;
}

double ChannelGetPosition(MusicHandle music) {
    DeviceLock lock;
    if (!IsCurrent(music))
        return -1.0;
    return player.module->get_position_seconds();
}

void Free() {
    // Closing waits for a running callback, so the module is no longer read when it is destroyed.
    if (player.device != 0)
        SDL_CloseAudioDevice(player.device);
    player.device = 0;
    player.module.reset();
    player.handle = 0;
    player.preBuffer.clear();
    player.preBufferRead = 0;
    player.playing = false;
    StopSubsystem();
}

} // namespace engine::audio
