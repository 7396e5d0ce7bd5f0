// What one sample of a long curve costs: a 100,000-key curve set to absolute times the way the global
// curve player sets it every frame: moving a frame at a time, and jumping 500 periods ahead per call
// (a cyclic curve wraps them all; a clamped one sits past its end).
#include "anim/animationTrack.h"

#include <benchmark/benchmark.h>

namespace {

using engine::gfx::Extrapolation;
using engine::gfx::LinearAnimationTrack;

constexpr int kKeys = 100000;

void SetTimeOnLongCurve(benchmark::State& state) {
    const int mode = static_cast<int>(state.range(0));
    const float step = static_cast<float>(state.range(1));
    LinearAnimationTrack track;
    for (int i = 0; i < kKeys; ++i)
        track.AddKey(static_cast<float>(i), static_cast<float>(i % 7));
    track.SetExtrapolation(mode);
    float time = 1.0f;
    for (auto _ : state) {
        time += step;
        if (time > 1e9f)
            time = 1.0f;
        track.SetTime(time);
        benchmark::DoNotOptimize(track.GetValue());
    }
}

} // namespace

// Arguments: extrapolation mode, frames per call (1: frame by frame; 49,999,500: 500 periods).
BENCHMARK(SetTimeOnLongCurve)
    ->ArgNames({"mode", "step"})
    ->Args({Extrapolation::Cyclic, 1})
    ->Args({Extrapolation::Cyclic, 49999500})
    ->Args({Extrapolation::Constant, 1})
    ->Args({Extrapolation::Constant, 49999500});
