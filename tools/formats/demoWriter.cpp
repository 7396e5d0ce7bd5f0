#include "formats/demoWriter.h"

namespace quorvel::formats {

DemoWriter::DemoWriter(const std::string& magic) {
    out.Chars(magic);
}

void DemoWriter::Header(std::int32_t objectCount, std::int32_t length) {
    out.I32(objectCount);
    out.I32(length);
}

void DemoWriter::Object(const DemoObjectRecord& object) {
    String(object.type);
    String(object.name);
    String(object.meshName);
    String(object.parentName);
    for (float value : object.position)
        out.F32(value);
    for (float value : object.rotation)
        out.F32(value);
    out.I32(static_cast<std::int32_t>(object.curves.size()));
    for (const DemoCurveRecord& curve : object.curves) {
        String(curve.channel);
        String(curve.interpolation);
        String(curve.extrapolation);
        out.I32(static_cast<std::int32_t>(curve.keys.size()));
        for (const IpoKeyRecord& key : curve.keys)
            for (float value :
                 {key.leftTime, key.leftValue, key.time, key.value, key.rightTime, key.rightValue})
                out.F32(value);
    }
}

DemoWriter DemoWriter::Scene(std::int32_t length, const std::vector<DemoObjectRecord>& objects) {
    DemoWriter writer;
    writer.Header(static_cast<std::int32_t>(objects.size()), length);
    for (const DemoObjectRecord& object : objects)
        writer.Object(object);
    return writer;
}

void DemoWriter::String(const std::string& text) {
    out.I32(static_cast<std::int32_t>(text.size()));
    out.Chars(text);
}

} // namespace quorvel::formats
