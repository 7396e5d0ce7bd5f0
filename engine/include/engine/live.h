// Live editing: the running demo follows its content folder. When a file there is saved, the content
// is compiled again into data/ and what changed is swapped into the engine at the top of the next
// pass: effect files, material scripts, the global curves, scene files, meshes and textures. A file
// that does not compile leaves the previous version drawing and the error in the log (a WARNING row),
// on standard error and in the window's title until the next successful reload.
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

// Compiles a whole content folder into a data folder, writing only the files whose bytes changed.
using ContentCompiler = std::function<ContentBuild(const std::filesystem::path& contentDir,
                                                   const std::filesystem::path& dataDir)>;

// Watches contentDir and its subfolders and keeps data/ and the running engine in step with it: a burst
// of saves within 200 ms makes one build, a file still open for writing is waited for, and a build that
// fails while files are still changing is tried again. Compiles once at once, so that data/ matches the
// content before the scenes load. Call after CreateTALVOWindow; a folder that cannot be watched throws
// Exception.
ENGINE_API void WatchContent(const std::filesystem::path& contentDir, ContentCompiler compiler);

// The first problem of the last build and reload, "file:line: message" as the window's title shows it;
// empty when it succeeded or none ran.
ENGINE_API std::string LiveEditingProblem();
// Builds run so far; 0 while live editing is off.
ENGINE_API int LiveEditingBuilds();

// How the program decorates the scene it loads from scenePath (its array modifiers and emitters), so
// that the scene loaded again after an edit gets them again. A later call for a path replaces the
// earlier one.
ENGINE_API void SetSceneDecorator(const std::wstring& scenePath,
                                  std::function<void(gfx::DemoLoader&)> decorate);

} // namespace engine
