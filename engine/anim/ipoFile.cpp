#include "anim/ipoFile.h"

#include "anim/ipoReader.h"
#include "core/logging.h"
#include "core/timer.h"

namespace engine::gfx {

namespace {
const char kCurveFile[] = "data/custom.ipo";
constexpr double kFramesPerSecond = 25.0;
} // namespace

IPOFile::IPOFile() {
    const std::vector<IpoCurve> curves = ReadIpoFile(kCurveFile);
    values.reserve(curves.size());
    tracks.reserve(curves.size());
    for (const IpoCurve& curve : curves) {
        tracks.push_back(CreateTrack(curve));
        values.push_back(0.0f);
        byName[curve.name] = &values.back();
    }
    LOG_MESSAGE("Loaded " + std::to_string(curves.size()) + " curves from " + kCurveFile);
}

IPOFile::~IPOFile() = default;

bool IPOFile::Start() {
    return true;
}

void IPOFile::Update() {
    const auto frame = static_cast<float>(core::Timer::Get()->Time() * kFramesPerSecond);
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        tracks[i]->SetTime(frame);
        values[i] = tracks[i]->GetValue();
    }
}

void IPOFile::Stop() {}

const float* IPOFile::Find(const std::string& curveName) const {
    const auto found = byName.find(curveName);
    return found != byName.end() ? found->second : nullptr;
}

} // namespace engine::gfx
