// Builds .demo scene files from plain object records: the header, then each object with its curves.
// The header's object count is written as given, and Raw() appends anything else, so tests can make
// short, lying or otherwise broken files as easily as good ones.
#pragma once

#include "formats/binaryWriter.h"
#include "formats/ipoWriter.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvel::formats {

// The keys are those of the curve file; the codes are spelled as words here.
struct DemoCurveRecord {
    std::string channel;
    std::string interpolation = "Linear";
    std::string extrapolation = "Constant";
    std::vector<IpoKeyRecord> keys;
};

struct DemoObjectRecord {
    std::string type = "Empty";
    std::string name;
    std::string meshName;
    std::string parentName;
    std::array<float, 3> position{};
    std::array<float, 3> rotation{}; // radians
    std::vector<DemoCurveRecord> curves;
};

class DemoWriter {
public:
    explicit DemoWriter(const std::string& magic = "DEMO");

    void Header(std::int32_t objectCount, std::int32_t length);
    void Object(const DemoObjectRecord& object);
    BinaryWriter& Raw() { return out; }

    const std::vector<std::uint8_t>& Data() const { return out.Data(); }
    void Save(const std::filesystem::path& path) const { out.Save(path); }

    // A whole well-formed file.
    static DemoWriter Scene(std::int32_t length, const std::vector<DemoObjectRecord>& objects);

private:
    void String(const std::string& text);

    BinaryWriter out;
};

} // namespace quorvel::formats
