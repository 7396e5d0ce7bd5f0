#include "core/logging.h"

#include "core/textConversion.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <string_view>
#include <system_error>

namespace engine::core {

namespace {

const char* const kHeader[] = {
    "<html>\n<head>\n",
    "<style type=\"text/css\">\n",
    "body\n{\n\tfont-family: Verdana;\n}\ntr\n{\n\tfont-size: 70%;\n\tfont-weight: normal;\n}\n",
    "tr.warning\n{\n\tfont-size: 75%;\n\tcolor: rgb(100, 0, 0);\n}\ntr.error\n{\n\tfont-size: 80%;\n\tcolor: "
    "rgb(255, "
    "0, 0);\n}\n</style>\n",
    "<title>TALVO Log File</title>\n</head>\n<body>\n<table>\n",
    "<tr><td>Type</td><td>Line</td><td>File</td><td>Message</td></tr><tr><td><br /></td></tr>\n",
};

const char kMessageRow[] = "<tr><td>MESSAGE</td><td>";
const char kWarningRow[] = "<tr class=\"warning\"><td>WARNING</td><td>";
const char kErrorRow[] = "<tr class=\"error\"><td>ERROR</td><td>";
const char kFooter[] = "</body></html>\n";

// The footer is written when the library is unloaded (or the process exits), whoever ends the run.
struct LogCloser {
    ~LogCloser() { delete Logging::Get(); }
} logCloser;

// The open log's descriptor and the rows not yet written to it. Static, so that a fatal signal's handler
// can reach them without locks or allocation however far teardown has gone; only one log is open at a
// time. `length` counts whole rows only: a row is copied in before the length covers it.
struct PendingRows {
    std::atomic<int> fd{-1};
    std::atomic<std::size_t> length{0};
    char buffer[64 * 1024];
} pending;

// Writes all of data, as far as the file lets it. Async-signal-safe.
void WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

void WritePending(int fd) {
    WriteAll(fd, pending.buffer, pending.length.load());
    pending.length.store(0);
}

const int kFatalSignals[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGTERM, SIGINT};
struct sigaction previousActions[std::size(kFatalSignals)];

// Writes the buffered rows and the footer, then hands the signal to whatever handled it before (the
// default action, or a sanitizer's report). The first signal takes the descriptor, so the footer is
// written once even when several threads fault together.
// Lock-free, hence usable from a handler. 0: interrupts are fatal; 1: the next one is taken as a quit;
// 2: one was taken and not yet seen; 3: seen, so another one is fatal.
std::atomic<int> interruptState{0};
static_assert(std::atomic<int>::is_always_lock_free);

void OnFatalSignal(int signal, siginfo_t* info, void*) {
    if (signal == SIGINT || signal == SIGTERM) {
        int expected = 1;
        if (interruptState.compare_exchange_strong(expected, 2))
            return;
    }
    const int savedErrno = errno;
    const int fd = pending.fd.exchange(-1);
    if (fd >= 0) {
        WritePending(fd);
        WriteAll(fd, kFooter, sizeof kFooter - 1);
    }
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i)
        if (kFatalSignals[i] == signal)
            sigaction(signal, &previousActions[i], nullptr);
    // A fault raised by the processor comes again when the handler returns; a signal sent by kill or
    // raise has to be sent again. Blocked while this handler runs, it arrives on return.
    if (info == nullptr || info->si_code <= 0)
        raise(signal);
    errno = savedErrno;
}

// Leaves ignored signals ignored: a program started in the background or under nohup keeps that.
void InstallFatalSignalHandlers() {
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        struct sigaction current {};
        if (sigaction(kFatalSignals[i], nullptr, &current) != 0 || current.sa_handler == SIG_IGN)
            continue;
        struct sigaction action {};
        action.sa_sigaction = OnFatalSignal;
        action.sa_flags = SA_SIGINFO;
        // Another fatal signal while the rows are written waits until they are out.
        sigemptyset(&action.sa_mask);
        for (int other : kFatalSignals)
            sigaddset(&action.sa_mask, other);
        previousActions[i] = current;
        sigaction(kFatalSignals[i], &action, nullptr);
    }
}

