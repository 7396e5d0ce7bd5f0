// music-compose: compiles the demo's text score into the .xm module the engine plays.
//   music-compose <score> <module.xm>
#include "score.h"

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: music-compose <score> <module.xm>\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open the score\n", argv[1]);
        return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    try {
        const auto song = quorvel::music::ParseScore(text.str(), argv[1]);
        quorvel::formats::XmWriter::File(song).Save(argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
