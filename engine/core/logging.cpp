#include "core/logging.h"

#include "core/textConversion.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
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

// The footer is written when the library is unloaded (or the process exits), whoever ends the run.
struct LogCloser {
    ~LogCloser() { delete Logging::Get(); }
} logCloser;

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

} // namespace

Logging::Logging() {
    std::error_code ignored;
    // A data folder that exists but cannot be written (installed under /usr, a read-only medium) sends
    // the log to the state folder; without a data folder at all the log is dropped, as it always was.
    const bool dataFolder = std::filesystem::is_directory(kDataFolder, ignored);
    if (dataFolder && access(kDataFolder, W_OK) == 0)
        stream.open(std::string(kDataFolder) + "/" + kLogName, std::ios::out | std::ios::trunc);
    if (dataFolder && !stream.is_open()) {
        const std::filesystem::path folder = StateFolder();
        if (!folder.empty()) {
            std::filesystem::create_directories(folder, ignored);
            const std::filesystem::path path = folder / kLogName;
            stream.open(path, std::ios::out | std::ios::trunc);
            if (stream.is_open())
                std::cerr << "The data folder cannot be written; the log is " << path.string() << "\n";
        }
    }
    for (const char* fragment : kHeader)
        stream << fragment;
}

Logging::~Logging() {
    stream << "</body></html>" << '\n';
    stream.flush();
    stream.close();
}

void Logging::Message(std::string text, std::string file, int line) {
    WriteRow(kMessageRow, text, file, line);
}

void Logging::Warning(std::string text, std::string file, int line) {
    WriteRow(kWarningRow, text, file, line);
}

void Logging::Error(std::string text, std::string file, int line) {
    WriteRow(kErrorRow, text, file, line);
    throw Exception(NarrowToWide(text), NarrowToWide(file) + L":" + std::to_wstring(line));
}

void Logging::WriteRow(const char* opening, const std::string& text, const std::string& file, int line) {
    // A capture writes its output on a thread of its own, which reports its failures here too.
    std::lock_guard<std::mutex> lock(rowMutex);
    // Rows are not flushed one by one: the file is complete once the footer is written.
    stream << opening << line << "</td><td>" << file << "</td><td>" << text << "</td></tr>\n";
}

} // namespace engine::core
