// A module made again while it plays (live editing composes a changed score): the new module goes on
// from the sample heard, under the same handle; a file other than the one playing, or one that is no
// module, leaves the module playing as it was.
#include "audio/musicPlayer.h"
#include "formats/xmWriter.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace engine::audio;
using quorvel::formats::XmShortSong;
using quorvel::formats::XmWriter;

namespace {

TEST(MusicReload, TheNewModulePlaysOnFromTheSampleHeard) {
    quorvel::test::ScopedLogDirectory folder;
    XmWriter::File(XmShortSong(64)).Save("data/song.xm");
    const MusicHandle music = MusicLoad("data/song.xm");
    ASSERT_NE(music, 0u);
    ASSERT_TRUE(ChannelSetPosition(music, 3.0));

    // Long enough to get there: the new module stands where the old one was heard, not at its start.
    XmWriter::File(XmShortSong(48)).Save("data/song.xm");
    ASSERT_TRUE(MusicReload("data/song.xm"));
    EXPECT_NEAR(ChannelGetPosition(music), 3.0, 0.05);
    EXPECT_DOUBLE_EQ(ChannelGetPlayedPosition(music), 3.0);
    // Too short to get there (16 rows last 1.92 s): the new module has ended, the old one had not.
    XmWriter::File(XmShortSong(16)).Save("data/song.xm");
    ASSERT_TRUE(MusicReload("data/song.xm"));
    const double ended = ChannelGetPosition(music);
    EXPECT_LT(ended, 2.5);

    EXPECT_FALSE(MusicReload("data/other.xm"));
    std::ofstream("data/song.xm") << "not a module";
    EXPECT_FALSE(MusicReload("data/song.xm"));
    EXPECT_DOUBLE_EQ(ChannelGetPosition(music), ended);
    Free();
}

} // namespace
