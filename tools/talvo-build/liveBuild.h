// The content compiler in the form live editing calls it (engine/live.h): the whole content folder
// compiled in memory, the changed files written, and a fault returned as text instead of thrown.
#pragma once

#include <engine/live.h>

#include <filesystem>

namespace quorvel::build {

engine::ContentBuild BuildForLiveEditing(const std::filesystem::path& contentDir,
                                         const std::filesystem::path& dataDir);

} // namespace quorvel::build
