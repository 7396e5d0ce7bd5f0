// The global curve file: the engine's reader, then what the global curve player does every pass:
// every curve made into its track and sampled at absolute times, frame by frame and far off, forward
// and back. The dump tool's describer reads the same bytes.
#include "anim/ipoReader.h"
#include "fuzzSupport.h"
#include "ipoDump.h"

#include <engine/exception.h>

#include <cmath>
#include <span>

using namespace engine::gfx;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    (void)quorvel::dump::DescribeIpo(bytes);
    std::vector<IpoCurve> curves;
    try {
        curves = ParseIpo(bytes, "fuzz.ipo");
    } catch (const engine::core::Exception&) {
        return 0;
    }
    for (const IpoCurve& curve : curves) {
        const std::unique_ptr<AnimationTrack> track = CreateTrack(curve);
        for (float time : quorvel::fuzz::kSampleTimes) {
            track->SetTime(time);
            const IPOPlayer& player = track->GetPlayer();
            if (!curve.keys.empty()) {
                FUZZ_CHECK(player.keyIndex >= 0 && player.keyIndex < static_cast<int>(curve.keys.size()));
                FUZZ_CHECK(!(player.fraction < 0.0f) && !(player.fraction > 1.0f));
            }
            volatile float value = track->GetValue();
            (void)value;
        }
    }
    return 0;
}
