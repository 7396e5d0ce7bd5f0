// The per-frame cost of keyframe curves: 10,000 Bezier tracks with cyclic extrapolation, each stepped by
// one frame, as the animated nodes of a busy scene would be.
#include "anim/animationTrack.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

using engine::gfx::BezierAnimationTrack;
using engine::gfx::Extrapolation;

constexpr int kTrackCount = 10000;
constexpr int kKeysPerTrack = 8;

// Tracks with staggered key spacing, so their cursors sit in different segments on every frame.
std::vector<std::unique_ptr<BezierAnimationTrack>> MakeTracks() {
    std::vector<std::unique_ptr<BezierAnimationTrack>> tracks;
    for (int t = 0; t < kTrackCount; ++t) {
        auto track = std::make_unique<BezierAnimationTrack>();
        const float spacing = 5.0f + static_cast<float>(t % 13);
        for (int k = 0; k < kKeysPerTrack; ++k) {
            const float time = 1.0f + spacing * static_cast<float>(k);
            const float value = static_cast<float>((k * 7 + t) % 5);
            track->AddKey(time, value);
            track->AddHandles({time - spacing / 3.0f, value}, {time + spacing / 3.0f, value});
        }
        track->SetExtrapolation(Extrapolation::Cyclic);
        tracks.push_back(std::move(track));
    }
    return tracks;
}

void BezierCyclicFrame(benchmark::State& state) {
    auto tracks = MakeTracks();
    float sum = 0.0f;
    for (auto _ : state) {
        for (const auto& track : tracks) {
            track->Step(1.0f);
            sum += track->GetValue();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * kTrackCount);
    state.counters["ns_per_track_step"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kTrackCount),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(BezierCyclicFrame)->Unit(benchmark::kMicrosecond);
