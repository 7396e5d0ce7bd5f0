#include "liveBuild.h"

#include "build.h"

#include <optional>

namespace quorvel::build {

namespace {

namespace fs = std::filesystem;

struct LastBuild {
    fs::path contentDir;
    fs::path dataDir;
    // Empty until a full build succeeds.
    std::optional<DependencyMap> map;
    std::vector<fs::path> changedSince;
};

LastBuild& Last() {
    static LastBuild last;
    return last;
}

} // namespace

engine::ContentBuild BuildForLiveEditing(const fs::path& contentDir, const fs::path& dataDir,
                                         const std::vector<fs::path>& changed) {
    LastBuild& last = Last();
    if (changed.empty() || last.contentDir != contentDir || last.dataDir != dataDir)
        last = {contentDir, dataDir, std::nullopt, {}};
    last.changedSince.insert(last.changedSince.end(), changed.begin(), changed.end());

    engine::ContentBuild build;
    try {
        DependencyMap map;
        std::optional<Outputs> outputs;
        if (last.map)
            outputs = CompileChanges(*last.map, last.changedSince, map);
        if (!outputs)
            outputs = CompileContent(contentDir, &map);
        for (const std::string& path : WriteOutputs(*outputs, dataDir))
            build.written.push_back({path, outputs->SourceOf(path)});
        last.map = std::move(map);
        last.changedSince.clear();
    } catch (const std::exception& error) {
        build.error = error.what();
    }
    return build;
}

} // namespace quorvel::build
