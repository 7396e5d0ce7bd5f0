// quorvel --watch: loads the content compiler's module (libtalvo_live.so, next to the program) and
// has the engine follow the content folder with it, so that a saved file shows in the running demo.
#pragma once

#include <string>

namespace quorvel {

// Call after the window exists and before the timeline loads its scenes. A module that cannot be
// loaded, or a folder that cannot be watched, throws engine::core::Exception.
void WatchContentFolder(const std::string& contentDir);

} // namespace quorvel
