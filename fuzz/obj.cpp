// Wavefront OBJ files of the content compiler: the importer (tinyobjloader underneath, then
// triangulation, computed normals and welding), then what the compiler does next: the mesh written as
// .tvo bytes, which the engine's reader must take back whole.
#include "content/content.h"
#include "fuzzSupport.h"
#include "resources/tvoReader.h"

#include <engine/exception.h>

#include <stdexcept>

using namespace quorvel::content;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = quorvel::fuzz::WriteScratchFile("fuzz.obj", data, size);
    MeshData mesh;
    ImportError error;
    if (!ImportObj(path, mesh, error)) {
        FUZZ_CHECK(!error.reason.empty());
        return 0;
    }
    FUZZ_CHECK(mesh.normals.size() == mesh.positions.size());
    FUZZ_CHECK(mesh.texCoords.empty() || mesh.texCoords.size() == mesh.positions.size());
    FUZZ_CHECK(mesh.indices.size() % 3 == 0);
    std::vector<std::uint8_t> tvo;
    try {
        tvo = EncodeTvo(mesh, 3, {"data/bark.png"});
    } catch (const std::invalid_argument&) {
        // Values that are no finite numbers: the compiler reports the file instead of writing it.
        return 0;
    }
    try {
        const engine::gfx::TVOData read = engine::gfx::ParseTVO(tvo, "fuzz.obj.tvo");
        FUZZ_CHECK(static_cast<std::size_t>(read.VertexCount()) == mesh.positions.size());
        FUZZ_CHECK(static_cast<std::size_t>(read.indexCount) == mesh.indices.size());
    } catch (const engine::core::Exception&) {
        FUZZ_CHECK(!"the engine refuses a mesh the content compiler wrote");
    }
    return 0;
}
