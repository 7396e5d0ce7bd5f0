#include "capture/progressLine.h"

#include <algorithm>
#include <cmath>

namespace engine::capture {

namespace {

// Often enough to look alive, rarely enough not to flood a terminal or a log that captures it.
constexpr std::chrono::milliseconds kRewriteInterval(250);

std::string Duration(double seconds) {
    const auto whole = static_cast<long long>(std::llround(std::max(seconds, 0.0)));
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    return text;
}

} // namespace

ProgressLine::ProgressLine(std::FILE* stream, bool enabled, std::int64_t expectedFrames)
    : stream(stream), enabled(enabled), expectedFrames(expectedFrames),
      started(std::chrono::steady_clock::now()), lastWritten(started) {}

void ProgressLine::Frame(std::int64_t newFrame, double newDemoSeconds) {
    frame = newFrame;
    demoSeconds = newDemoSeconds;
    if (enabled && std::chrono::steady_clock::now() - lastWritten >= kRewriteInterval)
        Write(false);
}

void ProgressLine::Finish() {
    if (!enabled)
        return;
    Write(true);
    std::fputc('\n', stream);
    std::fflush(stream);
}

void ProgressLine::Write(bool last) {
    lastWritten = std::chrono::steady_clock::now();
    const double wall = std::chrono::duration<double>(lastWritten - started).count();
    const double rate = wall > 0.0 ? static_cast<double>(frame) / wall : 0.0;
    // Appended piece by piece: with "text" + std::string&& inlined, GCC 12 at -O2 sees the insert's
    // move of the string's own bytes as a copy that may overlap (a false -Wrestrict).
    std::string line = "frame ";
    line += std::to_string(frame);
    if (expectedFrames > 0) {
        line += '/';
        line += std::to_string(std::max(expectedFrames, frame));
    }
    char figures[96];
    std::snprintf(figures, sizeof figures, "  demo %.2f s  %.1f fps", demoSeconds, rate);
    line += figures;
    if (last) {
        line += "  took ";
        line += Duration(wall);
    } else if (expectedFrames > frame && rate > 0.0) {
        line += "  about ";
        line += Duration(static_cast<double>(expectedFrames - frame) / rate);
        line += " left";
    }
    // Blanks over whatever a longer earlier line left behind.
    const std::size_t length = line.size();
    line.append(lastLength > length ? lastLength - length : 0, ' ');
    lastLength = length;
    std::fprintf(stream, "\r%s", line.c_str());
    std::fflush(stream);
}

} // namespace engine::capture
