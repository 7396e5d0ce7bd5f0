#include "capture/temporaryOutput.h"

#include "core/logging.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <system_error>

namespace engine::capture {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const fs::path& path, const std::string& reason) {
    LOG_ERROR("Cannot write the capture to '" + path.string() + "': " + reason);
}

bool IsCaptureFile(const fs::directory_entry& entry) {
    static const std::regex frame("[0-9]{6,}\\.png");
    const std::string name = entry.path().filename().string();
    return entry.is_regular_file() && (name == kSoundFileName || std::regex_match(name, frame));
}

// Whether a folder holds nothing but an earlier capture's files (or nothing at all).
bool HoldsOnlyCaptureFiles(const fs::path& path) {
    std::error_code error;
    for (fs::directory_iterator entry(path, error), end; !error && entry != end; entry.increment(error))
        if (!IsCaptureFile(*entry))
            return false;
    return !error;
}

// Removes a file, or a folder that holds only capture files, that stands where the capture will write.
// Anything else is left alone and reported.
void Clear(const fs::path& path, const fs::path& reported) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(path, error);
    if (!fs::exists(status))
        return;
    if (fs::is_directory(status) && !HoldsOnlyCaptureFiles(path))
        Fail(reported, "'" + path.string() + "' holds other files than an earlier capture's");
    fs::remove_all(path, error);
    if (error)
        Fail(reported, error.message());
}

} // namespace

fs::path FrameFileName(long long frameNumber) {
    char name[32];
    std::snprintf(name, sizeof name, "%06lld.png", frameNumber);
    return name;
}

TemporaryOutput::TemporaryOutput(const fs::path& path, bool folder) : folder(folder) {
    // "frames/" names the folder "frames".
    finalPath = path.filename().empty() ? path.parent_path() : path;
    if (finalPath.empty())
        Fail(path, "no name given");
    temporary = finalPath;
    temporary += ".part";
    CheckFinalName();

    Clear(temporary, finalPath);
    if (folder) {
        std::error_code error;
        if (!fs::create_directory(temporary, error))
            Fail(finalPath, error.message());
        return;
    }
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr)
        Fail(finalPath, std::strerror(errno));
    std::fclose(file);
}

TemporaryOutput::~TemporaryOutput() {
    if (committed)
        return;
    std::error_code ignored;
    fs::remove_all(temporary, ignored);
}

void TemporaryOutput::CheckFinalName() const {
    std::error_code error;
    const fs::file_status status = fs::status(finalPath, error);
    if (!fs::exists(status))
        return;
    if (!folder) {
        if (fs::is_directory(status))
            Fail(finalPath, "a folder has that name");
        return;
    }
    if (!fs::is_directory(status))
        Fail(finalPath, "a file has that name");
    if (!HoldsOnlyCaptureFiles(finalPath))
        Fail(finalPath, "the folder holds other files than an earlier capture's");
}

void TemporaryOutput::Commit() {
    CheckFinalName();
    if (folder)
        Clear(finalPath, finalPath);
    std::error_code error;
    fs::rename(temporary, finalPath, error);
    if (error)
        Fail(finalPath, error.message());
    committed = true;
}

} // namespace engine::capture
