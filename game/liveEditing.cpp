#include "liveEditing.h"

#include <engine/engine.h>

#include <dlfcn.h>

#include <filesystem>
#include <vector>

namespace quorvel {

namespace {

namespace fs = std::filesystem;

using BuildContent = void (*)(const char* contentDir, const char* dataDir,
                              const std::vector<fs::path>* changed, engine::ContentBuild* build);

const wchar_t kWhere[] = L"game/liveEditing.cpp";

[[noreturn]] void Fail(const std::string& text) {
    throw engine::core::Exception(std::wstring(text.begin(), text.end()), kWhere);
}

// Loaded once and kept for the life of the process: the engine calls into it until the end.
BuildContent LoadCompiler() {
    // Found on the program's run path: beside it in a build folder, in its library folder installed.
    const std::string module = "libtalvo_live.so";
    void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr)
        Fail(std::string("Live editing needs the content compiler's module: ") + dlerror());
    auto build = reinterpret_cast<BuildContent>(dlsym(handle, "QuorvelBuildContentChanges"));
    if (build == nullptr)
        Fail(module + " is not the content compiler's module");
    return build;
}

} // namespace

void WatchContentFolder(const std::string& contentDir) {
    const BuildContent build = LoadCompiler();
    engine::WatchContent(contentDir, [build](const fs::path& content, const fs::path& data,
                                             const std::vector<fs::path>& changed) {
        engine::ContentBuild result;
        build(content.c_str(), data.c_str(), &changed, &result);
        return result;
    });
}

} // namespace quorvel
