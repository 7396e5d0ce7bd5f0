// One pass of the main loop over many modules: the scheduling cost the kernel adds to every frame.
#include "core/kernel.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

class CountingModule : public engine::core::Module {
public:
    explicit CountingModule(int order) { priority = order; }
    bool Start() override { return true; }
    void Update() override { benchmark::DoNotOptimize(++updates); }
    void Stop() override {}
    long updates = 0;
};

// Quits after a given number of passes, so Run() measures whole passes.
class PassLimit : public engine::core::Module {
public:
    explicit PassLimit(long passes) : left(passes) { priority = 1 << 30; }
    bool Start() override { return true; }
    void Update() override {
        if (--left == 0)
            engine::core::Kernel::Get()->Quit();
    }
    void Stop() override {}
    long left;
};

void KernelPass(benchmark::State& state) {
    const int moduleCount = static_cast<int>(state.range(0));
    constexpr long kPasses = 1000;
    for (auto _ : state) {
        state.PauseTiming();
        auto* kernel = new engine::core::Kernel();
        std::vector<std::unique_ptr<CountingModule>> modules;
        for (int i = 0; i < moduleCount; ++i) {
            modules.push_back(std::make_unique<CountingModule>(i % 17));
            kernel->AddModule(modules.back().get(), i);
        }
        PassLimit limit(kPasses);
        kernel->AddModule(&limit, -1);
        state.ResumeTiming();
        kernel->Run();
        state.PauseTiming();
        delete kernel;
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kPasses);
    state.counters["time_per_pass"] =
        benchmark::Counter(static_cast<double>(state.iterations() * kPasses),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

} // namespace

BENCHMARK(KernelPass)->Arg(1000)->Unit(benchmark::kMicrosecond);
