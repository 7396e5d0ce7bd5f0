// The demo's music score: a small text format that names the tempo, the instruments (each a looped
// single-period waveform), patterns of rows written as note cells per channel, and the play order.
// ParseScore turns it into a song for the .xm writer; every mistake names the file and the line.
#pragma once

#include "formats/xmWriter.h"

#include <stdexcept>
#include <string>

namespace quorvel::music {

class ScoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws ScoreError("<file>:<line>: <what is wrong>").
formats::XmSong ParseScore(const std::string& text, const std::string& fileName);

// A looped waveform of one period: "sine", "square", "saw", "triangle" or "noise".
// Throws ScoreError for another name.
formats::XmSample Waveform(const std::string& name);

} // namespace quorvel::music
