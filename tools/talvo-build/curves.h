// Keyframe curves as descriptions write them: keys {frame, value} with an interpolation ("Constant",
// "Linear", "Bezier", the default) and an extrapolation ("Constant", the default, "Cyclic",
// "Cyclic_extrapolation"). A key may give its Bezier handles as left = {frame, value} and
// right = {frame, value}; where it does not, they are computed (AutoHandles).
#pragma once

#include "formats/demoWriter.h"
#include "formats/ipoWriter.h"
#include "luaValue.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace quorvel::build {

struct CurveKey {
    double frame = 0;
    double value = 0;
    std::optional<std::array<double, 2>> left, right;
};

struct Curve {
    std::string interpolation = "Bezier";
    std::string extrapolation = "Constant";
    std::vector<CurveKey> keys;
};

// Reads { interpolation = ..., extrapolation = ..., keys = { ... } }, or a bare list of keys with both
// defaults. Frames must rise strictly; a cyclic curve needs two keys.
Curve ReadCurve(const LuaValue& value);

// The file records of a curve, every value (handles included) multiplied by valueScale. Handles a key
// does not give are auto-clamped: the slope at a key is that of the line through its two neighbours
// (Catmull-Rom), zero where the key is a peak or a valley or ends a curve held constant, and at most
// three times the smaller slope of the two neighbouring intervals, so the curve never overshoots a key;
// the handles lie on that slope, one third of the neighbouring interval away in time. The time of
// every handle at one third keeps the engine's evaluation, which does not solve the curve for time,
// exactly on time. Cyclic curves take their neighbours across the wrap.
std::vector<formats::IpoKeyRecord> KeyRecords(const Curve& curve, double valueScale = 1.0);

formats::IpoCurveRecord ToIpoRecord(const std::string& name, const Curve& curve);
formats::DemoCurveRecord ToDemoRecord(const std::string& channel, const Curve& curve, double valueScale);

// Compiles a curve file (content/curves.lua), which returns a table of named curves, into the .ipo
// file's bytes, curves in name order. names receives the curve names; libraries, when given, the files
// of the libraries the curve file uses.
std::vector<std::uint8_t> CompileCurveFile(const std::filesystem::path& file, std::vector<std::string>& names,
                                           std::vector<std::filesystem::path>* libraries = nullptr);

} // namespace quorvel::build
