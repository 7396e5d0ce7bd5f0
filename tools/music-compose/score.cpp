#include "score.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <numbers>
#include <sstream>
#include <vector>

namespace quorvel::music {

namespace {

// 32 samples a period play a C-4 at 8363 Hz, so every waveform sounds at the pitch its note names.
constexpr int kPeriod = 32;
constexpr std::uint8_t kKeyOff = 97;
constexpr std::uint8_t kMaxNote = 96;
constexpr std::size_t kMaxRows = 256;
constexpr std::uint16_t kMaxChannels = 32;

std::int8_t Clip(double value) {
    return static_cast<std::int8_t>(std::lround(std::clamp(value, -127.0, 127.0)));
}

// "C-4", "C#4", "A-2": 1..96 with C-0 = 1; "===" is a key-off; "..." an empty cell.
bool ParseNote(const std::string& token, std::uint8_t& note) {
    static const std::map<std::string, int> kSemitones = {{"C-", 0}, {"C#", 1}, {"D-", 2},  {"D#", 3},
                                                          {"E-", 4}, {"F-", 5}, {"F#", 6},  {"G-", 7},
                                                          {"G#", 8}, {"A-", 9}, {"A#", 10}, {"B-", 11}};
    if (token == "===") {
        note = kKeyOff;
        return true;
    }
    if (token.size() != 3 || token[2] < '0' || token[2] > '7')
        return false;
    const auto found = kSemitones.find(token.substr(0, 2));
    if (found == kSemitones.end())
        return false;
    note = static_cast<std::uint8_t>(1 + found->second + 12 * (token[2] - '0'));
    return note <= kMaxNote;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    for (std::string part; std::getline(stream, part, separator);)
        parts.push_back(part);
    return parts;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;)
        words.push_back(word);
    return words;
}

class ScoreParser {
public:
    ScoreParser(const std::string& fileName) : fileName(fileName) {}

    formats::XmSong Parse(const std::string& text) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            ++lineNumber;
            const std::size_t comment = line.find('#');
            if (comment != std::string::npos)
                line.erase(comment);
            if (Words(line).empty())
                continue;
            if (inPattern)
                PatternLine(line);
            else
                Statement(Words(line), line);
        }
        if (inPattern)
            Fail("the pattern \"" + patternName + "\" has no end");
        if (song.orders.empty())
            Fail("the score has no order line");
        return song;
    }

