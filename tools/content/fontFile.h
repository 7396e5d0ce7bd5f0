// A TrueType font as the text generator reads it: glyph outlines, advances and kerning through
// stb_truetype. stb_truetype trusts every offset in the file, so the constructor and each glyph
// lookup check first that whatever stb_truetype will touch lies inside the file and is well formed;
// a font that fails a check is refused with the reason, never handed on.
#pragma once

#include "content/content.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace quorvel::content {

// Fonts bigger than this are refused before they are parsed.
constexpr std::size_t kFontBytesLimit = std::size_t{16} << 20;

class FontFile {
public:
    // Throws std::invalid_argument naming what is wrong with the bytes.
    explicit FontFile(std::vector<std::uint8_t> bytes);
    ~FontFile();
    FontFile(const FontFile&) = delete;
    FontFile& operator=(const FontFile&) = delete;

    int UnitsPerEm() const { return unitsPerEm; }
    // Ascent minus descent plus the line gap, in font units.
    int LineHeight() const;
    // The glyph for a Unicode code point; 0 (the font's "missing" glyph) where the font has none.
    int Glyph(char32_t codepoint) const;
    // 0 for a glyph the font does not have.
    int Advance(int glyph) const;
    // The change of the advance between two glyphs set side by side.
    int Kerning(int left, int right) const;
    // The glyph's closed contours in font units, curves flattened so that no point of a curve lies
    // further than `tolerance` from its chords; the last point of a contour is not repeated.
    // Throws std::invalid_argument for a glyph whose data is broken or whose outline has more than
    // 4096 points.
    std::vector<std::vector<Float2>> Outline(int glyph, float tolerance) const;

private:
    // Extent of the glyph's coordinates after its components are placed (for the check that they fit
    // stb_truetype's 16-bit vertices); throws for broken data.
    int CheckGlyph(int glyph, int depth, int& pointBudget) const;
    std::uint32_t Table(const char tag[4], std::uint32_t& length) const;

    std::vector<std::uint8_t> data;
    struct Info;
    std::unique_ptr<Info> info;
    int unitsPerEm = 0;
    int glyphCount = 0;
    int longMetrics = 0;
    bool longOffsets = false;
    std::uint32_t locaOffset = 0, locaLength = 0, glyfOffset = 0, glyfLength = 0;
    std::uint32_t cmapSubtable = 0, cmapSubtableLength = 0;
    int cmapFormat = 0;
};

} // namespace quorvel::content
