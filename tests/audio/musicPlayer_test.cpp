// The audio layer on SDL's dummy driver: a module written by the XM writer loads, pre-buffers, plays
// in real time and frees; files that are not playable modules, or that fail to read, give no handle; a
// module plays once and stops at its end instead of looping or fading on; a move sets the position heard
// without moving the clock; an output device added after ours was removed takes the music on.
#include "audio/musicPlayer.h"
#include "formats/xmWriter.h"
#include "support/logCapture.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace quorvel::test;
using namespace engine::audio;
using quorvel::formats::XmShortSong;
using quorvel::formats::XmWriter;

namespace {

class MusicPlayerTest : public ::testing::Test {
protected:
    void TearDown() override { Free(); }

    static std::string WriteSong(int rows, const std::string& name = "data/song.xm") {
        XmWriter::File(XmShortSong(rows)).Save(name);
        return name;
    }

    // Polls until the module has been decoded past `seconds`, for at most five seconds of real time.
    static bool WaitForPosition(MusicHandle music, double seconds) {
        for (int waited = 0; waited < 5000; waited += 10) {
            if (ChannelGetPosition(music) > seconds)
                return true;
            SDL_Delay(10);
        }
        return false;
    }

    ScopedLogDirectory folder;
};

TEST_F(MusicPlayerTest, ReportsVersionTwoPointThree) {
    EXPECT_EQ(GetVersion() >> 16, 0x0203u);
}

TEST_F(MusicPlayerTest, WrittenModuleLoadsPreBuffersPlaysAndFrees) {
    ASSERT_TRUE(Init(kSampleRate));
    const MusicHandle music = MusicLoad(WriteSong(16));
    ASSERT_NE(music, 0u);
    EXPECT_DOUBLE_EQ(ChannelGetPosition(music), 0.0);

    ASSERT_TRUE(ChannelPreBuf(music, 500));
    const double buffered = ChannelGetPosition(music);
    EXPECT_NEAR(buffered, 0.5, 0.01);
    // The device is still paused: pre-buffering alone plays nothing.
    SDL_Delay(100);
    EXPECT_DOUBLE_EQ(ChannelGetPosition(music), buffered);

    ASSERT_TRUE(ChannelPlay(music, false));
    // The callback drains the pre-buffer first, then decodes on from where it stopped.
    EXPECT_TRUE(WaitForPosition(music, buffered + 0.05));

    Free();
    EXPECT_FALSE(ChannelPlay(music, false));
    EXPECT_EQ(ChannelGetPosition(music), -1.0);
    // The layer can be brought up again after a free.
    EXPECT_TRUE(Init(kSampleRate));
}

TEST_F(MusicPlayerTest, PlaysOnceAndStopsAtTheEnd) {
    ASSERT_TRUE(Init(kSampleRate));
    // Four rows of 0.12 seconds: asking for two seconds ahead decodes the song once and no more.
    const MusicHandle music = MusicLoad(WriteSong(4));
    ASSERT_NE(music, 0u);
    ASSERT_TRUE(ChannelPreBuf(music, 2000));
    EXPECT_NEAR(ChannelGetPosition(music), 0.48, 0.02);
    ASSERT_TRUE(ChannelPreBuf(music, 500));
    EXPECT_NEAR(ChannelGetPosition(music), 0.48, 0.02);
}

TEST_F(MusicPlayerTest, FilesThatAreNotModulesGiveNoHandle) {
    ASSERT_TRUE(Init(kSampleRate));
    EXPECT_EQ(MusicLoad("data/missing.xm"), 0u);
    std::ofstream("data/text.xm") << "This is a text file, not a tracker module.\n";
    EXPECT_EQ(MusicLoad("data/text.xm"), 0u);
    std::ofstream("data/empty.xm").flush();
    EXPECT_EQ(MusicLoad("data/empty.xm"), 0u);

    EXPECT_FALSE(ChannelPreBuf(0, 500));
    EXPECT_FALSE(ChannelPlay(0, false));
}

TEST_F(MusicPlayerTest, AFileThatFailsToReadGivesNoHandle) {
    ASSERT_TRUE(Init(kSampleRate));
    const MusicHandle music = MusicLoad(WriteSong(16));
    ASSERT_NE(music, 0u);
    // A folder opens like a file, and its first read fails.
    std::filesystem::create_directory("data/folder.xm");
    EXPECT_EQ(MusicLoad("data/folder.xm"), 0u);
    EXPECT_TRUE(ChannelPlay(music, false));
    std::filesystem::remove("data/song.xm");
    std::filesystem::create_directory("data/song.xm");
    EXPECT_FALSE(MusicReload("data/song.xm"));
}

TEST_F(MusicPlayerTest, AMoveSetsThePositionHeardFromTheClockReadingItTookEffectAt) {
    ASSERT_TRUE(Init(kSampleRate));
    const MusicHandle music = MusicLoad(WriteSong(64));
    ASSERT_NE(music, 0u);
    ASSERT_TRUE(ChannelPlay(music, false));
    engine::platform::Clock& clock = PlaybackClock();
    for (int waited = 0; waited < 5000 && clock.Counter() == 0; waited += 5)
        SDL_Delay(5);
    const std::uint64_t before = clock.Counter();
    std::uint64_t reading = 0;
    ASSERT_TRUE(ChannelSetPosition(music, 3.0, &reading));
    const std::uint64_t after = clock.Counter();
    // The clock goes on through the move, and the position heard runs with it from the reading.
    EXPECT_LE(before, reading);
    EXPECT_LE(reading, after);
    SDL_Delay(30);
    const std::uint64_t earliest = clock.Counter();
    const double heard = ChannelGetPlayedPosition(music);
    const std::uint64_t latest = clock.Counter();
    EXPECT_GE(heard, 3.0 + static_cast<double>(earliest - reading) * 1e-9 - 1e-8);
    EXPECT_LE(heard, 3.0 + static_cast<double>(latest - reading) * 1e-9 + 1e-8);
}

TEST_F(MusicPlayerTest, ALaterLoadReplacesTheEarlierModule) {
    ASSERT_TRUE(Init(kSampleRate));
    const MusicHandle first = MusicLoad(WriteSong(16));
    const MusicHandle second = MusicLoad(WriteSong(8, "data/other.xm"));
    ASSERT_NE(first, 0u);
    ASSERT_NE(second, 0u);
    EXPECT_NE(first, second);
    EXPECT_FALSE(ChannelPlay(first, false));
    EXPECT_TRUE(ChannelPlay(second, false));
}

TEST_F(MusicPlayerTest, AnOutputDeviceAddedAfterOursWasRemovedPlaysTheMusicOn) {
    ASSERT_TRUE(Init(kSampleRate));
    const MusicHandle music = MusicLoad(WriteSong(64));
    ASSERT_TRUE(ChannelPlay(music, false));
    ASSERT_TRUE(WaitForPosition(music, 0.1));
    auto announce = [](Uint32 type, Uint32 which) {
        SDL_Event event{};
        event.type = type;
        event.adevice.which = which;
        SDL_PushEvent(&event);
    };
    // An output device announced before the removal is no replacement.
    announce(SDL_AUDIODEVICEADDED, 0);
    EXPECT_FALSE(ReplaceRemovedDevice());
    const std::uint32_t removed = OutputDevice();
    announce(SDL_AUDIODEVICEREMOVED, removed);
    EXPECT_FALSE(ReplaceRemovedDevice());
    // The timer's next reading of the clock, on the main thread, opens the new device.
    announce(SDL_AUDIODEVICEADDED, 0);
    PlaybackClock().Counter();
    EXPECT_FALSE(ReplaceRemovedDevice());
    // The new device plays: the module goes on being decoded past where it stood.
    const double at = ChannelGetPosition(music);
    EXPECT_TRUE(WaitForPosition(music, at + 0.1));
    EXPECT_EQ(CountRows(folder.CloseAndRead(), "MESSAGE",
                        "A sound device is back: the music goes on there from the demo's time"),
              1);
}

TEST_F(MusicPlayerTest, PlayWithoutAnOpenDeviceFails) {
    const MusicHandle music = MusicLoad(WriteSong(16));
    ASSERT_NE(music, 0u);
    EXPECT_TRUE(ChannelPreBuf(music, 100));
    EXPECT_FALSE(ChannelPlay(music, false));
}

} // namespace
