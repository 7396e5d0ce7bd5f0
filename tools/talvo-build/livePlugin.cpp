// The content compiler as a module that the demo program loads for live editing (quorvel --watch).
// The compiler is built on the engine's own readers, so the module carries a private copy of that
// engine code; it exports nothing but the entry below, so the copy never meets the engine the program
// runs, and the copy's log is opened at once in an empty folder (SilenceEngineLog), so that it cannot
// open, or at exit close over, the demo's data/log.html.
#include "liveBuild.h"
#include "materials.h"

#include <filesystem>
#include <vector>

namespace {

const bool logSilenced = (quorvel::build::SilenceEngineLog(), true);

} // namespace

// Builds contentDir into dataDir (quorvel::build::BuildForLiveEditing), in full when *changed is empty
// and otherwise what those content files reach, and stores the outcome in *build. C linkage, so the
// program finds it by name.
extern "C" __attribute__((visibility("default"))) void
QuorvelBuildContentChanges(const char* contentDir, const char* dataDir,
                           const std::vector<std::filesystem::path>* changed, engine::ContentBuild* build) {
    *build = quorvel::build::BuildForLiveEditing(contentDir, dataDir, *changed);
}
