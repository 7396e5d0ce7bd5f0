#include "liveBuild.h"

#include "build.h"

namespace quorvel::build {

engine::ContentBuild BuildForLiveEditing(const std::filesystem::path& contentDir,
                                         const std::filesystem::path& dataDir) {
    engine::ContentBuild build;
    try {
        const Outputs outputs = CompileContent(contentDir);
        for (const std::string& path : WriteOutputs(outputs, dataDir))
            build.written.push_back({path, outputs.SourceOf(path)});
    } catch (const std::exception& error) {
        build.error = error.what();
    }
    return build;
}

} // namespace quorvel::build
