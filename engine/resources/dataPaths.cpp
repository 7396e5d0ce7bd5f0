#include "resources/dataPaths.h"

#include <vector>

namespace engine::core {

namespace {

// The parts of a name between its slashes, leaving out the empty ones ("//") and ".", which stay in
// place.
std::vector<std::string_view> Parts(std::string_view name) {
    std::vector<std::string_view> parts;
    while (!name.empty()) {
        const std::size_t slash = name.find('/');
        const std::string_view part = name.substr(0, slash);
        if (!part.empty() && part != ".")
            parts.push_back(part);
        name = slash == std::string_view::npos ? std::string_view() : name.substr(slash + 1);
    }
    return parts;
}

// How deep the parts from `first` on lead below their folder; -1 as soon as they climb above it.
int DepthBelow(const std::vector<std::string_view>& parts, std::size_t first) {
    int depth = 0;
    for (std::size_t i = first; i < parts.size(); ++i) {
        depth += parts[i] == ".." ? -1 : 1;
        if (depth < 0)
            return -1;
    }
    return depth;
}

bool IsAbsolute(std::string_view name) {
    return !name.empty() && name.front() == '/';
}

} // namespace

bool StaysInsideFolder(std::string_view name) {
    return !IsAbsolute(name) && DepthBelow(Parts(name), 0) >= 0;
}

bool LiesInDataFolder(std::string_view path) {
    if (IsAbsolute(path))
        return false;
    const std::vector<std::string_view> parts = Parts(path);
    // Something inside the folder, not the folder itself.
    return !parts.empty() && parts.front() == kDataFolder && DepthBelow(parts, 1) > 0;
}

} // namespace engine::core
