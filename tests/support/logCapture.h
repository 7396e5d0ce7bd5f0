// Test helpers: run code with the log written into a fresh temporary folder and read back what it
// wrote, and record the message boxes the engine asks for instead of showing them.
#pragma once

#include "core/logging.h"
#include "core/textConversion.h"
#include "platform/messageBox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace quorvel::test {

inline int CountRows(const std::string& log, const std::string& level, const std::string& text);

// Moves the process into an empty temporary folder that has a data/ subfolder, with a new log.
class ScopedLogDirectory {
public:
    ScopedLogDirectory() : previous(std::filesystem::current_path()) {
        char pattern[] = "/tmp/quorvel-test-XXXXXX";
        root = mkdtemp(pattern);
        std::filesystem::create_directory(root / "data");
        std::filesystem::current_path(root);
        // A log still open from earlier work belongs to another folder: close it there.
        if (engine::core::Logging::mInstance != nullptr)
            delete engine::core::Logging::mInstance;
    }
    ~ScopedLogDirectory() {
        delete engine::core::Logging::mInstance;
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(root);
    }
    ScopedLogDirectory(const ScopedLogDirectory&) = delete;
    ScopedLogDirectory& operator=(const ScopedLogDirectory&) = delete;

    const std::filesystem::path& Root() const { return root; }

    // Runs work, which must end in the engine's exception; closes the log, checks that exactly one
    // ERROR row carries the exception's text, and returns that text.
    template <typename Work>
    std::string ExpectError(Work work) {
        std::string text;
        try {
            work();
            ADD_FAILURE() << "the work did not fail";
        } catch (const engine::core::Exception& e) {
            text = engine::core::WideToNarrow(e.GetText());
        }
        EXPECT_EQ(CountRows(CloseAndRead(), "ERROR", text), 1) << text;
        return text;
    }

    // Writes the footer by closing the log, then returns the whole file.
    std::string CloseAndRead() {
        delete engine::core::Logging::mInstance;
        std::ifstream in(root / "data" / "log.html", std::ios::binary);
        std::stringstream content;
        content << in.rdbuf();
        return content.str();
    }

private:
    std::filesystem::path previous;
    std::filesystem::path root;
};

struct ShownBox {
    std::wstring text;
    std::wstring caption;
    engine::platform::MessageBoxOwner owner;
};

// Records every message box for its lifetime.
class MessageBoxCapture {
public:
    MessageBoxCapture() {
        engine::platform::SetMessageBoxHandler([this](const std::wstring& text, const std::wstring& caption,
                                                      engine::platform::MessageBoxOwner owner) {
            boxes.push_back({text, caption, owner});
        });
    }
    ~MessageBoxCapture() { engine::platform::SetMessageBoxHandler({}); }
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    std::vector<ShownBox> boxes;
};

// Counts the rows of a level ("MESSAGE", "WARNING", "ERROR") whose message is exactly text.
inline int CountRows(const std::string& log, const std::string& level, const std::string& text) {
    int count = 0;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (line.find("<td>" + level + "</td>") != std::string::npos &&
            line.find("</td><td>" + text + "</td></tr>") != std::string::npos)
            ++count;
    return count;
}

// The message texts of the rows of one level ("MESSAGE", "WARNING", "ERROR"), in order.
inline std::vector<std::string> Rows(const std::string& log, const std::string& level) {
    std::vector<std::string> rows;
    std::istringstream lines(log);
    const std::string end = "</td></tr>";
    for (std::string line; std::getline(lines, line);) {
        if (line.find("<td>" + level + "</td>") == std::string::npos || line.size() < end.size())
            continue;
        const std::string cells = line.substr(0, line.size() - end.size());
        rows.push_back(cells.substr(cells.rfind("<td>") + 4));
    }
    return rows;
}

// How many of the rows are exactly text.
inline int Count(const std::vector<std::string>& rows, const std::string& text) {
    return static_cast<int>(std::count(rows.begin(), rows.end(), text));
}

} // namespace quorvel::test
