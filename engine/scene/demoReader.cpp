#include "scene/demoReader.h"

#include "core/logging.h"
#include "core/textConversion.h"
#include "resources/byteReader.h"
#include "resources/dataPaths.h"

#include <cstring>

namespace engine::gfx {

using core::ByteReader;
using core::DecodeFloat;

namespace {

constexpr char kMagic[4] = {'D', 'E', 'M', 'O'};
// The smallest records the file can hold: four empty strings, the pose and a curve count; three empty
// strings and a key count; one key.
constexpr std::size_t kMinObjectSize = 4 * 4 + 24 + 4;
constexpr std::size_t kMinCurveSize = 3 * 4 + 4;
constexpr std::size_t kKeySize = 24;

// The rows the format prescribes for these failures do not name the file: the WARNING row written just
// before each does, and says where in the file the fault lies.
[[noreturn]] void Fail(const std::string& where, const std::string& row) {
    LOG_WARNING(where);
    LOG_ERROR(row);
}

math::Vector3f DecodeVector(const std::uint8_t* p) {
    return {DecodeFloat(p), DecodeFloat(p + 4), DecodeFloat(p + 8)};
}

class DemoParser {
public:
    DemoParser(std::span<const std::uint8_t> bytes, const std::string& name) : reader(bytes, name) {}

    DemoData Parse() {
        const std::uint8_t* magic = reader.Left() >= 4 ? reader.Take(4, "the magic") : nullptr;
        if (magic == nullptr || std::memcmp(magic, kMagic, sizeof kMagic) != 0)
            Fail(reader.FileName() + ": the file does not begin with \"DEMO\"", "Not TALVO Demo file format");
        reader.SetContext("the header");
        const std::int32_t objectCount = reader.ReadInt("the object count");
        data.length = reader.ReadInt("the scene length");
        if (data.length < 0)
            reader.Fail("negative scene length " + std::to_string(data.length));
        const std::size_t count = reader.CheckCount(objectCount, kMinObjectSize, "the object count");
        data.objects.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            ReadObject(i, data.objects[i]);
        return std::move(data);
    }

private:
    void ReadObject(std::size_t index, DemoObject& object) {
        const std::string where = "object " + std::to_string(index);
        reader.SetContext(where);
        object.type = reader.ReadString("the type");
        object.name = reader.ReadString("the name");
        const std::string named = where + " \"" + object.name + "\"";
        reader.SetContext(named);
        object.meshName = reader.ReadString("the mesh name");
        // The mesh file is looked for in the scene's own folder, and must not be looked for elsewhere.
        if (object.type == "Mesh" && !core::StaysInsideFolder(object.meshName))
            reader.Fail("the mesh name \"" + object.meshName + "\" of " + named +
                        " leaves the scene's folder");
        object.parentName = reader.ReadString("the parent name");
        const std::uint8_t* pose = reader.Take(24, "the position and rotation");
        object.position = DecodeVector(pose);
        object.rotation = DecodeVector(pose + 12);
        const std::size_t curveCount =
            reader.CheckCount(reader.ReadInt("the curve count"), kMinCurveSize, "the curve count");
        object.curves.resize(curveCount);
        for (std::size_t c = 0; c < curveCount; ++c) {
            const std::string where = "curve " + std::to_string(c) + " of " + named;
            reader.SetContext(where);
            ReadCurve(object.curves[c], where);
        }
    }

    std::string Where(const std::string& curve, const char* field, const std::string& word) const {
        return reader.FileName() + ": " + curve + " has the " + field + " \"" + word + "\"";
    }

    // The scene files spell interpolation and extrapolation as the words the curve records are named by.
    Interpolation ParseInterpolation(const std::string& word, const std::string& curve) const {
        for (Interpolation interpolation :
             {Interpolation::Constant, Interpolation::Linear, Interpolation::Bezier})
            if (word == InterpolationName(interpolation))
                return interpolation;
        Fail(Where(curve, "interpolation", word), word + " interpolation type not supported.");
    }

    int ParseExtrapolation(const std::string& word, const std::string& curve) const {
        for (int mode : {Extrapolation::Constant, Extrapolation::Cyclic, Extrapolation::CyclicExtrapolation})
            if (word == ExtrapolationName(mode))
                return mode;
        Fail(Where(curve, "extrapolation", word), word + " extrapolation type not supported.");
    }

    void ReadCurve(DemoCurve& curve, const std::string& where) {
        IpoCurve& track = curve.track;
        track.name = reader.ReadString("the channel");
        curve.channel = FindChannel(track.name);
        if (curve.channel == nullptr)
            Fail(Where(where, "channel", track.name), "Unsupported Pipe Type " + track.name);
        track.interpolation = ParseInterpolation(reader.ReadString("the interpolation"), where);
        track.extrapolation = ParseExtrapolation(reader.ReadString("the extrapolation"), where);
        const std::size_t keyCount =
            reader.CheckCount(reader.ReadInt("the key count"), kKeySize, "the key count");
        const std::uint8_t* p = reader.Take(keyCount * kKeySize, "the keys");
        track.keys.resize(keyCount);
        for (IpoKey& key : track.keys) {
            key.left = {DecodeFloat(p), DecodeFloat(p + 4)};
            key.key = {DecodeFloat(p + 8), DecodeFloat(p + 12)};
            key.right = {DecodeFloat(p + 16), DecodeFloat(p + 20)};
            p += kKeySize;
        }
    }

    ByteReader reader;
    DemoData data;
};

} // namespace

DemoData ParseDemo(std::span<const std::uint8_t> bytes, const std::string& name) {
    return DemoParser(bytes, name).Parse();
}

DemoData ReadDemoFile(const std::wstring& path) {
    const std::string name = core::WideToNarrow(path);
    std::vector<std::uint8_t> bytes;
    if (!core::LoadFileBytes(name, bytes))
        Fail(name + ": the file cannot be read", "No such demo file found");
    return ParseDemo(bytes, name);
}

} // namespace engine::gfx
