#include "live/contentWatcher.h"

#include "core/logging.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

namespace engine::live {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kFolderEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM |
                                        IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

bool Ignored(const std::string& name) {
    return name.empty() || name.front() == '.' || name.back() == '~';
}

// The value of one of the kernel's inotify limits, for the message that says it was reached. Read with
// the system's calls alone: this runs when descriptors may have run out, where a stream only fails more
// obscurely.
std::string KernelLimit(const char* name) {
    const std::string path = std::string("/proc/sys/fs/inotify/") + name;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "unknown";
    char text[32];
    const ssize_t length = read(fd, text, sizeof text);
    close(fd);
    std::string value(text, length > 0 ? static_cast<std::size_t>(length) : 0);
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
        value.pop_back();
    return value.empty() ? "unknown" : value;
}

// Why inotify refused, naming the limit where one was reached.
std::string RefusalReason(int error) {
    if (error == ENOSPC)
        return "the system's limit of " + KernelLimit("max_user_watches") +
               " inotify watches per user (fs.inotify.max_user_watches) is reached";
    if (error == EMFILE)
        return "the system's limit of " + KernelLimit("max_user_instances") +
               " inotify instances per user (fs.inotify.max_user_instances) or the process's limit of open "
               "files is reached";
    return std::strerror(error);
}

bool Within(const fs::path& path, const fs::path& folder) {
    auto part = path.begin();
    for (const fs::path& step : folder) {
        if (part == path.end() || *part != step)
            return false;
        ++part;
    }
    return true;
}

} // namespace

ContentWatcher::ContentWatcher(fs::path folder) : root(std::move(folder)) {
    std::error_code error;
    if (!fs::is_directory(root, error))
        LOG_ERROR("Cannot watch " + root.string() + ": it is not a folder");
    descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0) {
        StartPolling(RefusalReason(errno));
        return;
    }
    WatchTree(root, nullptr);
}

ContentWatcher::~ContentWatcher() {
    if (descriptor >= 0)
        close(descriptor);
}

void ContentWatcher::StartPolling(const std::string& why) {
    const std::string text = "Cannot watch " + root.string() + " through inotify: " + why +
                             "; looking for changes every " + std::to_string(kPollSeconds).substr(0, 3) +
                             " s instead";
    // On standard error too, where live editing reports its problems to whoever is editing.
    LOG_WARNING(text);
    std::fprintf(stderr, "%s\n", text.c_str());
    if (descriptor >= 0)
        close(descriptor);
    descriptor = -1;
    folders.clear();
    polling = true;
    // What is there now is seen on the first look, which may come when more is free than here (a
    // process out of file descriptors cannot list a folder either).
    looked = false;
    lastPoll = -std::numeric_limits<double>::infinity();
}

bool ContentWatcher::WatchFolder(const fs::path& folder) {
    // Below the root a link is never followed, so no watch reaches outside the folder.
    const std::uint32_t mask = kFolderEvents | (folder == root ? 0u : std::uint32_t(IN_DONT_FOLLOW));
    const int watch = inotify_add_watch(descriptor, folder.c_str(), mask);
    if (watch >= 0) {
        folders[watch] = folder;
        return true;
    }
    const int error = errno;
    if (error == ENOSPC || error == ENOMEM) {
        StartPolling(RefusalReason(error));
        return false;
    }
    // A folder made and removed again between the event and the watch needs no watch.
    if (error != ENOENT)
        LOG_WARNING("Cannot watch " + folder.string() + ": " + std::strerror(error));
    return true;
}

void ContentWatcher::WatchTree(const fs::path& folder, std::vector<FileEvent>* found) {
    if (!WatchFolder(folder))
        return;
    std::error_code error;
    for (fs::recursive_directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const fs::file_status status = entry->symlink_status(error);
        if (Ignored(entry->path().filename().string())) {
            if (fs::is_directory(status))
                entry.disable_recursion_pending();
            continue;
        }
        if (fs::is_directory(status)) {
            if (!WatchFolder(entry->path()))
                return;
        } else if (found != nullptr) {
            found->push_back({entry->path(), false});
        }
    }
}

