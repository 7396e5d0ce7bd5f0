// The content compiler in the form live editing calls it (engine/live.h): a full build first, and
// after it only what the saved files reach (dependencyMap.h), the changed files written, and a fault
// returned as text instead of thrown.
#pragma once

#include <engine/live.h>

#include <filesystem>
#include <vector>

namespace quorvel::build {

// changed: the content files saved since the previous call; empty asks for a full build. The map of
// the last build that succeeded is kept between calls, with the files changed since, so a failed
// build's files are compiled again with the next save; a call for other folders builds in full.
engine::ContentBuild BuildForLiveEditing(const std::filesystem::path& contentDir,
                                         const std::filesystem::path& dataDir,
                                         const std::vector<std::filesystem::path>& changed = {});

} // namespace quorvel::build
