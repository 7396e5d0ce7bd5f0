#include "live/saveBatcher.h"

#include <utility>

namespace engine::live {

void SaveBatcher::Note(const std::string& path, bool stillWriting, double now) {
    changed.insert(path);
    if (stillWriting)
        open.insert(path);
    else
        open.erase(path);
    lastEvent = now;
}

bool SaveBatcher::Due(double now) const {
    if (changed.empty())
        return false;
    const double quiet = now - lastEvent;
    return open.empty() ? quiet >= kSettleSeconds : quiet >= kOpenPatienceSeconds;
}

std::set<std::string> SaveBatcher::Take() {
    open.clear();
    return std::exchange(changed, {});
}

} // namespace engine::live
