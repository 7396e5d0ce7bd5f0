#include "formats/ipoWriter.h"

#include <algorithm>

namespace quorvel::formats {

IpoKeyRecord IpoKey(float time, float value) {
    return {time, value, time, value, time, value};
}

IpoWriter::IpoWriter(const std::string& magic) {
    out.Chars(magic);
}

void IpoWriter::Count(std::int32_t curveCount) {
    out.I32(curveCount);
}

void IpoWriter::Curve(const IpoCurveRecord& curve) {
    out.I32(static_cast<std::int32_t>(curve.name.size()));
    out.Chars(curve.name);
    out.I32(curve.interpolation);
    out.I32(curve.extrapolation);
    out.I32(static_cast<std::int32_t>(curve.keys.size()));
    for (const IpoKeyRecord& key : curve.keys) {
        out.F32(key.leftTime);
        out.F32(key.leftValue);
        out.F32(key.time);
        out.F32(key.value);
        out.F32(key.rightTime);
        out.F32(key.rightValue);
    }
}

void IpoWriter::SaveTruncated(const std::filesystem::path& path, std::size_t size) const {
    BinaryWriter part;
    part.Bytes(out.Data().data(), std::min(size, out.Data().size()));
    part.Save(path);
}

IpoWriter IpoWriter::File(const std::vector<IpoCurveRecord>& curves) {
    IpoWriter writer;
    writer.Count(static_cast<std::int32_t>(curves.size()));
    for (const IpoCurveRecord& curve : curves)
        writer.Curve(curve);
    return writer;
}

} // namespace quorvel::formats
