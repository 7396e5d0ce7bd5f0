// .demo scenes: the engine's reader on the bytes, then the whole scene loader on them as a file: nodes,
// parent links (cycles refused), rest poses and animation pipes; the scene is then walked for frames
// of the demo's time, so every curve is evaluated. The dump tool's describer reads the same bytes.
#include "core/textConversion.h"
#include "core/timer.h"
#include "formats/demoDescribe.h"
#include "fuzzSupport.h"
#include "platform/clock.h"
#include "resources/resourceManager.h"
#include "scene/demoLoader.h"
#include "scene/demoReader.h"

#include <engine/exception.h>

#include <span>

using namespace engine::gfx;

namespace {

constexpr int kPasses = 6;

// A clock that moves one frame (40 ms) whenever the fuzzer says so, so the scene's curves step by
// frames whatever the machine's speed.
class FrameClock : public engine::platform::Clock {
public:
    std::uint64_t Counter() override { return counter; }
    std::uint64_t Frequency() override { return 1000; }
    std::uint32_t Ticks() override { return static_cast<std::uint32_t>(counter); }
    void NextFrame() { counter += 40; }

private:
    std::uint64_t counter = 0;
};

// The demo's timer on that clock, started once.
engine::core::Timer* FrameTimer(FrameClock& clock) {
    static engine::core::Timer* timer = [&clock] {
        engine::core::Timer* made = engine::core::Timer::Get();
        made->SetClock(&clock);
        made->Start();
        return made;
    }();
    return timer;
}

// A mesh the scene names stays registered, empty, once its load has failed; without a fresh manager per
// input every name the fuzzer tries would stay in memory.
struct FreshResources {
    ~FreshResources() { delete engine::core::ResourceManager::mInstance; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    (void)quorvel::formats::DescribeDemo(bytes);
    try {
        (void)ParseDemo(bytes, "fuzz.demo");
    } catch (const engine::core::Exception&) {
        return 0;
    }
    const std::string path = quorvel::fuzz::WriteScratchFile("fuzz.demo", data, size);
    const FreshResources resources;
    DemoLoader* loader = nullptr;
    try {
        loader = DemoLoader::CreateInstance(engine::core::NarrowToWide(path));
    } catch (const engine::core::Exception&) {
        return 0;
    }
    const boost::shared_ptr<Spatial> root = loader->GetBaseNode();
    FUZZ_CHECK(root != nullptr);
    FUZZ_CHECK(loader->GetLength() >= 0);
    static FrameClock clock;
    engine::core::Timer* timer = FrameTimer(clock);
    for (int pass = 0; pass < kPasses; ++pass) {
        clock.NextFrame();
        timer->Update();
        root->Update(nullptr);
    }
    loader->DestroyInstance();
    return 0;
}
