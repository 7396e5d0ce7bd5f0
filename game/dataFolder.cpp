#include "dataFolder.h"

#include <unistd.h>

#include <ostream>
#include <system_error>

namespace quorvel {

namespace fs = std::filesystem;

namespace {

// The name the content gives the folder in every path it holds ("data/fx/glow.fx").
const char kDataName[] = "data";

void MakeAbsolute(std::optional<std::string>& path) {
    if (path)
        *path = fs::absolute(*path).string();
}

} // namespace

fs::path ProgramFolder() {
    return fs::read_symlink("/proc/self/exe").parent_path();
}

bool EnterDataFolder(LaunchOptions& options, const fs::path& programFolder, std::ostream& err) {
    std::error_code error;
    fs::path data;
    if (options.dataFolder) {
        data = fs::absolute(*options.dataFolder).lexically_normal();
        if (!data.has_filename())
            data = data.parent_path();
        if (!fs::is_directory(data, error)) {
            err << "quorvel: --data: '" << *options.dataFolder << "' is not a folder\n";
            return false;
        }
        if (data.filename() != kDataName) {
            err << "quorvel: --data: the folder must be named data, as the demo's files name one another "
                   "data/...; got '"
                << *options.dataFolder << "'\n";
            return false;
        }
    } else {
        const fs::path beside = programFolder / kDataName;
        const fs::path installed = programFolder / ".." / "share" / "quorvel" / kDataName;
        if (fs::is_directory(beside, error)) {
            data = beside;
        } else if (fs::is_directory(installed, error)) {
            data = fs::canonical(installed, error);
        } else {
            err << "quorvel: no data folder: neither " << beside.string() << " nor "
                << installed.lexically_normal().string() << " exists; give --data DIR\n";
            return false;
        }
    }
    // Live editing writes the rebuilt content into the data folder; an installed one stays as shipped.
    if (options.watchFolder && access(data.c_str(), W_OK) != 0) {
        err << "quorvel: --watch rebuilds the data folder, and " << data.string()
            << " cannot be written: copy it somewhere writable and give --data\n";
        return false;
    }
    MakeAbsolute(options.captureOutput);
    MakeAbsolute(options.jsonPath);
    MakeAbsolute(options.watchFolder);
    MakeAbsolute(options.joinOutput);
    for (std::string& part : options.joinParts)
        part = fs::absolute(part).string();
    fs::current_path(data.parent_path(), error);
    if (error) {
        err << "quorvel: cannot work from " << data.parent_path().string() << ": " << error.message() << "\n";
        return false;
    }
    return true;
}

} // namespace quorvel
