#include "live/contentWatcher.h"

#include "core/logging.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace engine::live {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kFolderEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                        IN_MOVED_TO | IN_DELETE_SELF | IN_ONLYDIR;

bool Ignored(const std::string& name) {
    return name.empty() || name.front() == '.' || name.back() == '~';
}

} // namespace

ContentWatcher::ContentWatcher(fs::path folder) : root(std::move(folder)) {
    std::error_code error;
    if (!fs::is_directory(root, error))
        LOG_ERROR("Cannot watch " + root.string() + ": it is not a folder");
    descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0)
        LOG_ERROR("Cannot watch " + root.string() + ": " + std::strerror(errno));
    WatchTree(root, nullptr);
}

ContentWatcher::~ContentWatcher() {
    if (descriptor >= 0)
        close(descriptor);
}

void ContentWatcher::WatchFolder(const fs::path& folder) {
    const int watch = inotify_add_watch(descriptor, folder.c_str(), kFolderEvents);
    if (watch < 0) {
        LOG_WARNING("Cannot watch " + folder.string() + ": " + std::strerror(errno));
        return;
    }
    folders[watch] = folder;
}

void ContentWatcher::WatchTree(const fs::path& folder, std::vector<FileEvent>* found) {
    WatchFolder(folder);
    std::error_code error;
    for (fs::recursive_directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        if (Ignored(entry->path().filename().string())) {
            if (entry->is_directory(error))
                entry.disable_recursion_pending();
            continue;
        }
        if (entry->is_directory(error))
            WatchFolder(entry->path());
        else if (found != nullptr)
            found->push_back({entry->path(), false});
    }
}

std::vector<FileEvent> ContentWatcher::Read() {
    std::vector<FileEvent> events;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t length = read(descriptor, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            // Events were lost: treat the whole folder as changed, which any build covers.
            if ((event->mask & IN_Q_OVERFLOW) != 0) {
                events.push_back({root, false});
                continue;
            }
            const auto folder = folders.find(event->wd);
            if (folder == folders.end())
                continue;
            if ((event->mask & (IN_DELETE_SELF | IN_IGNORED)) != 0) {
                folders.erase(folder);
                continue;
            }
            const std::string name = event->len > 0 ? event->name : "";
            if (Ignored(name))
                continue;
            const fs::path path = folder->second / name;
            if ((event->mask & IN_ISDIR) != 0) {
                if ((event->mask & (IN_CREATE | IN_MOVED_TO)) != 0)
                    WatchTree(path, &events);
                events.push_back({path, false});
                continue;
            }
            // A file just made is written next; its close ends the writing.
            events.push_back({path, (event->mask & (IN_MODIFY | IN_CREATE)) != 0});
        }
    }
    return events;
}

} // namespace engine::live
