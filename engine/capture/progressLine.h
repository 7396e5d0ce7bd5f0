// A capture's progress on standard error: one line, rewritten in place with a carriage return a few
// times a second, saying which frame, the demo time it shows, the frames captured per second of wall
// time and, where the number of frames is known, the time left.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace engine::capture {

class ProgressLine {
public:
    // expectedFrames 0: unknown. A disabled line writes nothing.
    ProgressLine(std::FILE* stream, bool enabled, std::int64_t expectedFrames);

    void Frame(std::int64_t frame, double demoSeconds);
    // Rewrites the line once more with the last frame and ends it.
    void Finish();

private:
    void Write(bool last);

    std::FILE* stream;
    bool enabled;
    std::int64_t expectedFrames;
    std::chrono::steady_clock::time_point started;
    std::chrono::steady_clock::time_point lastWritten;
    std::int64_t frame = 0;
    double demoSeconds = 0.0;
    std::size_t lastLength = 0;
};

} // namespace engine::capture
