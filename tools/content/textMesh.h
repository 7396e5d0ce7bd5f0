// 3D type: a string set in a TrueType font, each letter's outline filled front and back and joined by
// walls, with flat or bevelled edges.
#pragma once

#include "content/content.h"
#include "fontFile.h"

#include <string>

namespace quorvel::content {

enum class TextAlign { Left, Centre, Right };

struct TextLayout {
    float size = 1; // the em, in scene units
    float depth = 0.2f;
    float bevel = 0; // how far the front and back edges are cut back at 45 degrees; 0 gives flat sides
    TextAlign align = TextAlign::Left;
    bool kerning = true;
    float lineSpacing = 1; // times the font's line height, between lines of a string with "\n"
};

// The text lies in the XY plane reading along +x, the first line's baseline on y = 0, aligned about
// x = 0, from z = -depth/2 (its front, facing -Z) to z = depth/2. Letters are smooth-shaded along
// their curves and hard-edged at corners. Texture coordinates run 0..1 over the whole text on the
// faces and around each contour and through the depth on the sides.
// Throws std::invalid_argument for a string that is not UTF-8 or holds a character the font lacks, a
// size or depth that is not a positive number, a bevel that is negative or half the depth or more,
// and for broken glyph data.
MeshData TextMesh(const FontFile& font, const std::string& utf8, const TextLayout& layout);

} // namespace quorvel::content
