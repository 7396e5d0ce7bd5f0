#include "anim/ipoFile.h"

#include "core/logging.h"
#include "core/timer.h"

namespace engine::gfx {

namespace {
const char kCurveFile[] = "data/custom.ipo";
constexpr double kFramesPerSecond = 25.0;
} // namespace

IPOFile::IPOFile() {
    const std::vector<IpoCurve> curves = ReadIpoFile(kCurveFile);
    Install(curves);
    LOG_MESSAGE("Loaded " + std::to_string(curves.size()) + " curves from " + kCurveFile);
}

void IPOFile::Reload() {
    Install(ReadIpoFile(kCurveFile));
    Update();
}

void IPOFile::Install(const std::vector<IpoCurve>& curves) {
    tracks.clear();
    targets.clear();
    std::map<std::string, int> seen;
    for (const IpoCurve& curve : curves) {
        float*& target = slots[{curve.name, seen[curve.name]++}];
        if (target == nullptr) {
            values.push_back(0.0f);
            target = &values.back();
        }
        tracks.push_back(CreateTrack(curve));
        targets.push_back(target);
        byName[curve.name] = target;
    }
}

IPOFile::~IPOFile() = default;

bool IPOFile::Start() {
    return true;
}

void IPOFile::Update() {
    const auto frame = static_cast<float>(core::Timer::Get()->Time() * kFramesPerSecond);
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        tracks[i]->SetTime(frame);
        *targets[i] = tracks[i]->GetValue();
    }
}

void IPOFile::Stop() {}

const float* IPOFile::Find(const std::string& curveName) const {
    const auto found = byName.find(curveName);
    return found != byName.end() ? found->second : nullptr;
}

} // namespace engine::gfx
