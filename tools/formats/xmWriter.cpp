#include "formats/xmWriter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quorvel::formats {

namespace {

constexpr std::uint32_t kHeaderSizeFromOffset60 = 276;
constexpr std::uint32_t kInstrumentHeaderSize = 263;
constexpr std::uint32_t kSampleHeaderSize = 40;
constexpr std::uint8_t kC4 = 49;
constexpr std::uint8_t kFullVolume = 0x50;

std::vector<std::uint8_t> PackCells(const XmPattern& pattern, std::uint16_t channels) {
    std::vector<std::uint8_t> packed;
    for (const auto& row : pattern.rows)
        for (std::uint16_t channel = 0; channel < channels; ++channel) {
            const XmCell cell = channel < row.size() ? row[channel] : XmCell{};
            const std::uint8_t fields[] = {cell.note, cell.instrument, cell.volume, cell.effect,
                                           cell.parameter};
            std::uint8_t mask = 0;
            for (int i = 0; i < 5; ++i)
                if (fields[i] != 0)
                    mask |= static_cast<std::uint8_t>(1 << i);
            packed.push_back(static_cast<std::uint8_t>(0x80 | mask));
            for (int i = 0; i < 5; ++i)
                if (fields[i] != 0)
                    packed.push_back(fields[i]);
        }
    return packed;
}

} // namespace

XmSample XmSineSample(int length) {
    XmSample sample;
    for (int i = 0; i < length; ++i)
        sample.data.push_back(
            static_cast<std::int8_t>(std::lround(100.0 * std::sin(2.0 * std::numbers::pi * i / length))));
    sample.loopStart = 0;
    sample.loopLength = static_cast<std::uint32_t>(length);
    sample.loopType = 1;
    return sample;
}

XmSong XmShortSong(int rows) {
    XmSong song;
    song.name = "short song";
    song.orders = {0};
    XmPattern pattern;
    for (int row = 0; row < rows; ++row) {
        std::vector<XmCell> cells(song.channels);
        if (row % 4 == 0)
            cells[0] = {kC4, 1, kFullVolume, 0, 0};
        pattern.rows.push_back(cells);
    }
    song.patterns.push_back(pattern);
    song.instruments.push_back({"sine", {XmSineSample()}, {}, {}, 0});
    return song;
}

void XmWriter::Fixed(const std::string& text, std::size_t size) {
    std::string field = text.substr(0, std::min(text.size(), size));
    field.resize(size, '\0');
    out.Chars(field);
}

void XmWriter::Header(const XmSong& song) {
    out.Chars("Extended Module: ");
    Fixed(song.name, 20);
    out.U8(0x1A);
    Fixed("quorvel", 20);
    out.U16(0x0104);
    out.U32(kHeaderSizeFromOffset60);
    out.U16(static_cast<std::uint16_t>(song.orders.size()));
    out.U16(0); // restart position
    out.U16(song.channels);
    out.U16(static_cast<std::uint16_t>(song.patterns.size()));
    out.U16(static_cast<std::uint16_t>(song.instruments.size()));
    out.U16(1); // linear frequency table
    out.U16(song.speed);
    out.U16(song.bpm);
    std::vector<std::uint8_t> orders = song.orders;
    orders.resize(256, 0);
    out.Bytes(orders.data(), orders.size());
}

void XmWriter::Pattern(const XmPattern& pattern, std::uint16_t channels) {
    const std::vector<std::uint8_t> packed = PackCells(pattern, channels);
    out.U32(9); // pattern header length
    out.U8(0);  // packing type
    out.U16(static_cast<std::uint16_t>(pattern.rows.size()));
    out.U16(static_cast<std::uint16_t>(packed.size()));
    out.Bytes(packed.data(), packed.size());
}

