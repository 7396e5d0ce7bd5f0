#include "fontFile.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <string>
#include <utility>

#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#include <stb_truetype.h>
#pragma GCC diagnostic pop

namespace quorvel::content {

struct FontFile::Info {
    stbtt_fontinfo font{};
};

namespace {

[[noreturn]] void Refuse(const std::string& reason) {
    throw std::invalid_argument(reason);
}

// Composite glyphs may nest this deep and place this many points and components in all, and an
// outline may have this many points once its curves are flattened: enough for any real font, and a
// bound on the work a hostile one can ask for.
constexpr int kCompositeDepthLimit = 8;
constexpr int kGlyphPointLimit = 1 << 16;
constexpr std::size_t kOutlinePointLimit = 4096;
// stb_truetype keeps coordinates in 16 bits; a placed component must stay inside them.
constexpr double kCoordinateLimit = 32000;

class Reader {
public:
    explicit Reader(const std::vector<std::uint8_t>& data) : data(data) {}

    bool Has(std::uint64_t offset, std::uint64_t length) const { return offset + length <= data.size(); }
    void Need(std::uint64_t offset, std::uint64_t length, const char* what) const {
        if (!Has(offset, length))
            Refuse(std::string(what) + " runs past the end of the file");
    }
    std::uint8_t U8(std::uint64_t at) const { return data[at]; }
    std::uint16_t U16(std::uint64_t at) const {
        return static_cast<std::uint16_t>(data[at] << 8 | data[at + 1]);
    }
    std::int16_t S16(std::uint64_t at) const { return static_cast<std::int16_t>(U16(at)); }
    std::uint32_t U32(std::uint64_t at) const { return std::uint32_t{U16(at)} << 16 | U16(at + 2); }

private:
    const std::vector<std::uint8_t>& data;
};

} // namespace

std::uint32_t FontFile::Table(const char tag[4], std::uint32_t& length) const {
    const Reader read(data);
    const int tables = read.U16(4);
    // The first table of a tag counts, as stb_truetype takes it.
    for (int i = 0; i < tables; ++i) {
        const std::uint64_t record = 12 + 16 * static_cast<std::uint64_t>(i);
        if (std::memcmp(&data[record], tag, 4) == 0) {
            length = read.U32(record + 12);
            return read.U32(record + 8);
        }
    }
    length = 0;
    return 0;
}

FontFile::FontFile(std::vector<std::uint8_t> bytes) : data(std::move(bytes)), info(std::make_unique<Info>()) {
    if (data.size() > kFontBytesLimit)
        Refuse("a font may have at most " + std::to_string(kFontBytesLimit >> 20) + " MiB");
    const Reader read(data);
    read.Need(0, 12, "the font's header");
    const std::uint32_t version = read.U32(0);
    if (version != 0x00010000 && version != 0x74727565) // 1.0, or "true"
        Refuse("not a TrueType font (no TrueType header)");
    const int tables = read.U16(4);
    read.Need(12, 16 * static_cast<std::uint64_t>(tables), "the table directory");
    for (int i = 0; i < tables; ++i) {
        const std::uint64_t record = 12 + 16 * static_cast<std::uint64_t>(i);
        read.Need(read.U32(record + 8), read.U32(record + 12), "a table");
    }

    struct Required {
        const char* tag;
        std::uint32_t minimum;
        std::uint32_t offset = 0, length = 0;
    };
    Required head{"head", 54}, hhea{"hhea", 36}, maxp{"maxp", 6}, hmtx{"hmtx", 0}, cmap{"cmap", 4},
        loca{"loca", 0}, glyf{"glyf", 0};
    for (Required* table : {&head, &hhea, &maxp, &hmtx, &cmap, &loca, &glyf}) {
        table->offset = Table(table->tag, table->length);
        // stb_truetype takes an offset of 0 for a missing table.
        if (table->offset == 0)
            Refuse(std::string("the font has no ") + table->tag + " table (only TrueType outlines are read)");
        if (table->length < table->minimum)
            Refuse(std::string("the ") + table->tag + " table is too short");
    }

    unitsPerEm = read.U16(head.offset + 18);
    if (unitsPerEm < 16 || unitsPerEm > 16384)
        Refuse("units per em must be 16 to 16384, not " + std::to_string(unitsPerEm));
    const int locFormat = read.U16(head.offset + 50);
    if (locFormat > 1)
        Refuse("unknown glyph location format " + std::to_string(locFormat));
    longOffsets = locFormat == 1;
    glyphCount = read.U16(maxp.offset + 4);
    if (glyphCount == 0)
        Refuse("the font has no glyphs");
    longMetrics = read.U16(hhea.offset + 34);
    if (longMetrics < 1 || longMetrics > glyphCount)
        Refuse("the horizontal metrics count " + std::to_string(longMetrics) + " does not fit the " +
               std::to_string(glyphCount) + " glyphs");
    if (hmtx.length < 4u * longMetrics + 2u * (glyphCount - longMetrics))
        Refuse("the hmtx table is too short for the glyphs");
    locaOffset = loca.offset;
    locaLength = loca.length;
    glyfOffset = glyf.offset;
    glyfLength = glyf.length;
    if (locaLength < static_cast<std::uint32_t>(glyphCount + 1) * (longOffsets ? 4u : 2u))
        Refuse("the loca table is too short for the glyphs");

    // The character map: the Unicode subtable of format 12 where there is one, else of format 4.
    const int maps = read.U16(cmap.offset + 2);
    if (cmap.length < 4u + 8u * maps)
        Refuse("the cmap table is too short for its subtables");
    bool unicode = false;
    for (int i = 0; i < maps; ++i) {
        const std::uint32_t record = cmap.offset + 4 + 8 * i;
        const int platform = read.U16(record), encoding = read.U16(record + 2);
        if (!(platform == 0 || (platform == 3 && (encoding == 1 || encoding == 10))))
            continue;
        unicode = true;
        const std::uint32_t at = read.U32(record + 4);
        if (std::uint64_t{at} + 8 > cmap.length)
            continue;
        const int format = read.U16(cmap.offset + at);
        const std::uint32_t length =
            format == 12 ? read.U32(cmap.offset + at + 4) : read.U16(cmap.offset + at + 2);
        if ((format != 4 && format != 12) || length > cmap.length - at || format <= cmapFormat)
            continue;
        if (format == 4 && (length < 16 || length < 16u + 4u * (read.U16(cmap.offset + at + 6) & ~1u)))
            continue;
        if (format == 12 && (length < 16 || (length - 16) / 12 < read.U32(cmap.offset + at + 12)))
            continue;
        cmapFormat = format;
        cmapSubtable = cmap.offset + at;
        cmapSubtableLength = length;
    }
    if (!unicode)
        Refuse("the font has no Unicode character map");
    if (cmapFormat == 0)
        Refuse("the font's Unicode character map is broken or of a format other than 4 or 12");

    std::uint32_t kernLength = 0;
    const std::uint32_t kern = Table("kern", kernLength);
    // What stb_truetype reads of it: the table count, the first table's coverage and its pairs.
    if (kern != 0 &&
        (kernLength < 4 || (read.U16(kern + 2) >= 1 && kernLength < 12) ||
         (read.U16(kern + 2) >= 1 && read.U16(kern + 8) == 1 && 18u + 6u * read.U16(kern + 10) > kernLength)))
        Refuse("the kern table runs past its end");

    if (!stbtt_InitFont(&info->font, data.data(), 0))
        Refuse("stb_truetype does not take the font");
    // Kerning comes from the kern table alone: its pairs are checked above, a GPOS table's are not.
    info->font.gpos = 0;
}

FontFile::~FontFile() = default;

int FontFile::LineHeight() const {
    int ascent = 0, descent = 0, gap = 0;
    stbtt_GetFontVMetrics(&info->font, &ascent, &descent, &gap);
    return ascent - descent + gap;
}

int FontFile::Glyph(char32_t codepoint) const {
    const Reader read(data);
    const std::uint32_t table = cmapSubtable;
    std::uint32_t glyph = 0;
    if (cmapFormat == 12) {
        const std::uint32_t groups = read.U32(table + 12);
        for (std::uint32_t i = 0; i < groups; ++i) {
            const std::uint32_t group = table + 16 + 12 * i;
            const std::uint32_t first = read.U32(group), last = read.U32(group + 4);
            if (codepoint >= first && codepoint <= last) {
                glyph = read.U32(group + 8) + (codepoint - first);
                break;
            }
        }
    } else if (codepoint <= 0xFFFF) {
        const std::uint32_t segments = read.U16(table + 6) / 2;
        const std::uint32_t ends = table + 14, starts = ends + 2 * segments + 2,
                            deltas = starts + 2 * segments, ranges = deltas + 2 * segments;
        for (std::uint32_t i = 0; i < segments; ++i) {
            if (codepoint > read.U16(ends + 2 * i))
                continue;
            const std::uint32_t first = read.U16(starts + 2 * i);
            if (codepoint < first)
                break;
            const std::uint16_t delta = read.U16(deltas + 2 * i), range = read.U16(ranges + 2 * i);
            if (range == 0) {
                glyph = (codepoint + delta) & 0xFFFF;
            } else {
                const std::uint64_t at =
                    ranges + 2 * i + range + 2 * static_cast<std::uint64_t>(codepoint - first);
                if (at + 2 > table + cmapSubtableLength)
                    break;
                glyph = read.U16(at);
                if (glyph != 0)
                    glyph = (glyph + delta) & 0xFFFF;
            }
            break;
        }
    }
    return glyph < static_cast<std::uint32_t>(glyphCount) ? static_cast<int>(glyph) : 0;
}

int FontFile::Advance(int glyph) const {
    if (glyph < 0 || glyph >= glyphCount)
        return 0;
    int advance = 0;
    stbtt_GetGlyphHMetrics(&info->font, glyph, &advance, nullptr);
    return advance;
}

int FontFile::Kerning(int left, int right) const {
    return stbtt_GetGlyphKernAdvance(&info->font, left, right);
}

int FontFile::CheckGlyph(int glyph, int depth, int& pointBudget) const {
    const Reader read(data);
    const std::string which = "glyph " + std::to_string(glyph);
    if (glyph < 0 || glyph >= glyphCount)
        Refuse(which + " is not in the font");
    const std::uint32_t start =
        longOffsets ? read.U32(locaOffset + 4 * glyph) : 2u * read.U16(locaOffset + 2 * glyph);
    const std::uint32_t end =
        longOffsets ? read.U32(locaOffset + 4 * glyph + 4) : 2u * read.U16(locaOffset + 2 * glyph + 2);
    if (start == end)
        return 0;
    if (start > end || end > glyfLength || end - start < 10)
        Refuse(which + " lies outside the glyf table");
    const std::uint64_t base = glyfOffset + start, limit = glyfOffset + end;
    auto need = [&](std::uint64_t at, std::uint64_t length) {
        if (at + length > limit)
            Refuse(which + " runs past its end");
    };
    const int contours = read.S16(base);
    if (contours > 0) {
        const std::uint64_t endPoints = base + 10;
        need(endPoints, 2 * static_cast<std::uint64_t>(contours) + 2);
        int previous = -1;
        for (int i = 0; i < contours; ++i) {
            const int last = read.U16(endPoints + 2 * i);
            if (last <= previous)
                Refuse(which + ": its contours' end points do not rise");
            previous = last;
        }
        const int points = previous + 1;
        pointBudget -= points + 2 * contours;
        if (pointBudget < 0)
            Refuse(which + " has too many points");
        std::uint64_t at = endPoints + 2 * contours;
        at += 2 + read.U16(at);
        // Flags, each possibly repeated, then the coordinates whose sizes they give.
        std::vector<std::uint8_t> flags;
        flags.reserve(points);
        while (static_cast<int>(flags.size()) < points) {
            need(at, 1);
            const std::uint8_t flag = read.U8(at++);
            int repeat = 0;
            if (flag & 8) {
                need(at, 1);
                repeat = read.U8(at++);
            }
            for (int r = 0; r <= repeat && static_cast<int>(flags.size()) < points; ++r)
                flags.push_back(flag);
        }
        // stb_truetype reads the point after a contour's first one when that is off the curve, past
        // its array for a last contour of a single such point.
        for (int i = 0, first = 0; i < contours; ++i) {
            const int last = read.U16(endPoints + 2 * i);
            if (last == first && !(flags[first] & 1))
                Refuse(which + ": a contour of one point off the curve");
            first = last + 1;
        }
        int extent = 0;
        for (int axis = 0; axis < 2; ++axis) {
            const std::uint8_t shortBit = axis == 0 ? 2 : 4, sameBit = axis == 0 ? 16 : 32;
            std::int32_t value = 0;
            for (std::uint8_t flag : flags) {
                if (flag & shortBit) {
                    need(at, 1);
                    value += (flag & sameBit) ? read.U8(at) : -read.U8(at);
                    at += 1;
                } else if (!(flag & sameBit)) {
                    need(at, 2);
                    value += read.S16(at);
                    at += 2;
                }
                // stb_truetype keeps each coordinate as 16 bits, as the format means it.
                extent = std::max(extent, std::abs(static_cast<int>(static_cast<std::int16_t>(value))));
            }
        }
        return extent;
    }
    if (contours == 0)
        return 0;
    if (depth >= kCompositeDepthLimit)
        Refuse(which + ": its components nest too deep");
    int extent = 0;
    for (std::uint64_t at = base + 10;;) {
        // Components count against the budget too, or empty ones nested deep would cost nothing.
        if (--pointBudget < 0)
            Refuse(which + " has too many components");
        need(at, 4);
        const std::uint16_t flags = read.U16(at);
        const int component = read.U16(at + 2);
        at += 4;
        if (!(flags & 2))
            Refuse(which + ": a component placed by matching points (not supported)");
        const int offsetBytes = (flags & 1) ? 2 : 1;
        need(at, 2 * offsetBytes);
        const double dx = offsetBytes == 2 ? read.S16(at) : static_cast<std::int8_t>(read.U8(at));
        const double dy =
            offsetBytes == 2 ? read.S16(at + 2) : static_cast<std::int8_t>(read.U8(at + offsetBytes));
        at += 2 * offsetBytes;
        double matrix[4] = {1, 0, 0, 1};
        const int scales = (flags & 8) ? 1 : (flags & 64) ? 2 : (flags & 128) ? 4 : 0;
        need(at, 2 * scales);
        for (int i = 0; i < scales; ++i)
            matrix[i] = read.S16(at + 2 * i) / 16384.0;
        at += 2 * scales;
        if (scales == 1)
            matrix[3] = matrix[0];
        else if (scales == 2)
            matrix[3] = std::exchange(matrix[1], 0.0);
        const double inner = CheckGlyph(component, depth + 1, pointBudget);
        // The bound of stb_truetype's placement: scaled by the columns' lengths and offset.
        const double scaleX = std::hypot(matrix[0], matrix[1]), scaleY = std::hypot(matrix[2], matrix[3]);
        const double reach =
            std::max(scaleX * ((std::abs(matrix[0]) + std::abs(matrix[2])) * inner + std::abs(dx)),
                     scaleY * ((std::abs(matrix[1]) + std::abs(matrix[3])) * inner + std::abs(dy)));
        if (reach > kCoordinateLimit)
            Refuse(which + ": a component is placed out of range");
        extent = std::max(extent, static_cast<int>(std::ceil(reach)));
        if (!(flags & 32))
            return extent;
    }
}

std::vector<std::vector<Float2>> FontFile::Outline(int glyph, float tolerance) const {
    int budget = kGlyphPointLimit;
    CheckGlyph(glyph, 0, budget);
    stbtt_vertex* vertices = nullptr;
    const int count = stbtt_GetGlyphShape(&info->font, glyph, &vertices);
    std::vector<std::vector<Float2>> contours;
    Float2 pen{};
    auto add = [&](Float2 point) {
        if (contours.empty())
            contours.emplace_back();
        std::vector<Float2>& contour = contours.back();
        if (contour.empty() || contour.back() != point)
            contour.push_back(point);
    };
    // Segments enough that a curve leaves its chords by at most the tolerance: the deviation of
    // n chords is at most the control polygon's second difference over 8 n^2 (4 n^2 for cubics).
    auto steps = [&](float bend) {
        return std::clamp(static_cast<int>(std::ceil(std::sqrt(bend / (8 * tolerance)))), 1, 64);
    };
    for (int i = 0; i < count; ++i) {
        const stbtt_vertex& v = vertices[i];
        const Float2 to{static_cast<float>(v.x), static_cast<float>(v.y)};
        if (v.type == STBTT_vmove) {
            contours.emplace_back();
            add(to);
        } else if (v.type == STBTT_vline) {
            add(to);
        } else if (v.type == STBTT_vcurve) {
            const Float2 c{static_cast<float>(v.cx), static_cast<float>(v.cy)};
            const int n = steps(std::hypot(pen[0] - 2 * c[0] + to[0], pen[1] - 2 * c[1] + to[1]));
            for (int s = 1; s <= n; ++s) {
                const float t = static_cast<float>(s) / n, u = 1 - t;
                add({u * u * pen[0] + 2 * u * t * c[0] + t * t * to[0],
                     u * u * pen[1] + 2 * u * t * c[1] + t * t * to[1]});
            }
        } else if (v.type == STBTT_vcubic) {
            const Float2 c1{static_cast<float>(v.cx), static_cast<float>(v.cy)};
            const Float2 c2{static_cast<float>(v.cx1), static_cast<float>(v.cy1)};
            const int n =
                steps(2 * std::max(std::hypot(pen[0] - 2 * c1[0] + c2[0], pen[1] - 2 * c1[1] + c2[1]),
                                   std::hypot(c1[0] - 2 * c2[0] + to[0], c1[1] - 2 * c2[1] + to[1])));
            for (int s = 1; s <= n; ++s) {
                const float t = static_cast<float>(s) / n, u = 1 - t;
                add({u * u * u * pen[0] + 3 * u * u * t * c1[0] + 3 * u * t * t * c2[0] + t * t * t * to[0],
                     u * u * u * pen[1] + 3 * u * u * t * c1[1] + 3 * u * t * t * c2[1] + t * t * t * to[1]});
            }
        }
        pen = to;
    }
    stbtt_FreeShape(&info->font, vertices);
    std::size_t points = 0;
    for (const std::vector<Float2>& contour : contours)
        points += contour.size();
    if (points > kOutlinePointLimit)
        Refuse("glyph " + std::to_string(glyph) + " has more than " + std::to_string(kOutlinePointLimit) +
               " points in its outline");
    // A closed contour ends where it began; fewer than three points enclose nothing.
    std::vector<std::vector<Float2>> closed;
    for (std::vector<Float2>& contour : contours) {
        while (contour.size() > 1 && contour.back() == contour.front())
            contour.pop_back();
        if (contour.size() >= 3)
            closed.push_back(std::move(contour));
    }
    return closed;
}

} // namespace quorvel::content
