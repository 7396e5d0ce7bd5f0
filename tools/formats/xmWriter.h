// Builds FastTracker 2 .xm modules: the 336-byte file header, packed patterns and instruments with one
// or more 8- or 16-bit samples (chosen by note) and an optional volume envelope each. Makes the audio layer's
// short fixtures and, through the score compiler, the demo's music.
#pragma once

#include "formats/binaryWriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::formats {

// One channel of one row; a zero field is left out of the packed cell.
struct XmCell {
    std::uint8_t note = 0; // 1..96 (C-4 = 49), 97 key-off
    std::uint8_t instrument = 0;
    std::uint8_t volume = 0; // 0x10..0x50 sets 0..64
    std::uint8_t effect = 0;
    std::uint8_t parameter = 0;
};

struct XmPattern {
    // [row][channel]; every row holds one cell per channel of the song.
    std::vector<std::vector<XmCell>> rows;
};

// Lengths and loop points count samples; the file stores them in bytes.
struct XmSample {
    std::vector<std::int8_t> data;
    // When it holds samples, the sample is stored in 16 bits from here and `data` is not written.
    std::vector<std::int16_t> wide;
    std::uint32_t loopStart = 0;
    std::uint32_t loopLength = 0;
    std::uint8_t volume = 64;
    std::int8_t finetune = 0;
    std::uint8_t loopType = 0; // 0 none, 1 forward, 2 ping-pong
    std::uint8_t pan = 128;
    std::int8_t relativeNote = 0;
};

// Volume over time in ticks from the note's start, levels 0..64; the player interpolates between points
// and holds the last one. A note stays on its sustain point until its key-off.
struct XmEnvelope {
    struct Point {
        std::uint16_t tick = 0;
        std::uint16_t level = 0;
    };
    static constexpr std::size_t kMaxPoints = 12;
    std::vector<Point> points; // none: the envelope is off and a key-off cuts the note
    int sustain = -1;          // index into points, or -1 for none
};

struct XmInstrument {
    static constexpr std::size_t kMaxSamples = 16;
    static constexpr std::size_t kNotes = 96;
    std::string name;
    std::vector<XmSample> samples; // at most kMaxSamples
    // Which of the samples each note (C-0 first) plays; empty: every note plays the first.
    std::vector<std::uint8_t> noteToSample;
    XmEnvelope volumeEnvelope;
    // After a key-off (with the envelope on) the volume falls by fadeout/32768 of full volume each tick.
    std::uint16_t fadeout = 0;
};

struct XmSong {
    std::string name;
    std::uint16_t channels = 2;
    std::uint16_t speed = 6; // ticks per row
    std::uint16_t bpm = 125;
    std::vector<std::uint8_t> orders; // pattern indices, in play order
    std::vector<XmPattern> patterns;
    std::vector<XmInstrument> instruments;
};

// One period of a sine wave, looped forward: at C-4 it sounds as a steady tone.
XmSample XmSineSample(int length = 32);
// A song of one pattern of `rows` rows on two channels, a note of instrument 1 every fourth row.
// At speed 6 and 125 BPM each row lasts 0.12 seconds.
XmSong XmShortSong(int rows = 16);

class XmWriter {
public:
    void Header(const XmSong& song);
    void Pattern(const XmPattern& pattern, std::uint16_t channels);
    void Instrument(const XmInstrument& instrument);
    BinaryWriter& Raw() { return out; }

    const std::vector<std::uint8_t>& Data() const { return out.Data(); }
    void Save(const std::filesystem::path& path) const { out.Save(path); }

    // A whole well-formed file.
    static XmWriter File(const XmSong& song);

private:
    // Writes the text padded with zeros (or cut) to exactly size bytes.
    void Fixed(const std::string& text, std::size_t size);

    BinaryWriter out;
};

} // namespace quorvel::formats
