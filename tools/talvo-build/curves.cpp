#include "curves.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quorvel::build {

namespace {

const char* const kInterpolations[] = {"Constant", "Linear", "Bezier"};
const char* const kExtrapolations[] = {"Constant", "Cyclic", "Cyclic_extrapolation"};

// The file code of a word, from its position in the list.
template <std::size_t N>
int WordIndex(const char* const (&words)[N], const std::string& word) {
    for (std::size_t i = 0; i < N; ++i)
        if (word == words[i])
            return static_cast<int>(i);
    return -1;
}

template <std::size_t N>
std::string WordList(const char* const (&words)[N]) {
    std::string list;
    for (std::size_t i = 0; i < N; ++i)
        list += (i == 0 ? "\"" : i + 1 == N ? " or \"" : ", \"") + std::string(words[i]) + "\"";
    return list;
}

std::array<double, 2> ReadHandle(const LuaValue& key, const char* side) {
    const std::vector<double> handle = key.Field(side).Numbers(2);
    return {handle[0], handle[1]};
}

CurveKey ReadKey(const LuaValue& key) {
    if (!key.IsTable() || key.Length() != 2)
        key.Fail("must be a key {frame, value}");
    CurveKey read;
    read.frame = key.Element(1).Number();
    read.value = key.Element(2).Number();
    if (!key.Field("left").IsNil())
        read.left = ReadHandle(key, "left");
    if (!key.Field("right").IsNil())
        read.right = ReadHandle(key, "right");
    return read;
}

// Frames as people write them: 12, 12.5.
std::string FormatNumber(double number) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", number);
    return text;
}

struct Point {
    double frame, value;
};

// The slope of an auto-clamped handle at a key between two neighbours.
double ClampedSlope(Point previous, Point key, Point next) {
    const double before = (key.value - previous.value) / (key.frame - previous.frame);
    const double after = (next.value - key.value) / (next.frame - key.frame);
    if (before * after <= 0)
        return 0;
    const double slope = (next.value - previous.value) / (next.frame - previous.frame);
    const double limit = 3 * std::min(std::abs(before), std::abs(after));
    return std::clamp(slope, -limit, limit);
}

} // namespace

Curve ReadCurve(const LuaValue& value) {
    value.RequireTable();
    Curve curve;
    const LuaValue keysField = value.Field("keys");
    const bool bare = keysField.IsNil();
    if (!bare) {
        curve.interpolation = value.OptionalString("interpolation").value_or(curve.interpolation);
        curve.extrapolation = value.OptionalString("extrapolation").value_or(curve.extrapolation);
        if (WordIndex(kInterpolations, curve.interpolation) < 0)
            value.Fail("interpolation must be " + WordList(kInterpolations) + ", not \"" +
                       curve.interpolation + "\"");
        if (WordIndex(kExtrapolations, curve.extrapolation) < 0)
            value.Fail("extrapolation must be " + WordList(kExtrapolations) + ", not \"" +
                       curve.extrapolation + "\"");
    }
    const LuaValue& list = bare ? value : keysField;
    list.RequireTable();
    const int count = list.Length();
    if (count == 0)
        list.Fail("must hold at least one key {frame, value}");
    for (int i = 1; i <= count; ++i) {
        const LuaValue element = list.Element(i);
        CurveKey key = ReadKey(element);
        if (!curve.keys.empty() && key.frame <= curve.keys.back().frame)
            element.Fail("comes at frame " + FormatNumber(key.frame) + ", not after the key before it");
        if ((key.left || key.right) && curve.interpolation != "Bezier")
            element.Fail("has handles, which only a Bezier curve uses");
        curve.keys.push_back(key);
    }
    if (curve.extrapolation != "Constant" && curve.keys.size() < 2)
        value.Fail("is cyclic and needs at least two keys");
    return curve;
}

std::vector<formats::IpoKeyRecord> KeyRecords(const Curve& curve, double valueScale) {
    const auto& keys = curve.keys;
    const std::size_t n = keys.size();
    const bool cyclic = curve.extrapolation != "Constant";
    const double period = keys.back().frame - keys.front().frame;
    const double rise =
        curve.extrapolation == "Cyclic_extrapolation" ? keys.back().value - keys.front().value : 0;
    std::vector<formats::IpoKeyRecord> records;
    for (std::size_t i = 0; i < n; ++i) {
        const Point key{keys[i].frame, keys[i].value};
        std::optional<Point> previous, next;
        if (i > 0)
            previous = Point{keys[i - 1].frame, keys[i - 1].value};
        else if (cyclic)
            previous = Point{keys[n - 2].frame - period, keys[n - 2].value - rise};
        if (i + 1 < n)
            next = Point{keys[i + 1].frame, keys[i + 1].value};
        else if (cyclic)
            next = Point{keys[1].frame + period, keys[1].value + rise};

        // A key alone, or the free end of a curve, takes the interval on its other side.
        const double before = previous ? key.frame - previous->frame : next ? next->frame - key.frame : 1;
        const double after = next ? next->frame - key.frame : before;
        const double slope = previous && next ? ClampedSlope(*previous, key, *next) : 0;
        std::array<double, 2> left{key.frame - before / 3, key.value - slope * before / 3};
        std::array<double, 2> right{key.frame + after / 3, key.value + slope * after / 3};
        if (curve.interpolation != "Bezier")
            left = right = {key.frame, key.value};
        left = keys[i].left.value_or(left);
        right = keys[i].right.value_or(right);
        auto f = [](double x) { return static_cast<float>(x); };
        records.push_back({f(left[0]), f(left[1] * valueScale), f(key.frame), f(key.value * valueScale),
                           f(right[0]), f(right[1] * valueScale)});
    }
    return records;
}

formats::IpoCurveRecord ToIpoRecord(const std::string& name, const Curve& curve) {
    formats::IpoCurveRecord record;
    record.name = name;
    record.interpolation = WordIndex(kInterpolations, curve.interpolation);
    record.extrapolation = 3 + WordIndex(kExtrapolations, curve.extrapolation);
    record.keys = KeyRecords(curve);
    return record;
}

formats::DemoCurveRecord ToDemoRecord(const std::string& channel, const Curve& curve, double valueScale) {
    return {channel, curve.interpolation, curve.extrapolation, KeyRecords(curve, valueScale)};
}

std::vector<std::uint8_t> CompileCurveFile(const std::filesystem::path& file, std::vector<std::string>& names,
                                           std::vector<std::filesystem::path>* libraries) {
    Sandbox sandbox;
    // The curves file lies at the top of the content folder.
    sandbox.AllowLibraries(file.parent_path() / "lib");
    sandbox.Run(file);
    const LuaValue result(sandbox.State(), file.string(), "the returned value");
    if (!result.IsTable())
        result.Fail("must be a table of named curves");
    std::vector<formats::IpoCurveRecord> curves;
    names = result.Keys();
    for (const std::string& name : names)
        curves.push_back(ToIpoRecord(name, ReadCurve(result.Field(name))));
    if (libraries != nullptr)
        *libraries = sandbox.LibrariesUsed();
    return formats::IpoWriter::File(curves).Data();
}

} // namespace quorvel::build
