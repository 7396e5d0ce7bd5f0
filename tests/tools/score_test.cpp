#include "score.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using quorvel::music::ParseScore;
using quorvel::music::ScoreError;

namespace {

const char kScore[] = R"(# two channels, one pattern
song "test tune"
tempo 120 5
channels 2
instrument bass triangle 50
instrument lead square
pattern one
  A-2 bass    | C-4 lead 32
  ...         | ===
end
order one one
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
    EXPECT_EQ(song.instruments[0].sample.volume, 50);
    EXPECT_EQ(song.instruments[0].sample.data.size(), 32u);
    EXPECT_EQ(song.instruments[0].sample.loopType, 1);
    ASSERT_EQ(song.patterns.size(), 1u);
    const auto& rows = song.patterns[0].rows;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][0].note, 34); // A-2
    EXPECT_EQ(rows[0][0].instrument, 1);
    EXPECT_EQ(rows[0][0].volume, 0);
    EXPECT_EQ(rows[0][1].note, 49); // C-4
    EXPECT_EQ(rows[0][1].instrument, 2);
    EXPECT_EQ(rows[0][1].volume, 0x10 + 32);
    EXPECT_EQ(rows[1][0].note, 0);
    EXPECT_EQ(rows[1][1].note, 97); // key off
    EXPECT_EQ(song.orders, (std::vector<std::uint8_t>{0, 0}));
}

TEST(MusicScore, MistakesNameTheFileTheLineAndWhatIsWrong) {
    std::string text = kScore;
    EXPECT_EQ(ErrorOf(std::string(text).replace(text.find("C-4 lead"), 8, "C-4 horn")),
              "song.score:8: unknown instrument \"horn\"");
    EXPECT_EQ(ErrorOf(std::string(text).replace(text.find("| ==="), 5, "")),
              "song.score:9: a row needs 2 cells separated by '|', this one has 1");
    EXPECT_EQ(ErrorOf(std::string(text).replace(text.find("end\n"), 4, "")),
              "song.score:10: a row needs 2 cells separated by '|', this one has 1");
}

TEST(MusicScore, RejectsBadWordsAndMissingPieces) {
    EXPECT_NE(ErrorOf("instrument x organ\n").find("song.score:1: unknown waveform \"organ\""),
              std::string::npos);
    EXPECT_EQ(ErrorOf("tempo 500 6\n"), "song.score:1: \"500\" is not a number from 32 to 255");
    EXPECT_EQ(ErrorOf("channels 1\ninstrument a sine\npattern p\n  H-4 a\nend\n"),
              "song.score:4: a cell is \"...\", \"===\" or a note such as C-4 with an instrument");
    EXPECT_EQ(ErrorOf("channels 1\npattern p\n  ...\n"), "song.score:3: the pattern \"p\" has no end");
    EXPECT_EQ(ErrorOf("channels 1\npattern p\n  ...\nend\norder q\n"),
              "song.score:5: the order names an unknown pattern \"q\"");
    EXPECT_EQ(ErrorOf("channels 1\npattern p\n  ...\nend\n"), "song.score:4: the score has no order line");
}

TEST(MusicScore, TheDemoScoreCompiles) {
    std::ifstream in(QUORVEL_SOURCE_DIR "/content/music/dark_ages.score");
    ASSERT_TRUE(in);
    std::stringstream text;
    text << in.rdbuf();
    const auto song = ParseScore(text.str(), "dark_ages.score");
    EXPECT_EQ(song.channels, 4);
    EXPECT_GE(song.orders.size(), 8u);
}
