#include "contentFile.h"

#include "sandbox.h"

namespace quorvel::build {

namespace fs = std::filesystem;

namespace {

bool Within(const fs::path& path, const fs::path& folder) {
    auto part = path.begin();
    for (const fs::path& step : folder) {
        if (step.empty())
            continue;
        if (part == path.end() || *part != step)
            return false;
        ++part;
    }
    return true;
}

} // namespace

std::optional<std::string> ContentFileProblem(const fs::path& contentRoot, const fs::path& file) {
    std::error_code error;
    if (!fs::exists(file, error))
        return std::nullopt;
    const fs::path resolved = fs::weakly_canonical(file, error);
    const fs::path folder = fs::weakly_canonical(contentRoot, error);
    if (error || !Within(resolved, folder))
        return file.string() + ": leads to " + resolved.string() +
               ", outside the content folder; links out of it are not followed";
    const std::uintmax_t size = fs::file_size(file, error);
    if (!error && size > kMaxContentFileBytes)
        return file.string() + ": is " + std::to_string(size) + " bytes, more than the " +
               std::to_string(kMaxContentFileBytes) + " a content file may hold; it was not read";
    return std::nullopt;
}

void CheckContentFile(const fs::path& contentRoot, const fs::path& file) {
    if (const std::optional<std::string> problem = ContentFileProblem(contentRoot, file))
        throw BuildError(*problem);
}

} // namespace quorvel::build
