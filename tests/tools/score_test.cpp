#include "score.h"

#include <gtest/gtest.h>

using quorvel::music::ParseScore;
using quorvel::music::ScoreError;

namespace {

const char kScore[] = R"(# two channels, one pattern
song "test tune"
tempo 120 5
channels 2
instrument bass triangle 50
instrument lead square envelope=0:64,10:32,40:0 sustain=1 fadeout=512 pan=40
pattern one
  A-2 bass    | C-4 lead 32
  ...         | ===
  C#4 bass 047| ... 20 A08 # a sharp is a note, this is a comment
end
order one
section verse one
)";

// The message of the ScoreError that parsing text throws, or "" when it parses.
std::string ErrorOf(const std::string& text) {
    try {
        ParseScore(text, "song.score");
    } catch (const ScoreError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(MusicScore, ReadsTempoInstrumentsNotesAndOrder) {
    const auto song = ParseScore(kScore, "song.score");
    EXPECT_EQ(song.name, "test tune");
    EXPECT_EQ(song.bpm, 120);
    EXPECT_EQ(song.speed, 5);
    EXPECT_EQ(song.channels, 2);
    ASSERT_EQ(song.instruments.size(), 2u);
    EXPECT_EQ(song.instruments[0].samples.at(0).volume, 50);
    EXPECT_EQ(song.instruments[0].samples.at(0).loopType, 1);
    EXPECT_TRUE(song.instruments[0].volumeEnvelope.points.empty());
    const auto& lead = song.instruments[1];
    ASSERT_EQ(lead.volumeEnvelope.points.size(), 3u);
    EXPECT_EQ(lead.volumeEnvelope.points[1].tick, 10);
    EXPECT_EQ(lead.volumeEnvelope.points[1].level, 32);
    EXPECT_EQ(lead.volumeEnvelope.sustain, 1);
    EXPECT_EQ(lead.fadeout, 512);
    EXPECT_EQ(lead.samples.at(0).pan, 40);
    ASSERT_EQ(song.patterns.size(), 1u);
    const auto& rows = song.patterns[0].rows;
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0].note, 34); // A-2
    EXPECT_EQ(rows[0][0].instrument, 1);
    EXPECT_EQ(rows[0][0].volume, 0);
    EXPECT_EQ(rows[0][1].note, 49); // C-4
    EXPECT_EQ(rows[0][1].instrument, 2);
    EXPECT_EQ(rows[0][1].volume, 0x10 + 32);
    EXPECT_EQ(rows[1][0].note, 0);
    EXPECT_EQ(rows[1][1].note, 97); // key off
    EXPECT_EQ(rows[2][0].note, 50); // C#4
    EXPECT_EQ(rows[2][0].effect, 0);
    EXPECT_EQ(rows[2][0].parameter, 0x47);
    EXPECT_EQ(rows[2][1].note, 0);
    EXPECT_EQ(rows[2][1].volume, 0x10 + 20);
    EXPECT_EQ(rows[2][1].effect, 0xA);
    EXPECT_EQ(rows[2][1].parameter, 0x08);
    EXPECT_EQ(song.orders, (std::vector<std::uint8_t>{0, 0}));
    const auto sections = quorvel::music::ReadScore(kScore, "song.score").sections;
    ASSERT_EQ(sections.size(), 1u);
    EXPECT_EQ(sections[0].name, "verse");
    EXPECT_EQ(sections[0].firstOrder, 1u);
}

TEST(MusicScore, MistakesNameTheFileTheLineAndWhatIsWrong) {
    std::string text = kScore;
    EXPECT_EQ(ErrorOf(std::string(text).replace(text.find("C-4 lead"), 8, "C-4 horn")),
              "song.score:8: unknown instrument \"horn\"");
    EXPECT_EQ(ErrorOf(std::string(text).replace(text.find("| ==="), 5, "")),
              "song.score:9: a row needs 2 cells separated by '|', this one has 1");
    EXPECT_EQ(ErrorOf(std::string(text).replace(text.find("end\n"), 4, "")),
              "song.score:11: a row needs 2 cells separated by '|', this one has 1");
}

