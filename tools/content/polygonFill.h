// Fills a set of closed contours (a glyph's outline: outer shapes with holes, in any winding) with
// triangles, by ear clipping after joining each hole to the shape around it.
#pragma once

#include "content/content.h"

#include <cstdint>
#include <vector>

namespace quorvel::content {

// Contours nested inside an even number of others are shapes, the rest holes; a shape is filled less
// its holes. Each contour is first turned, where needed, so that the filled side lies on its left
// (shapes counter-clockwise, holes clockwise, x right and y up). Indices run over the turned
// contours' points in order, all of the first contour's, then the second's, and so on; every
// triangle runs counter-clockwise. A contour is expected
// without repeated or collinear neighbouring points. Every point of a shape and its holes is used and
// every triangle edge is either a contour edge or met once in each direction, so that the fill
// always closes up with a wall along the contours, whatever degenerate shape it is given.
std::vector<std::uint32_t> FillContours(std::vector<std::vector<Float2>>& contours);

// Twice the contour's area, positive when it runs counter-clockwise.
double SignedArea(const std::vector<Float2>& contour);

} // namespace quorvel::content
