#include "anim/ipoReader.h"

#include "core/logging.h"
#include "resources/byteReader.h"

#include <cstring>

namespace engine::gfx {

namespace {

constexpr char kMagic[4] = {'I', 'P', 'O', 'S'};
// A record with an empty name and no keys: name length, interpolation, extrapolation, key count.
constexpr std::size_t kMinCurveSize = 4 * 4;
constexpr std::size_t kKeySize = 6 * 4;

KeyPoint ReadPoint(core::ByteReader& reader) {
    const float time = reader.ReadFloat("a key");
    return {time, reader.ReadFloat("a key")};
}

Interpolation ReadInterpolation(core::ByteReader& reader) {
    const std::int32_t code = reader.ReadInt("the interpolation code");
    if (code < 0 || code > 2)
        reader.Fail("interpolation code " + std::to_string(code) +
                    " is not 0 (Constant), 1 (Linear) or 2 (Bezier)");
    return static_cast<Interpolation>(code);
}

int ReadExtrapolation(core::ByteReader& reader) {
    const std::int32_t code = reader.ReadInt("the extrapolation code");
    switch (code) {
    case 3:
        return Extrapolation::Constant;
    case 4:
        return Extrapolation::Cyclic;
    case 5:
        return Extrapolation::CyclicExtrapolation;
    }
    reader.Fail("extrapolation code " + std::to_string(code) +
                " is not 3 (Constant), 4 (Cyclic) or 5 (Cyclic_extrapolation)");
}

} // namespace

std::vector<IpoCurve> ReadIpoFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (!core::LoadFileBytes(path, bytes))
        LOG_ERROR("No such ipo file found " + path);
    return ParseIpo(bytes, path);
}

std::vector<IpoCurve> ParseIpo(std::span<const std::uint8_t> bytes, const std::string& name) {
    if (bytes.size() < sizeof kMagic || std::memcmp(bytes.data(), kMagic, sizeof kMagic) != 0)
        LOG_ERROR("Not TALVO IPO file format in file " + name);
    core::ByteReader reader(bytes, name);
    reader.Take(sizeof kMagic, "the magic");
    const std::size_t count =
        reader.CheckCount(reader.ReadInt("the curve count"), kMinCurveSize, "the curve count");
    std::vector<IpoCurve> curves;
    curves.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
        curves.push_back(ReadIpoCurve(reader, static_cast<int>(i)));
    return curves;
}

IpoCurve ReadIpoCurve(core::ByteReader& reader, int index) {
    IpoCurve curve;
    reader.SetContext("curve " + std::to_string(index));
    curve.name = reader.ReadString("the name");
    reader.SetContext("curve " + std::to_string(index) + " \"" + curve.name + "\"");
    curve.interpolation = ReadInterpolation(reader);
    curve.extrapolation = ReadExtrapolation(reader);
    const std::size_t keyCount =
        reader.CheckCount(reader.ReadInt("the key count"), kKeySize, "the key count");
    curve.keys.resize(keyCount);
    for (IpoKey& key : curve.keys) {
        key.left = ReadPoint(reader);
        key.key = ReadPoint(reader);
        key.right = ReadPoint(reader);
    }
    return curve;
}

std::unique_ptr<AnimationTrack> CreateTrack(const IpoCurve& curve) {
    std::unique_ptr<AnimationTrack> track;
    BezierAnimationTrack* bezier = nullptr;
    switch (curve.interpolation) {
    case Interpolation::Constant:
        track = std::make_unique<ConstantAnimationTrack>();
        break;
    case Interpolation::Linear:
        track = std::make_unique<LinearAnimationTrack>();
        break;
    case Interpolation::Bezier:
        track = std::make_unique<BezierAnimationTrack>();
        bezier = static_cast<BezierAnimationTrack*>(track.get());
        break;
    }
    track->SetExtrapolation(curve.extrapolation);
    for (const IpoKey& key : curve.keys) {
        track->AddKey(key.key.time, key.key.value);
        if (bezier != nullptr)
            bezier->AddHandles(key.left, key.right);
    }
    return track;
}

const char* InterpolationName(Interpolation interpolation) {
    switch (interpolation) {
    case Interpolation::Constant:
        return "Constant";
    case Interpolation::Linear:
        return "Linear";
    case Interpolation::Bezier:
        return "Bezier";
    }
    return "unknown";
}

const char* ExtrapolationName(int mode) {
    switch (mode) {
    case Extrapolation::Constant:
        return "Constant";
    case Extrapolation::Cyclic:
        return "Cyclic";
    case Extrapolation::CyclicExtrapolation:
        return "Cyclic_extrapolation";
    }
    return "unknown";
}

} // namespace engine::gfx
