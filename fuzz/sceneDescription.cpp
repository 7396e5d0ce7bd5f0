// Scene descriptions of the content compiler: the Lua description run in the build's sandbox against
// the shipped content folder (its effect files, material scripts and OBJ files), its result read into
// scene, mesh and texture files; then what the engine does with what the compiler made: every .demo
// and .tvo output goes through the engine's own reader, which must take it whole.
#include "build.h"
#include "curves.h"
#include "fuzzSupport.h"
#include "resources/tvoReader.h"
#include "scene/demoReader.h"

#include <engine/exception.h>

#include <stdexcept>

namespace fs = std::filesystem;
using namespace quorvel::build;

namespace {

std::set<std::string> ShippedCurveNames() {
    std::vector<std::string> names;
    CompileCurveFile(fs::path(QUORVEL_CONTENT_DIR) / "curves.lua", names);
    return {names.begin(), names.end()};
}

void CheckWithTheEngine(const Outputs& outputs) {
    for (const auto& [path, bytes] : outputs.Files()) {
        try {
            if (path.ends_with(".demo"))
                (void)engine::gfx::ParseDemo(bytes, path);
            else if (path.ends_with(".tvo"))
                (void)engine::gfx::ParseTVO(bytes, path);
        } catch (const engine::core::Exception&) {
            FUZZ_CHECK(!"the engine refuses a file the content compiler made");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::set<std::string> curves = ShippedCurveNames();
    // Named like the shipped scene, whose description must carry its file's name.
    const std::string path = quorvel::fuzz::WriteScratchFile("scene1.lua", data, size);
    MaterialCheck materials(fs::path(QUORVEL_CONTENT_DIR) / "fx", curves);
    Outputs outputs;
    NamedFiles named;
    ContentContext context{QUORVEL_CONTENT_DIR, materials, outputs, named};
    try {
        CompileScene(path, context);
    } catch (const BuildError&) {
        return 0;
    }
    CheckWithTheEngine(outputs);
    return 0;
}
