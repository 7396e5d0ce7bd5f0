// Watches a folder and every folder below it for saved files, through Linux's inotify system calls
// (part of the C library; nothing to add for a few calls). inotify watches one folder per watch, so
// each subfolder gets its own, and folders made later are added as they appear. Where inotify cannot
// serve (the system's limit of watches or of inotify instances reached, or the watched folder itself
// removed or moved away) the watcher compares the folder's files against what it saw before, twice a
// second. Links are not followed: a linked folder is not watched, so nothing outside the folder is.
// Reading never blocks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace engine::live {

struct FileEvent {
    std::filesystem::path path;
    // The file was made or written and is still open; false for a close after writing, a file removed
    // or moved (an editor's save by renaming a temporary file over it), and for anything under a folder
    // that appeared.
    bool stillWriting = false;
};

class ContentWatcher {
public:
    // Seconds between two looks at the folder once inotify cannot serve.
    static constexpr double kPollSeconds = 0.5;

    // Watches the folder; ERROR (which throws) when it is no folder. When inotify refuses, a WARNING
    // row names the limit reached and the watcher polls.
    explicit ContentWatcher(std::filesystem::path root);
    ~ContentWatcher();
    ContentWatcher(const ContentWatcher&) = delete;
    ContentWatcher& operator=(const ContentWatcher&) = delete;

    // The events since the last call; `now` (seconds on any steady clock) paces the polling. Hidden
    // files and editors' backups (a leading '.', a trailing '~') are left out: editors write them
    // beside the file being edited.
    std::vector<FileEvent> Read(double now);

    const std::filesystem::path& Root() const { return root; }
    bool Polling() const { return polling; }

private:
    struct Seen {
        std::filesystem::file_time_type written;
        std::uintmax_t size = 0;
        bool folder = false;
    };

    // Watches the folder and those below it; files already in a folder that just appeared count as
    // changed, as they may have been written before its watch existed.
    void WatchTree(const std::filesystem::path& folder, std::vector<FileEvent>* found);
    bool WatchFolder(const std::filesystem::path& folder);
    // Forgets the watches of a folder moved away and of those below it.
    void Unwatch(const std::filesystem::path& folder);
    void ReadInotify(std::vector<FileEvent>& events);
    // Leaves inotify for polling, saying why once.
    void StartPolling(const std::string& why);
    std::map<std::filesystem::path, Seen> Look() const;
    void Poll(std::vector<FileEvent>& events);

    std::filesystem::path root;
    int descriptor = -1;
    std::map<int, std::filesystem::path> folders;
    bool polling = false;
    std::map<std::filesystem::path, Seen> seen;
    bool looked = false;
    double lastPoll = 0.0;
};

} // namespace engine::live
