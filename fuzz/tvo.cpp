// .tvo meshes: the engine's chunk reader, then what the mesh resource does with its result: the
// material's texture slots, one interleaved record per vertex, and every index read back and used to
// address the vertex records, as the device does when it draws. The dump tool's describer reads the
// same bytes.
#include "formats/tvoDescribe.h"
#include "fuzzSupport.h"
#include "resources/tvoReader.h"

#include <engine/exception.h>

#include <span>

using engine::gfx::TVOData;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    (void)quorvel::formats::DescribeTVO(bytes);
    TVOData mesh;
    try {
        mesh = engine::gfx::ParseTVO(bytes, "fuzz.tvo");
    } catch (const engine::core::Exception&) {
        return 0;
    }
    FUZZ_CHECK(mesh.builtinEffect >= 0 && mesh.builtinEffect <= 3);
    FUZZ_CHECK(mesh.textureNames.size() <= 7);
    FUZZ_CHECK(mesh.indexSize == 2 || mesh.indexSize == 4);
    FUZZ_CHECK(mesh.indices.size() == static_cast<std::size_t>(mesh.indexCount) * mesh.indexSize);
    const auto vertices = static_cast<std::size_t>(mesh.VertexCount());
    if (mesh.positions && mesh.normals)
        FUZZ_CHECK(mesh.normals->size() == vertices);
    if (mesh.positions && mesh.texCoords)
        FUZZ_CHECK(mesh.texCoords->size() == vertices);
    float sum = 0.0f;
    for (int i = 0; i < mesh.indexCount; ++i) {
        const std::uint32_t index = mesh.Index(i);
        FUZZ_CHECK(index < vertices);
        sum += (*mesh.positions)[index].x;
        if (mesh.normals)
            sum += (*mesh.normals)[index].y;
        if (mesh.texCoords)
            sum += (*mesh.texCoords)[index].v;
    }
    volatile float sink = sum;
    (void)sink;
    return 0;
}
