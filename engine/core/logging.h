// The HTML log "data/log.html" (or log.html in the state folder when data/ cannot be written). Messages and
// warnings append a row; an error appends its row and throws Exception at once, so reporting a failure and
// raising it are one act. Use the macros, which pass the caller's file and line. Warnings and errors reach
// the file at once; messages wait in a buffer, which a fatal signal (a crash, an abort, a kill) writes out
// together with the footer before the signal takes its course.
#pragma once

#include <engine/exception.h>
#include <engine/singleton.h>

#include <mutex>
#include <string>

namespace engine::core {

class Logging : public pattern::Singleton<Logging> {
public:
    // Opens (truncating) data/log.html and writes the header. Where data/ exists but cannot be written,
    // opens $XDG_STATE_HOME/quorvel/log.html (~/.local/state/... by default) and says so once on
    // standard error. Without a data folder every write is silently dropped, but Error still throws.
    Logging();
    // Writes what is buffered and the footer, and closes the file.
    ~Logging() override;

    void Message(std::string text, std::string file, int line);
    void Warning(std::string text, std::string file, int line);
    [[noreturn]] void Error(std::string text, std::string file, int line);

    // From the first call on, a first SIGINT or SIGTERM is not fatal: it is kept for
    // TakeInterrupt, so that a program with a message loop ends as if its window were closed (a
    // capture stopped with Ctrl+C still finishes its file). A second one ends the process as before.
    static void TakeInterruptsAsQuit();
    // Whether an interrupt arrived since the last call.
    static bool TakeInterrupt();

private:
    void WriteRow(const char* opening, const std::string& text, const std::string& file, int line,
                  bool flush);

    std::mutex rowMutex;
};

} // namespace engine::core

#define LOG_MESSAGE(text) ::engine::core::Logging::Get()->Message((text), __FILE__, __LINE__)
#define LOG_WARNING(text) ::engine::core::Logging::Get()->Warning((text), __FILE__, __LINE__)
#define LOG_ERROR(text) ::engine::core::Logging::Get()->Error((text), __FILE__, __LINE__)
