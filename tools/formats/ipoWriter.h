// Builds .ipo curve files: the "IPOS" magic, the curve count, then each curve record with its keys.
// Counts, codes and lengths are written as given and Raw() appends anything else, so tests can make
// short, lying or otherwise broken files as easily as good ones.
#pragma once

#include "formats/binaryWriter.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::formats {

struct IpoKeyRecord {
    float leftTime, leftValue;
    float time, value;
    float rightTime, rightValue;
};

// The file's codes: interpolation 0 Constant, 1 Linear, 2 Bezier; extrapolation 3 Constant, 4 Cyclic,
// 5 Cyclic_extrapolation.
struct IpoCurveRecord {
    std::string name;
    std::int32_t interpolation = 1;
    std::int32_t extrapolation = 3;
    std::vector<IpoKeyRecord> keys;
};

// A key whose handles sit on the key itself, for curves that do not use them.
IpoKeyRecord IpoKey(float time, float value);

class IpoWriter {
public:
    explicit IpoWriter(const std::string& magic = "IPOS");

    void Count(std::int32_t curveCount);
    void Curve(const IpoCurveRecord& curve);
    BinaryWriter& Raw() { return out; }

    const std::vector<std::uint8_t>& Data() const { return out.Data(); }
    void Save(const std::filesystem::path& path) const { out.Save(path); }
    // Saves only the first size bytes, for files that end early.
    void SaveTruncated(const std::filesystem::path& path, std::size_t size) const;

    // A whole well-formed file.
    static IpoWriter File(const std::vector<IpoCurveRecord>& curves);

private:
    BinaryWriter out;
};

} // namespace quorvel::formats