TEST(MusicScore, RejectsBadWordsAndMissingPieces) {
    EXPECT_NE(ErrorOf("instrument x organ\n").find("song.score:1: unknown waveform \"organ\""),
              std::string::npos);
    EXPECT_EQ(ErrorOf("tempo 500 6\n"), "song.score:1: \"500\" is not a number from 32 to 255");
    EXPECT_EQ(ErrorOf("song \"\n"), "song.score:1: song needs a name");
    EXPECT_EQ(ErrorOf("channels 1\ninstrument a sine\npattern p\n  H-4 a\nend\n"),
              "song.score:4: a cell is \"...\", \"===\" or a note such as C-4 with an instrument");
    EXPECT_EQ(ErrorOf("channels 1\npattern p\n  ...\n"), "song.score:3: the pattern \"p\" has no end");
    EXPECT_EQ(ErrorOf("channels 1\npattern p\n  ...\nend\norder q\n"),
              "song.score:5: the order names an unknown pattern \"q\"");
    EXPECT_EQ(ErrorOf("channels 1\npattern p\n  ...\nend\n"), "song.score:4: the score has no order line");
    EXPECT_EQ(ErrorOf("channels 1\ninstrument a sine\npattern p\n  C-4 a 0G1\nend\n"),
              "song.score:4: \"0G1\" is not an effect such as 047 or A08");
    EXPECT_EQ(ErrorOf("instrument a sine envelope=0:64,9:10,9:0\n"),
              "song.score:1: an envelope starts at tick 0 and its ticks rise");
    EXPECT_EQ(ErrorOf("instrument a sine envelope=0:64 sustain=1\n"),
              "song.score:1: the sustain point 1 is not a point of the envelope");
    EXPECT_EQ(ErrorOf("instrument a kick harmonics=8\n"),
              "song.score:1: harmonics= and detune= shape tones, not \"kick\"");
    std::string orders = "channels 1\npattern p\n  ...\nend\norder";
    for (int i = 0; i < 257; ++i)
        orders += " p";
    EXPECT_EQ(ErrorOf(orders), "song.score:5: the play order holds at most 256 patterns");
}

TEST(MusicScore, EchoesRepeatNotesLaterAndQuieterAcrossPatternsOnTheirOwnChannels) {
    const char echoed[] = "channels 3\n"
                          "instrument a sine 40\n"
                          "echo 1 2,3 delay=1 level=50 pan=200\n"
                          "pattern p\n"
                          "  C-4 a        | ... | ...\n"
                          "  ...          | ... | ...\n"
                          "  D-4 a 20 047 | ... | ...\n"
                          "end\n"
                          "pattern q\n"
                          "  ===          | ... | ...\n"
                          "  ... 12 EA1   | ... | ...\n"
                          "end\n"
                          "order p q p\n";
    const auto song = ParseScore(echoed, "song.score");
    // The second p hears the key-off echoed out of q, so it is a copy of its own.
    ASSERT_EQ(song.patterns.size(), 3u);
    EXPECT_EQ(song.orders, (std::vector<std::uint8_t>{0, 1, 2}));
    const auto& p = song.patterns[0].rows;
    EXPECT_EQ(p[1][1].note, 49);
    EXPECT_EQ(p[1][1].volume, 0x10 + 20); // the instrument's 40, halved
    EXPECT_EQ(p[1][1].effect, 8);
    EXPECT_EQ(p[1][1].parameter, 200);
    EXPECT_EQ(p[2][2].volume, 0x10 + 10); // the second tap, halved again
    const auto& q = song.patterns[1].rows;
    EXPECT_EQ(q[0][1].note, 51); // D-4's taps, past p's end
    EXPECT_EQ(q[0][1].volume, 0x10 + 10);
    EXPECT_EQ(q[1][2].note, 51);
    EXPECT_EQ(q[1][2].volume, 0x10 + 5);
    EXPECT_EQ(q[1][1].note, 97);
    EXPECT_EQ(song.patterns[2].rows[0][1].volume, 0x10 + 6); // the volume of the row after the key-off
    EXPECT_EQ(song.patterns[2].rows[0][1].effect, 0xE);
    EXPECT_EQ(song.patterns[2].rows[0][2].note, 97);
    EXPECT_EQ(song.patterns[0].rows[0][1].note, 0);

    std::string written = echoed;
    written.replace(written.find("C-4 a        | ..."), 18, "C-4 a        | C-4 a");
    EXPECT_EQ(ErrorOf(written), "song.score:3: channel 2 carries an echo, but a pattern writes into it");
}
