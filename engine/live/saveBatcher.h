// Turns the file events of a content folder into builds: the build is due once every file noted has
// been closed by its writer, or moved into place, and no event has come for a few milliseconds, so a
// burst of saves (several files, or an editor's temporary file renamed over the one saved) makes one
// build, and a file still open for writing holds the build back, so that a half-written file is not
// compiled. Pure bookkeeping on times the caller gives.
#pragma once

#include <set>
#include <string>

namespace engine::live {

class SaveBatcher {
public:
    // Seconds without an event, every file closed, before the changes are built: the events of one
    // save (a temporary file written, closed and renamed over the file) come within it.
    static constexpr double kSettleSeconds = 0.01;
    // A writer that keeps a file open this long without writing is not waited for any longer.
    static constexpr double kOpenPatienceSeconds = 2.0;

    // A file changed at `now`. stillWriting: the file was made or written and is still open; any other
    // event (closed after writing, removed, moved) ends its writing.
    void Note(const std::string& path, bool stillWriting, double now);
    // True once there are changes, every file is closed and the settle has passed, or a file has been
    // left open without an event for kOpenPatienceSeconds.
    bool Due(double now) const;
    bool HasChanges() const { return !changed.empty(); }
    // The changed files, forgotten here.
    std::set<std::string> Take();

private:
    std::set<std::string> changed;
    std::set<std::string> open;
    double lastEvent = 0.0;
};

} // namespace engine::live
