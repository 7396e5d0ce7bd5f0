// The demo's music score: a small text format that names the tempo, the instruments (synthesized tones
// and drums with their volume envelopes), patterns of rows written as cells per channel (note,
// instrument, volume, effect), and the play order, grouped into named sections. ReadScore turns it into
// a song for the .xm writer; every mistake names the file and the line.
#pragma once

#include "formats/xmWriter.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace quorvel::music {

class ScoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A named run of the play order, such as the music under one scene.
struct Section {
    std::string name;
    std::size_t firstOrder = 0; // index into the song's orders
};

struct Score {
    formats::XmSong song;
    std::vector<Section> sections;
};

// One statement a line; '#' at the start of a line or after a blank begins a comment.
//   song "name"            tempo <bpm> <speed>      channels <count>   (before the first pattern)
//   instrument <name> <waveform> [volume 0-64] [harmonics=N] [detune=N] [envelope=tick:level,...]
//              [sustain=point] [fadeout=0-4095] [pan=0-255]
//       waveforms and the tone options: instruments.h; the envelope's ticks rise from 0, at most 12
//       points, levels 0-64; without an envelope a key-off cuts the note.
//   pattern <name>, then one line per row with a cell per channel separated by '|', then "end".
//       A cell is "===" (key-off), or "..." or "<note> <instrument>" (C-4, F#3; C-0 to B-7), either
//       followed by an optional volume 0-64 and an optional effect such as 047 or A08.
//   echo <channel> <channel>[,<channel>...] delay=<rows> [level=<percent>] [pan=0-255]
//       repeats the first channel's notes on the others (spare channels, numbered from 1, that no
//       pattern writes into), each one delay later and level percent (50) as loud as the one before,
//       panned to pan; the echoes follow the play order across patterns.
//   order <pattern>...            appends to the play order
//   section <name> <pattern>...   appends too, and names where that run starts
// Throws ScoreError("<file>:<line>: <what is wrong>").
Score ReadScore(const std::string& text, const std::string& fileName);
formats::XmSong ParseScore(const std::string& text, const std::string& fileName);

} // namespace quorvel::music
