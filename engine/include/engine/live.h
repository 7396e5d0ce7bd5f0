// Live editing: the running demo follows its content folder. When a file there is saved, what the saved
// files reach is compiled again into data/ and what changed is swapped into the engine at the top of
// the next pass: effect files, material scripts, the global curves, scene files, meshes, textures and
// the music, which plays on from the same sample. A file that does not compile leaves the previous
// version in use and the error in the log (a WARNING row), on standard error and in the window's title
// until the next successful reload.
#pragma once

#include <engine/export.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace engine::gfx {
class DemoLoader;
} // namespace engine::gfx

namespace engine {

// A file a build wrote, as a path inside the data folder ("fx/glow.fx"), with the content file it was
// made from ("content/fx/glow.fx").
struct BuiltFile {
    std::string path;
    std::string source;
};

struct ContentBuild {
    // Empty when the build succeeded; otherwise "file:line: message" (or "file: message").
    std::string error;
    // The files the build changed; a failed build changes none.
    std::vector<BuiltFile> written;
};

// Compiles a content folder into a data folder, writing only the files whose bytes changed. changed:
// the content files saved since the previous call (paths under contentDir), of which only what they
// reach needs compiling again; empty asks for a full build.
using ContentCompiler =
    std::function<ContentBuild(const std::filesystem::path& contentDir, const std::filesystem::path& dataDir,
                               const std::vector<std::filesystem::path>& changed)>;

// Watches contentDir and its subfolders and keeps data/ and the running engine in step with it: the
// build starts once every file saved has been closed by its writer (or moved into place) and no other
// event came for a moment (SaveBatcher), so a burst of saves makes one build, a file still open for
// writing is waited for, and a build that fails while files are still changing is tried again.
// Compiles everything once at once, so that data/ matches the content before the scenes load. Call
// after CreateTALVOWindow; a folder that cannot be watched throws Exception.
ENGINE_API void WatchContent(const std::filesystem::path& contentDir, ContentCompiler compiler);

// How the program decorates the scene it loads from scenePath (its array modifiers and emitters), so
// that the scene loaded again after an edit gets them again. A later call for a path replaces the
// earlier one.
ENGINE_API void SetSceneDecorator(const std::wstring& scenePath,
                                  std::function<void(gfx::DemoLoader&)> decorate);

// The first problem of the last build and reload, as the window's title shows it ("file:line:
// message"); empty when it succeeded, when none ran, or when live editing is off.
ENGINE_API std::string LiveEditingProblem();

// Builds run so far, the first full one included; 0 when live editing is off.
ENGINE_API int LiveEditingBuilds();

} // namespace engine