void XmWriter::Instrument(const XmInstrument& instrument) {
    const std::size_t samples = std::min(instrument.samples.size(), XmInstrument::kMaxSamples);
    out.U32(kInstrumentHeaderSize);
    Fixed(instrument.name, 22);
    out.U8(0); // type
    out.U16(static_cast<std::uint16_t>(samples));
    out.U32(kSampleHeaderSize);
    std::vector<std::uint8_t> noteToSample(XmInstrument::kNotes, 0);
    for (std::size_t note = 0; note < std::min(noteToSample.size(), instrument.noteToSample.size()); ++note)
        noteToSample[note] = instrument.noteToSample[note] < samples ? instrument.noteToSample[note] : 0;
    out.Bytes(noteToSample.data(), noteToSample.size());
    const XmEnvelope& envelope = instrument.volumeEnvelope;
    const std::size_t points = std::min(envelope.points.size(), XmEnvelope::kMaxPoints);
    for (std::size_t i = 0; i < XmEnvelope::kMaxPoints; ++i) {
        out.U16(i < points ? envelope.points[i].tick : 0);
        out.U16(i < points ? envelope.points[i].level : 0);
    }
    const std::vector<std::uint8_t> panningPoints(24 * 2, 0);
    out.Bytes(panningPoints.data(), panningPoints.size());
    const bool sustained = envelope.sustain >= 0 && static_cast<std::size_t>(envelope.sustain) < points;
    out.U8(static_cast<std::uint8_t>(points));
    out.U8(0); // panning points
    out.U8(sustained ? static_cast<std::uint8_t>(envelope.sustain) : 0);
    out.U8(0);                                  // volume loop start
    out.U8(0);                                  // volume loop end
    const std::uint8_t panningSettings[3] = {}; // sustain, loop start, loop end
    out.Bytes(panningSettings, sizeof panningSettings);
    out.U8(static_cast<std::uint8_t>((points > 0 ? 1 : 0) | (sustained ? 2 : 0)));
    out.U8(0); // panning envelope off
    const std::uint8_t vibrato[4] = {};
    out.Bytes(vibrato, sizeof vibrato);
    out.U16(instrument.fadeout);
    const std::uint8_t reserved[22] = {};
    out.Bytes(reserved, sizeof reserved);

    // All sample headers come first, then the data of each in the same order.
    for (std::size_t i = 0; i < samples; ++i) {
        const XmSample& sample = instrument.samples[i];
        const bool wide = !sample.wide.empty();
        const std::uint32_t bytes = wide ? 2 : 1;
        out.U32(static_cast<std::uint32_t>(wide ? sample.wide.size() : sample.data.size()) * bytes);
        out.U32(sample.loopStart * bytes);
        out.U32(sample.loopLength * bytes);
        out.U8(sample.volume);
        out.U8(static_cast<std::uint8_t>(sample.finetune));
        out.U8(static_cast<std::uint8_t>(sample.loopType | (wide ? 0x10 : 0)));
        out.U8(sample.pan);
        out.U8(static_cast<std::uint8_t>(sample.relativeNote));
        out.U8(0); // reserved
        Fixed(instrument.name, 22);
    }
    // Each stored value is the difference from the previous one, wrapping at 8 or 16 bits.
    for (std::size_t i = 0; i < samples; ++i) {
        const XmSample& sample = instrument.samples[i];
        if (!sample.wide.empty()) {
            std::uint16_t previous = 0;
            for (std::int16_t value : sample.wide) {
                const auto bits = static_cast<std::uint16_t>(value);
                out.U16(static_cast<std::uint16_t>(bits - previous));
                previous = bits;
            }
            continue;
        }
        std::int8_t previous = 0;
        for (std::int8_t value : sample.data) {
            out.U8(static_cast<std::uint8_t>(value - previous));
            previous = value;
        }
    }
}

XmWriter XmWriter::File(const XmSong& song) {
    XmWriter writer;
    writer.Header(song);
    for (const XmPattern& pattern : song.patterns)
        writer.Pattern(pattern, song.channels);
    for (const XmInstrument& instrument : song.instruments)
        writer.Instrument(instrument);
    return writer;
}

} // namespace quorvel::formats