const char kDataFolder[] = "data";
const char kLogName[] = "log.html";

// The folder for logs of a data folder that cannot be written: $XDG_STATE_HOME/quorvel, or
// ~/.local/state/quorvel. The basedir rules ignore a relative XDG_STATE_HOME. Empty without either.
std::filesystem::path StateFolder() {
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && std::filesystem::path(state).is_absolute())
        return std::filesystem::path(state) / "quorvel";
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0')
        return std::filesystem::path(home) / ".local" / "state" / "quorvel";
    return {};
}

int OpenLog(const std::filesystem::path& path) {
    return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

// Adds text to the buffered rows, writing them out first where it would not fit. Called under the
// log's lock.
void Append(std::string_view text) {
    const int fd = pending.fd.load();
    if (fd < 0)
        return;
    std::size_t length = pending.length.load();
    if (length + text.size() > sizeof pending.buffer) {
        WritePending(fd);
        length = 0;
    }
    if (text.size() > sizeof pending.buffer) {
        WriteAll(fd, text.data(), text.size());
        return;
    }
    std::memcpy(pending.buffer + length, text.data(), text.size());
    pending.length.store(length + text.size());
}

} // namespace

void Logging::TakeInterruptsAsQuit() {
    int expected = 0;
    interruptState.compare_exchange_strong(expected, 1);
}

bool Logging::TakeInterrupt() {
    int expected = 2;
    return interruptState.compare_exchange_strong(expected, 3);
}

Logging::Logging() {
    static std::once_flag handlersInstalled;
    std::call_once(handlersInstalled, InstallFatalSignalHandlers);

    std::error_code ignored;
    // A data folder that exists but cannot be written (installed under /usr, a read-only medium) sends
    // the log to the state folder; without a data folder at all the log is dropped, as it always was.
    const bool dataFolder = std::filesystem::is_directory(kDataFolder, ignored);
    int fd = -1;
    if (dataFolder && access(kDataFolder, W_OK) == 0)
        fd = OpenLog(std::string(kDataFolder) + "/" + kLogName);
    if (dataFolder && fd < 0) {
        const std::filesystem::path folder = StateFolder();
        if (!folder.empty()) {
            std::filesystem::create_directories(folder, ignored);
            const std::filesystem::path path = folder / kLogName;
            fd = OpenLog(path);
            if (fd >= 0)
                std::cerr << "The data folder cannot be written; the log is " << path.string() << "\n";
        }
    }
    std::lock_guard<std::mutex> lock(rowMutex);
    pending.length.store(0);
    pending.fd.store(fd);
    for (const char* fragment : kHeader)
        Append(fragment);
}

Logging::~Logging() {
    std::lock_guard<std::mutex> lock(rowMutex);
    const int fd = pending.fd.exchange(-1);
    if (fd < 0)
        return;
    WritePending(fd);
    WriteAll(fd, kFooter, sizeof kFooter - 1);
    close(fd);
}

void Logging::Message(std::string text, std::string file, int line) {
    WriteRow(kMessageRow, text, file, line, false);
}

// A warning or an error may be the last thing a process says before something kills it that no handler
// sees (SIGKILL, a power cut), so they are written out at once with everything before them.
void Logging::Warning(std::string text, std::string file, int line) {
    WriteRow(kWarningRow, text, file, line, true);
}

void Logging::Error(std::string text, std::string file, int line) {
    WriteRow(kErrorRow, text, file, line, true);
    throw Exception(NarrowToWide(text), NarrowToWide(file) + L":" + std::to_wstring(line));
}

void Logging::WriteRow(const char* opening, const std::string& text, const std::string& file, int line,
                       bool flush) {
    const std::string row =
        opening + std::to_string(line) + "</td><td>" + file + "</td><td>" + text + "</td></tr>\n";
    // A capture writes its output on a thread of its own, which reports its failures here too.
    std::lock_guard<std::mutex> lock(rowMutex);
    Append(row);
    const int fd = pending.fd.load();
    if (flush && fd >= 0)
        WritePending(fd);
}

} // namespace engine::core