void ContentWatcher::Unwatch(const fs::path& folder) {
    for (auto watch = folders.begin(); watch != folders.end();)
        if (Within(watch->second, folder)) {
            inotify_rm_watch(descriptor, watch->first);
            watch = folders.erase(watch);
        } else {
            ++watch;
        }
}

std::vector<FileEvent> ContentWatcher::Read(double now) {
    std::vector<FileEvent> events;
    if (!polling)
        ReadInotify(events);
    if (polling && now - lastPoll >= kPollSeconds) {
        lastPoll = now;
        Poll(events);
    }
    return events;
}

void ContentWatcher::ReadInotify(std::vector<FileEvent>& events) {
    alignas(inotify_event) char buffer[16384];
    while (!polling) {
        const ssize_t length = read(descriptor, buffer, sizeof buffer);
        if (length <= 0)
            break;
        for (ssize_t at = 0; at < length && !polling;) {
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
            if ((event->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) != 0) {
                // Without the root's own watch nothing would notice the folder made again.
                if (folder->second == root) {
                    events.push_back({root, false});
                    StartPolling("the folder was removed or moved away");
                } else if ((event->mask & IN_MOVE_SELF) == 0) {
                    folders.erase(folder);
                }
                continue;
            }
            const std::string name = event->len > 0 ? event->name : "";
            if (Ignored(name))
                continue;
            const fs::path path = folder->second / name;
            if ((event->mask & IN_ISDIR) != 0) {
                // A folder moved away keeps its watches, which would go on reporting its files under
                // the old name; a folder moved in is watched afresh under its new one.
                if ((event->mask & IN_MOVED_FROM) != 0)
                    Unwatch(path);
                if ((event->mask & (IN_CREATE | IN_MOVED_TO)) != 0)
                    WatchTree(path, &events);
                events.push_back({path, false});
                continue;
            }
            // A file just made is written next; its close ends the writing. A link made is complete at
            // once, and no close follows it.
            struct stat status {};
            const bool madeFile = (event->mask & IN_CREATE) != 0 && lstat(path.c_str(), &status) == 0 &&
                                  S_ISREG(status.st_mode);
            events.push_back({path, (event->mask & IN_MODIFY) != 0 || madeFile});
        }
    }
}

std::map<fs::path, ContentWatcher::Seen> ContentWatcher::Look() const {
    std::map<fs::path, Seen> found;
    std::error_code error;
    for (fs::recursive_directory_iterator entry(root, error), end; !error && entry != end;
         entry.increment(error)) {
        struct stat status {};
        if (lstat(entry->path().c_str(), &status) != 0)
            continue;
        const bool folder = S_ISDIR(status.st_mode);
        if (Ignored(entry->path().filename().string())) {
            if (folder)
                entry.disable_recursion_pending();
            continue;
        }
        const auto written = fs::file_time_type(std::chrono::duration_cast<fs::file_time_type::duration>(
            std::chrono::seconds(status.st_mtim.tv_sec) + std::chrono::nanoseconds(status.st_mtim.tv_nsec)));
        found[entry->path()] = {written, folder ? 0 : static_cast<std::uintmax_t>(status.st_size), folder};
    }
    return found;
}

void ContentWatcher::Poll(std::vector<FileEvent>& events) {
    std::map<fs::path, Seen> now = Look();
    if (!std::exchange(looked, true)) {
        seen = std::move(now);
        return;
    }
    for (const auto& [path, entry] : now) {
        const auto before = seen.find(path);
        if (before == seen.end() || before->second.folder != entry.folder ||
            (!entry.folder && (before->second.written != entry.written || before->second.size != entry.size)))
            events.push_back({path, false});
    }
    for (const auto& [path, entry] : seen)
        if (now.count(path) == 0)
            events.push_back({path, false});
    seen = std::move(now);
}

} // namespace engine::live
