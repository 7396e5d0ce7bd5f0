// TrueType fonts of the content compiler: the checks that stand before stb_truetype, the character
// map, kerning and glyph outlines (composite glyphs included, by index as well as through the
// character map), then the type the text generator makes of them, flat and bevelled.
#include "content/textMesh.h"
#include "fuzzSupport.h"

#include <optional>
#include <stdexcept>

using namespace quorvel::content;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::optional<FontFile> font;
    try {
        font.emplace(std::vector<std::uint8_t>(data, data + size));
    } catch (const std::invalid_argument& fault) {
        FUZZ_CHECK(fault.what()[0] != '\0');
        return 0;
    }
    FUZZ_CHECK(font->UnitsPerEm() > 0);
    for (int glyph = 0; glyph < 16; ++glyph) {
        try {
            for (const std::vector<Float2>& contour : font->Outline(glyph, 2.0f))
                FUZZ_CHECK(contour.size() >= 3);
        } catch (const std::invalid_argument&) {
            // A broken glyph is refused on its own; the font's other glyphs stay usable.
        }
        font->Advance(glyph);
        font->Kerning(glyph, font->Glyph(U'V'));
    }
    for (float bevel : {0.0f, 0.05f}) {
        try {
            const MeshData mesh = TextMesh(*font, "AVBA\nVAB", {1, 0.2f, bevel, TextAlign::Centre});
            FUZZ_CHECK(mesh.normals.size() == mesh.positions.size());
            FUZZ_CHECK(mesh.texCoords.size() == mesh.positions.size());
            FUZZ_CHECK(mesh.indices.size() % 3 == 0);
            for (std::uint32_t index : mesh.indices)
                FUZZ_CHECK(index < mesh.positions.size());
        } catch (const std::invalid_argument&) {
        }
    }
    return 0;
}
