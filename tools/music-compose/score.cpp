#include "score.h"

#include "instruments.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

namespace quorvel::music {

namespace {

constexpr std::uint8_t kKeyOff = 97;
constexpr std::uint8_t kMaxNote = 96;
constexpr std::size_t kMaxRows = 256;
constexpr std::size_t kMaxOrders = 256;
constexpr std::size_t kMaxPatterns = 256;
constexpr std::size_t kMaxInstruments = 128;
constexpr std::uint16_t kMaxChannels = 32;
constexpr std::uint8_t kSetVolume = 0x10; // the volume column's 0x10..0x50
constexpr std::uint8_t kMaxVolume = 64;
constexpr std::uint8_t kArpeggio = 0x0;
constexpr std::uint8_t kTonePortamento = 0x3;
constexpr std::uint8_t kSetPanning = 0x8;
constexpr std::uint8_t kSetVolumeEffect = 0xC;
constexpr std::uint8_t kExtended = 0xE;

// The effects an echo repeats: those that shape its own note's pitch and volume. Jumps, breaks, tempo,
// global volume and pattern loops or delays would change the song's timing, and panning is the echo's.
bool Echoed(std::uint8_t effect, std::uint8_t parameter) {
    if (effect == kExtended) {
        const int command = parameter >> 4;
        return command == 0x1 || command == 0x2 || command == 0xA || command == 0xB || command == 0xC ||
               command == 0xD;
    }
    return effect <= 0x7 || effect == 0xA || effect == kSetVolumeEffect;
}

bool SameRows(const formats::XmPattern& a, const formats::XmPattern& b) {
    const auto sameCell = [](const formats::XmCell& x, const formats::XmCell& y) {
        return x.note == y.note && x.instrument == y.instrument && x.volume == y.volume &&
               x.effect == y.effect && x.parameter == y.parameter;
    };
    return std::equal(a.rows.begin(), a.rows.end(), b.rows.begin(), b.rows.end(),
                      [&](const auto& x, const auto& y) {
                          return std::equal(x.begin(), x.end(), y.begin(), y.end(), sameCell);
                      });
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

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Written as trackers show it: the effect as one digit or letter (0-9, then A = 10 up to Z = 35), then
// its parameter in two hex digits: "047" is an arpeggio up 4 and 7 semitones, "A08" a volume slide.
bool ParseEffect(const std::string& token, std::uint8_t& effect, std::uint8_t& parameter) {
    if (token.size() != 3 || HexDigit(token[1]) < 0 || HexDigit(token[2]) < 0)
        return false;
    if (token[0] >= '0' && token[0] <= '9')
        effect = static_cast<std::uint8_t>(token[0] - '0');
    else if (token[0] >= 'A' && token[0] <= 'Z')
        effect = static_cast<std::uint8_t>(token[0] - 'A' + 10);
    else
        return false;
    parameter = static_cast<std::uint8_t>(16 * HexDigit(token[1]) + HexDigit(token[2]));
    return true;
}

// A comment runs from a '#' that starts the line or follows a blank; the '#' in a sharp (C#4) is not one.
std::size_t CommentStart(const std::string& line) {
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t'))
            return i;
    return line.size();
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
    // An instrument's waveform and settings until its samples are made.
    struct Voice {
        std::string waveform;
        ToneOptions tone;
        std::uint8_t volume = kMaxVolume;
        std::uint8_t pan = 128;
        NoteUse notes;
    };

    struct Echo {
        int line = 0;
        int from = 0;
        std::vector<int> to; // one channel per tap, each `delay` rows after the one before
        int delay = 0;
        int level = 50; // percent of the volume before it
        int pan = 128;
    };

public:
    ScoreParser(const std::string& fileName) : fileName(fileName) {}

    Score Parse(const std::string& text) {
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            ++lineNumber;
            line.erase(CommentStart(line));
            if (Words(line).empty())
                continue;
            if (inPattern)
                PatternLine(line);
            else
                Statement(Words(line), line);
        }
        if (inPattern)
            Fail("the pattern \"" + patternName + "\" has no end");
        if (score.song.orders.empty())
            Fail("the score has no order line");
        for (std::size_t i = 0; i < score.song.instruments.size(); ++i)
            Synthesize(i);
        for (const Echo& echo : echoes)
            Apply(echo);
        return score;
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
        formats::XmSong& song = score.song;
        const std::string& keyword = words[0];
        if (keyword == "song" && words.size() >= 2) {
            // The rest of the line, without the quotes around it.
            const std::size_t first = line.find_first_not_of(" \t\"", line.find("song") + 4);
            const std::size_t last = line.find_last_not_of(" \t\"\r");
            // Nothing but quotes and blanks after the keyword leaves no name to take.
            if (first == std::string::npos || last == std::string::npos || last < first)
                Fail("song needs a name");
            song.name = line.substr(first, last - first + 1);
        } else if (keyword == "tempo" && words.size() == 3) {
            song.bpm = static_cast<std::uint16_t>(Number(words[1], 32, 255));
            song.speed = static_cast<std::uint16_t>(Number(words[2], 1, 31));
        } else if (keyword == "channels" && words.size() == 2) {
            if (!song.patterns.empty())
                Fail("channels must come before the first pattern");
            song.channels = static_cast<std::uint16_t>(Number(words[1], 1, kMaxChannels));
        } else if (keyword == "instrument" && words.size() >= 3) {
            Instrument(words);
        } else if (keyword == "pattern" && words.size() == 2) {
            if (patternIndex.count(words[1]) != 0)
                Fail("the pattern \"" + words[1] + "\" is written twice");
            if (song.patterns.size() == kMaxPatterns)
                Fail("a song holds at most 256 patterns");
            patternName = words[1];
            song.patterns.emplace_back();
            sounding.assign(song.channels, {0, 0});
            inPattern = true;
        } else if (keyword == "order" && words.size() >= 2) {
            Play(words, 1);
        } else if (keyword == "echo" && words.size() >= 3) {
            EchoStatement(words);
        } else if (keyword == "section" && words.size() >= 3) {
            score.sections.push_back({words[1], song.orders.size()});
            Play(words, 2);
        } else {
            Fail("cannot read \"" + keyword + "\" here");
        }
    }

    // Appends the named patterns, from words[first] on, to the play order.
    void Play(const std::vector<std::string>& words, std::size_t first) {
        for (std::size_t i = first; i < words.size(); ++i) {
            const auto found = patternIndex.find(words[i]);
            if (found == patternIndex.end())
                Fail("the order names an unknown pattern \"" + words[i] + "\"");
            if (score.song.orders.size() == kMaxOrders)
                Fail("the play order holds at most 256 patterns");
            score.song.orders.push_back(static_cast<std::uint8_t>(found->second));
        }
    }

    // instrument <name> <waveform> [volume] [harmonics=N] [detune=N] [envelope=tick:level,...]
    //            [sustain=point] [fadeout=N] [pan=N]
    void Instrument(const std::vector<std::string>& words) {
        if (instrumentIndex.count(words[1]) != 0)
            Fail("the instrument \"" + words[1] + "\" is written twice");
        if (score.song.instruments.size() == kMaxInstruments)
            Fail("a song holds at most 128 instruments");
        formats::XmInstrument instrument;
        instrument.name = words[1];
        const std::string& waveform = words[2];
        ToneOptions tone;
        int volume = 64;
        int pan = 128;
        int sustain = -1;
        bool shaped = false;
        for (std::size_t i = 3; i < words.size(); ++i) {
            const std::size_t equals = words[i].find('=');
            if (equals == std::string::npos) {
                if (i != 3)
                    Fail("the volume comes right after the waveform");
                volume = Number(words[i], 0, 64);
                continue;
            }
            const std::string key = words[i].substr(0, equals);
            const std::string value = words[i].substr(equals + 1);
            if (key == "harmonics") {
                tone.harmonics = Number(value, 1, kMaxHarmonics);
                shaped = true;
            } else if (key == "detune") {
                tone.detune = Number(value, kMinDetune, kMaxDetune);
                shaped = true;
            } else if (key == "envelope") {
                instrument.volumeEnvelope.points = Envelope(value);
            } else if (key == "sustain") {
                sustain = Number(value, 0, static_cast<int>(formats::XmEnvelope::kMaxPoints) - 1);
            } else if (key == "fadeout") {
                instrument.fadeout = static_cast<std::uint16_t>(Number(value, 0, 4095));
            } else if (key == "pan") {
                pan = Number(value, 0, 255);
            } else {
                Fail("\"" + key +
                     "=\" is not an instrument option (harmonics=, detune=, envelope=, "
                     "sustain=, fadeout=, pan=)");
            }
        }
        if (!IsWaveform(waveform))
            Fail("unknown waveform \"" + waveform +
                 "\" (sine, triangle, square, saw, pulse, kick, snare, hat or crash)");
        if (shaped && !IsTone(waveform))
            Fail("harmonics= and detune= shape tones, not \"" + waveform + "\"");
        if (sustain >= static_cast<int>(instrument.volumeEnvelope.points.size()))
            Fail("the sustain point " + std::to_string(sustain) + " is not a point of the envelope");
        instrument.volumeEnvelope.sustain = sustain;
        instrumentIndex[instrument.name] = static_cast<int>(score.song.instruments.size()) + 1;
        score.song.instruments.push_back(instrument);
        // The samples wait for the patterns: a tone is cut to the notes the score plays with it.
        voices.push_back(
            {waveform, tone, static_cast<std::uint8_t>(volume), static_cast<std::uint8_t>(pan), {}});
    }

    void Synthesize(std::size_t index) {
        const Voice& voice = voices[index];
        auto sound = music::Synthesize(voice.waveform, voice.tone, voice.notes);
        formats::XmInstrument& instrument = score.song.instruments[index];
        instrument.samples = std::move(sound->samples);
        instrument.noteToSample = std::move(sound->noteToSample);
        for (formats::XmSample& sample : instrument.samples) {
            sample.volume = voice.volume;
            sample.pan = voice.pan;
        }
    }

    // Records, for the instruments' samples, which notes start each instrument and how far an
    // arpeggio or a slide then bends them: per channel, the note sounding since the pattern's start.
    void Listen(std::size_t channel, const formats::XmCell& cell) {
        auto& [note, instrument] = sounding[channel];
        if (cell.note >= 1 && cell.note <= kMaxNote) {
            if (cell.effect == kTonePortamento && note != 0) {
                Bend(note, instrument, cell.note);
                return;
            }
            note = cell.note;
            instrument = cell.instrument;
            Bend(note, instrument, note);
        } else if (cell.effect == kArpeggio && cell.parameter != 0 && note != 0) {
            Bend(note, instrument, note + std::max(cell.parameter >> 4, cell.parameter & 0xF));
        }
    }

    void Bend(int note, int instrument, int pitch) {
        int& highest = voices[static_cast<std::size_t>(instrument - 1)].notes[static_cast<std::size_t>(note)];
        highest = std::max(highest, pitch);
    }

    // echo <channel> <channel>[,<channel>...] delay=<rows> level=<percent> [pan=0-255]
    void EchoStatement(const std::vector<std::string>& words) {
        const int channels = score.song.channels;
        Echo echo;
        echo.line = lineNumber;
        echo.from = Number(words[1], 1, channels) - 1;
        for (const std::string& word : Split(words[2], ',')) {
            const int to = Number(word, 1, channels) - 1;
            const bool taken =
                to == echo.from || std::find(echo.to.begin(), echo.to.end(), to) != echo.to.end() ||
                std::any_of(echoes.begin(), echoes.end(), [&](const Echo& other) {
                    return other.from == to || other.from == echo.from ||
                           std::find(other.to.begin(), other.to.end(), to) != other.to.end() ||
                           std::find(other.to.begin(), other.to.end(), echo.from) != other.to.end();
                });
            if (taken)
                Fail("channel " + word + " already plays or echoes another echo's notes");
            echo.to.push_back(to);
        }
        bool delayed = false;
        for (std::size_t i = 3; i < words.size(); ++i) {
            const std::size_t equals = words[i].find('=');
            const std::string key = words[i].substr(0, equals);
            const std::string value = equals == std::string::npos ? "" : words[i].substr(equals + 1);
            if (key == "delay") {
                echo.delay = Number(value, 1, static_cast<int>(kMaxRows));
                delayed = true;
            } else if (key == "level") {
                echo.level = Number(value, 1, 100);
            } else if (key == "pan") {
                echo.pan = Number(value, 0, 255);
            } else {
                Fail("\"" + words[i] + "\" is not an echo option (delay=, level=, pan=)");
            }
        }
        if (!delayed)
            Fail("an echo needs its delay=<rows>");
        echoes.push_back(echo);
    }

    // The echo of one cell `tap` repeats later: a note at the level scaled down and panned to the echo's
    // side, a key-off as it is, and what shapes the sounding note; nothing where there is nothing to echo.
    std::optional<formats::XmCell> EchoOf(const formats::XmCell& cell, const Echo& echo, int tap) const {
        const double gain = std::pow(echo.level / 100.0, tap);
        const auto scaled = [&](int volume) { return static_cast<std::uint8_t>(std::lround(volume * gain)); };
        formats::XmCell out;
        if (cell.note == kKeyOff) {
            out.note = kKeyOff;
            return out;
        }
        if (cell.note != 0) {
            const auto& samples =
                score.song.instruments[static_cast<std::size_t>(cell.instrument - 1)].samples;
            const int volume = cell.volume >= kSetVolume && cell.volume <= kSetVolume + kMaxVolume
                                   ? cell.volume - kSetVolume
                                   : samples.front().volume;
            out.note = cell.note;
            out.instrument = cell.instrument;
            out.volume = static_cast<std::uint8_t>(kSetVolume + scaled(volume));
            out.effect = kSetPanning;
            out.parameter = static_cast<std::uint8_t>(echo.pan);
            return out;
        }
        if (cell.volume >= kSetVolume && cell.volume <= kSetVolume + kMaxVolume)
            out.volume = static_cast<std::uint8_t>(kSetVolume + scaled(cell.volume - kSetVolume));
        else
            out.volume = cell.volume;
        if (Echoed(cell.effect, cell.parameter)) {
            out.effect = cell.effect;
            out.parameter = cell.effect == kSetVolumeEffect
                                ? scaled(std::min<int>(cell.parameter, kMaxVolume))
                                : cell.parameter;
        }
        if (out.volume == 0 && out.effect == 0 && out.parameter == 0)
            return std::nullopt;
        return out;
    }

    // Writes the echo's taps into its channels along the play order, so a note near a pattern's end is
    // heard at the start of the next; a pattern played twice with different echoes is copied.
    void Apply(const Echo& echo) {
        formats::XmSong& song = score.song;
        for (std::size_t p = 0; p < song.patterns.size(); ++p)
            for (const auto& row : song.patterns[p].rows)
                for (int to : echo.to) {
                    const formats::XmCell& cell = row[static_cast<std::size_t>(to)];
                    if (cell.note != 0 || cell.volume != 0 || cell.effect != 0 || cell.parameter != 0) {
                        lineNumber = echo.line;
                        Fail("channel " + std::to_string(to + 1) +
                             " carries an echo, but a pattern writes into it");
                    }
                }
        std::vector<formats::XmPattern> played;
        for (std::uint8_t order : song.orders)
            played.push_back(song.patterns[order]);
        for (std::size_t o = 0; o < played.size(); ++o)
            for (std::size_t r = 0; r < played[o].rows.size(); ++r)
                for (std::size_t tap = 1; tap <= echo.to.size(); ++tap) {
                    const auto cell = EchoOf(played[o].rows[r][static_cast<std::size_t>(echo.from)], echo,
                                             static_cast<int>(tap));
                    if (!cell)
                        continue;
                    std::size_t at = o;
                    std::size_t row = r + tap * static_cast<std::size_t>(echo.delay);
                    while (at < played.size() && row >= played[at].rows.size())
                        row -= played[at++].rows.size();
                    if (at < played.size())
                        played[at].rows[row][static_cast<std::size_t>(echo.to[tap - 1])] = *cell;
                }
        std::vector<bool> written(song.patterns.size(), false);
        for (std::size_t o = 0; o < played.size(); ++o) {
            std::size_t index = song.orders[o];
            if (!written[index]) {
                song.patterns[index] = played[o];
                written[index] = true;
                continue;
            }
            const auto same =
                std::find_if(song.patterns.begin(), song.patterns.end(),
                             [&](const formats::XmPattern& p) { return SameRows(p, played[o]); });
            index = static_cast<std::size_t>(same - song.patterns.begin());
            if (same == song.patterns.end()) {
                if (song.patterns.size() == kMaxPatterns) {
                    lineNumber = echo.line;
                    Fail("the echo needs more than 256 patterns");
                }
                song.patterns.push_back(played[o]);
                written.push_back(true);
            }
            song.orders[o] = static_cast<std::uint8_t>(index);
        }
    }

    // "0:64,4:40,30:0": ticks from the note's start, rising from 0, each with a level from 0 to 64.
    std::vector<formats::XmEnvelope::Point> Envelope(const std::string& text) const {
        std::vector<formats::XmEnvelope::Point> points;
        for (const std::string& pair : Split(text, ',')) {
            const std::size_t colon = pair.find(':');
            if (colon == std::string::npos)
                Fail("an envelope point is tick:level, not \"" + pair + "\"");
            const int tick = Number(pair.substr(0, colon), 0, 65535);
            const int level = Number(pair.substr(colon + 1), 0, 64);
            if (points.empty() ? tick != 0 : tick <= points.back().tick)
                Fail("an envelope starts at tick 0 and its ticks rise");
            points.push_back({static_cast<std::uint16_t>(tick), static_cast<std::uint16_t>(level)});
        }
        if (points.size() > formats::XmEnvelope::kMaxPoints)
            Fail("an envelope has at most 12 points");
        return points;
    }

    void PatternLine(const std::string& line) {
        formats::XmSong& song = score.song;
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
        for (const std::string& cell : cells) {
            row.push_back(Cell(Words(cell)));
            Listen(row.size() - 1, row.back());
        }
        auto& rows = song.patterns.back().rows;
        if (rows.size() == kMaxRows)
            Fail("a pattern holds at most 256 rows");
        rows.push_back(row);
    }

    // "===", or "..." or "<note> <instrument>", either followed by an optional volume 0-64 and an
    // optional effect.
    formats::XmCell Cell(const std::vector<std::string>& words) const {
        formats::XmCell cell;
        if (words.empty() || (words[0] != "..." && !ParseNote(words[0], cell.note)))
            Fail("a cell is \"...\", \"===\" or a note such as C-4 with an instrument");
        std::size_t next = 1;
        if (cell.note == kKeyOff) {
            if (words.size() > 1)
                Fail("a key-off \"===\" stands alone");
            return cell;
        }
        if (cell.note != 0) {
            if (words.size() < 2)
                Fail("the note " + words[0] + " needs an instrument");
            const auto found = instrumentIndex.find(words[1]);
            if (found == instrumentIndex.end())
                Fail("unknown instrument \"" + words[1] + "\"");
            cell.instrument = static_cast<std::uint8_t>(found->second);
            next = 2;
        }
        if (next < words.size() && words[next].size() < 3)
            cell.volume = static_cast<std::uint8_t>(0x10 + Number(words[next++], 0, 64));
        if (next < words.size() && !ParseEffect(words[next++], cell.effect, cell.parameter))
            Fail("\"" + words[next - 1] + "\" is not an effect such as 047 or A08");
        if (next < words.size())
            Fail("a cell holds a note, an instrument, a volume and an effect, nothing more");
        return cell;
    }

    std::string fileName;
    int lineNumber = 0;
    std::vector<Voice> voices;
    std::vector<Echo> echoes;
    std::vector<std::pair<int, int>> sounding; // note and instrument per channel
    Score score;
    std::map<std::string, int> instrumentIndex;
    std::map<std::string, int> patternIndex;
    std::string patternName;
    bool inPattern = false;
};

} // namespace

Score ReadScore(const std::string& text, const std::string& fileName) {
    return ScoreParser(fileName).Parse(text);
}

formats::XmSong ParseScore(const std::string& text, const std::string& fileName) {
    return ReadScore(text, fileName).song;
}

} // namespace quorvel::music
