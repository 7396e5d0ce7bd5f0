// Turns the file events of a content folder into builds: a burst of saves makes one build once the
// folder has been quiet for a moment, and a file that is still open for writing holds the build back,
// so that a half-written file is not compiled. Pure bookkeeping on times the caller gives.
#pragma once

#include <set>
#include <string>

namespace engine::live {

class SaveBatcher {
public:
    // Seconds without an event before the changes are built.
    static constexpr double kQuietSeconds = 0.2;
    // A writer that keeps a file open this long without writing is not waited for any longer.
    static constexpr double kOpenPatienceSeconds = 2.0;

    // A file changed at `now`. stillWriting: bytes were written and the file is still open; any other
    // event (closed after writing, created, removed, moved) ends its writing.
    void Note(const std::string& path, bool stillWriting, double now);
    // True once there are changes and the folder has been quiet long enough.
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