private:
    [[noreturn]] void Fail(const std::string& what) const {
        throw ScoreError(fileName + ":" + std::to_string(lineNumber) + ": " + what);
    }

    int Number(const std::string& word, int low, int high) const {
        try {
            std::size_t used = 0;
            const int value = std::stoi(word, &used);
            if (used == word.size() && value >= low && value <= high)
                return value;
        } catch (const std::exception&) {
        }
        Fail("\"" + word + "\" is not a number from " + std::to_string(low) + " to " + std::to_string(high));
    }

    void Statement(const std::vector<std::string>& words, const std::string& line) {
        const std::string& keyword = words[0];
        if (keyword == "song" && words.size() >= 2) {
            // The rest of the line, without the quotes around it.
            const std::size_t first = line.find_first_not_of(" \t\"", line.find("song") + 4);
            const std::size_t last = line.find_last_not_of(" \t\"\r");
            song.name = line.substr(first, last - first + 1);
        } else if (keyword == "tempo" && words.size() == 3) {
            song.bpm = static_cast<std::uint16_t>(Number(words[1], 32, 255));
            song.speed = static_cast<std::uint16_t>(Number(words[2], 1, 31));
        } else if (keyword == "channels" && words.size() == 2) {
            if (!song.patterns.empty())
                Fail("channels must come before the first pattern");
            song.channels = static_cast<std::uint16_t>(Number(words[1], 1, kMaxChannels));
        } else if (keyword == "instrument" && (words.size() == 3 || words.size() == 4)) {
            Instrument(words);
        } else if (keyword == "pattern" && words.size() == 2) {
            if (patternIndex.count(words[1]) != 0)
                Fail("the pattern \"" + words[1] + "\" is written twice");
            patternName = words[1];
            song.patterns.emplace_back();
            inPattern = true;
        } else if (keyword == "order" && words.size() >= 2) {
            for (std::size_t i = 1; i < words.size(); ++i) {
                const auto found = patternIndex.find(words[i]);
                if (found == patternIndex.end())
                    Fail("the order names an unknown pattern \"" + words[i] + "\"");
                song.orders.push_back(static_cast<std::uint8_t>(found->second));
            }
        } else {
            Fail("cannot read \"" + keyword + "\" here");
        }
    }

    void Instrument(const std::vector<std::string>& words) {
        formats::XmInstrument instrument;
        instrument.name = words[1];
        try {
            instrument.sample = Waveform(words[2]);
        } catch (const ScoreError& e) {
            Fail(e.what());
        }
        if (words.size() == 4)
            instrument.sample.volume = static_cast<std::uint8_t>(Number(words[3], 0, 64));
        instrumentIndex[instrument.name] = static_cast<int>(song.instruments.size()) + 1;
        song.instruments.push_back(instrument);
    }

    void PatternLine(const std::string& line) {
        const std::vector<std::string> words = Words(line);
        if (words.size() == 1 && words[0] == "end") {
            if (song.patterns.back().rows.empty())
                Fail("the pattern \"" + patternName + "\" has no rows");
            patternIndex[patternName] = static_cast<int>(song.patterns.size()) - 1;
            inPattern = false;
            return;
        }
        const std::vector<std::string> cells = Split(line, '|');
        if (cells.size() != song.channels)
            Fail("a row needs " + std::to_string(song.channels) + " cells separated by '|', this one has " +
                 std::to_string(cells.size()));
        std::vector<formats::XmCell> row;
        for (const std::string& cell : cells)
            row.push_back(Cell(Words(cell)));
        auto& rows = song.patterns.back().rows;
        if (rows.size() == kMaxRows)
            Fail("a pattern holds at most 256 rows");
        rows.push_back(row);
    }

    // "...", "===", or "<note> <instrument>" with an optional volume 0-64.
    formats::XmCell Cell(const std::vector<std::string>& words) const {
        formats::XmCell cell;
        if (words.size() == 1 && words[0] == "...")
            return cell;
        if (words.empty() || !ParseNote(words[0], cell.note))
            Fail("a cell is \"...\", \"===\" or a note such as C-4 with an instrument");
        if (cell.note == kKeyOff)
            return cell;
        if (words.size() < 2 || words.size() > 3)
            Fail("the note " + words[0] + " needs an instrument and at most a volume");
        const auto found = instrumentIndex.find(words[1]);
        if (found == instrumentIndex.end())
            Fail("unknown instrument \"" + words[1] + "\"");
        cell.instrument = static_cast<std::uint8_t>(found->second);
        if (words.size() == 3)
            cell.volume = static_cast<std::uint8_t>(0x10 + Number(words[2], 0, 64));
        return cell;
    }

    std::string fileName;
    int lineNumber = 0;
    formats::XmSong song;
    std::map<std::string, int> instrumentIndex;
    std::map<std::string, int> patternIndex;
    std::string patternName;
    bool inPattern = false;
};

} // namespace

formats::XmSample Waveform(const std::string& name) {
    formats::XmSample sample;
    std::uint32_t noise = 0x1234567u;
    for (int i = 0; i < kPeriod; ++i) {
        const double phase = static_cast<double>(i) / kPeriod;
        double value = 0.0;
        if (name == "sine") {
            value = 100.0 * std::sin(2.0 * std::numbers::pi * phase);
        } else if (name == "square") {
            value = phase < 0.5 ? 70.0 : -70.0;
        } else if (name == "saw") {
            value = 180.0 * phase - 90.0;
        } else if (name == "triangle") {
            value = phase < 0.5 ? 400.0 * phase - 100.0 : 300.0 - 400.0 * phase;
        } else if (name == "noise") {
            noise = noise * 1664525u + 1013904223u; // a fixed generator: the file is the same every build
            value = static_cast<double>(static_cast<std::int32_t>(noise) >> 24) * 0.7;
        } else {
            throw ScoreError("unknown waveform \"" + name + "\" (sine, square, saw, triangle or noise)");
        }
        sample.data.push_back(Clip(value));
    }
    sample.loopStart = 0;
    sample.loopLength = kPeriod;
    sample.loopType = 1;
    return sample;
}

formats::XmSong ParseScore(const std::string& text, const std::string& fileName) {
    return ScoreParser(fileName).Parse(text);
}

} // namespace quorvel::music
