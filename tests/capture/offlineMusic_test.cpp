// The capture's music: a capture that starts later hears, to the sample, what a capture from the start
// hears at that point (libopenmpt's own seek lands on a row of its own timing, which is not that), and
// every frame carries exactly its share of samples, so the sound never drifts from the pictures.
#include "capture/offlineMusic.h"
#include "formats/xmWriter.h"

#include <gtest/gtest.h>

#include <algorithm>

using engine::capture::OfflineMusic;
using engine::capture::SamplesAfterFrames;

namespace {

std::vector<char> ShortSong() {
    const auto bytes = quorvel::formats::XmWriter::File(quorvel::formats::XmShortSong(16)).Data();
    return std::vector<char>(bytes.begin(), bytes.end());
}

TEST(OfflineMusic, AStartLaterInTheSongSoundsAsTheWholeSongDoesThere) {
    constexpr int kFps = 25;
    OfflineMusic fromTheStart(ShortSong(), kFps, 0.0);
    for (int frame = 0; frame < 31; ++frame)
        fromTheStart.NextFrame();
    // 31 frames at 25 a second: 1.24 s, between two of the song's rows of 0.12 s.
    OfflineMusic later(ShortSong(), kFps, 31.0 / kFps);
    std::vector<float> expected, heard;
    for (int frame = 0; frame < 4; ++frame) {
        const std::vector<float>& a = fromTheStart.NextFrame();
        expected.insert(expected.end(), a.begin(), a.end());
        const std::vector<float>& b = later.NextFrame();
        heard.insert(heard.end(), b.begin(), b.end());
    }
    ASSERT_GT(std::count_if(expected.begin(), expected.end(), [](float s) { return s != 0.0f; }), 100);
    EXPECT_EQ(heard, expected);
}

TEST(OfflineMusic, FramesCarryTheirShareOfSamplesWhateverTheRate) {
    for (int fps : {24, 25, 30, 60, 7}) {
        OfflineMusic music(ShortSong(), fps, 0.0);
        std::size_t samples = 0;
        for (int frame = 1; frame <= 100; ++frame) {
            samples += music.NextFrame().size() / OfflineMusic::kChannels;
            ASSERT_EQ(static_cast<std::int64_t>(samples), SamplesAfterFrames(frame, fps)) << fps;
        }
        EXPECT_EQ(SamplesAfterFrames(100, fps), (100 * 44100 + fps / 2) / fps) << fps;
    }
}

} // namespace
