// Watches a folder and every folder below it for saved files, through Linux's inotify system calls
// (part of the C library; nothing to add for a few calls). inotify watches one folder per watch, so
// each subfolder gets its own, and folders made later are added as they appear. Reading never blocks.
#pragma once

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
    // Watches the folder; ERROR (which throws) when it is no folder or inotify refuses.
    explicit ContentWatcher(std::filesystem::path root);
    ~ContentWatcher();
    ContentWatcher(const ContentWatcher&) = delete;
    ContentWatcher& operator=(const ContentWatcher&) = delete;

    // The events since the last call. Hidden files and editors' backups (a leading '.', a trailing
    // '~') are left out: editors write them beside the file being edited.
    std::vector<FileEvent> Read();

    const std::filesystem::path& Root() const { return root; }

private:
    // Watches the folder and those below it; files already in a folder that just appeared count as
    // changed, as they may have been written before its watch existed.
    void WatchTree(const std::filesystem::path& folder, std::vector<FileEvent>* found);
    void WatchFolder(const std::filesystem::path& folder);

    std::filesystem::path root;
    int descriptor = -1;
    std::map<int, std::filesystem::path> folders;
};

} // namespace engine::live
