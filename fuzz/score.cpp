// The music score of the content compiler: the score reader, then what follows it: the song written
// as an .xm module and that module opened and played for a moment by libopenmpt, as the engine plays it.
#include "score.h"
#include "fuzzSupport.h"

#include <libopenmpt/libopenmpt.hpp>

#include <sstream>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    quorvel::music::Score score;
    try {
        score = quorvel::music::ReadScore(text, "fuzz.score");
    } catch (const quorvel::music::ScoreError&) {
        return 0;
    }
    const quorvel::formats::XmWriter module = quorvel::formats::XmWriter::File(score.song);
    std::ostringstream quiet;
    try {
        openmpt::module player(module.Data(), quiet);
        player.set_repeat_count(0);
        std::vector<float> frames(2 * 1024);
        for (int block = 0; block < 4; ++block)
            player.read_interleaved_stereo(44100, 1024, frames.data());
    } catch (const openmpt::exception&) {
        FUZZ_CHECK(!"libopenmpt refuses a module the score compiler wrote");
    }
    return 0;
}
