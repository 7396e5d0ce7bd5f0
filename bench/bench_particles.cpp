// One frame of an emitter on the processor: simulate every live particle and write its billboard into
// the emitter's vertex buffer, for 1,000 and 100,000 live particles, in bytes of vertex data written
// per second. The baseline copies the same number of bytes with memcpy into a buffer of the same kind,
// locked the same way. Both buffers are the recording device's memory, so neither pays for an upload
// and the ratio of the two rates is what the particle loop costs beside a bare copy.
#include "../tests/render/recordingDevice.h"
#include "core/timer.h"
#include "particles/particleEngine.h"
#include "platform/clock.h"
#include "platform/window.h"
#include "render/effect.h"
#include "render/renderer.h"
#include "render/shader.h"
#include <engine/scene.h>

#include <benchmark/benchmark.h>
#include <boost/make_shared.hpp>

#include <cstring>
#include <vector>

using namespace engine::gfx;
using quorvel::test::RecordingDevice;
namespace gpu = engine::gpu;

namespace {

constexpr std::uint64_t kBytesPerParticle = 4 * sizeof(Emitter::Vertex);

// Sixty passes a second, exactly.
class FrameClock : public engine::platform::Clock {
public:
    std::uint64_t Counter() override { return frames * 1000; }
    std::uint64_t Frequency() override { return 60000; }
    std::uint32_t Ticks() override { return static_cast<std::uint32_t>(frames * 1000 / 60); }
    std::uint64_t frames = 1;
};

// The window's recording device, a timer on the frame clock and a renderer whose scene root is turned,
// so that the billboards use general axes.
struct Stage {
    Stage() {
        device = new RecordingDevice;
        engine::core::CWin32Window::Get()->device = device;
        engine::core::Timer::Get()->SetClock(&clock);
        engine::core::Timer::Get()->Start();
        SetShaderContext(device, &renderer);
        renderer.Start();
        scene = boost::make_shared<Node>(renderer.GetRootNode().get());
        Transform turned;
        turned.rotation = {{0.8f, 0.6f, 0, -0.6f, 0.8f, 0, 0, 0, 1}};
        turned.translation = {0, -2, 20};
        scene->SetLocalTransform(turned);
        renderer.AttachToRoot(scene);
        UseRepeatableParticles(1);
    }
    ~Stage() {
        SetShaderContext(nullptr, nullptr);
        renderer.Stop();
        renderer.ClearRoot();
        scene.reset();
        UseClockSeededParticles();
        delete engine::core::Timer::mInstance;
        delete engine::core::CWin32Window::mInstance;
    }
    void NextFrame() {
        ++clock.frames;
        engine::core::Timer::Get()->Update();
    }

    FrameClock clock;
    RecordingDevice* device = nullptr;
    Renderer renderer;
    boost::shared_ptr<Node> scene;
};

void BM_EmitterFrame(benchmark::State& state) {
    Stage stage;
    EmitterInfo info;
    info.color = {1, 0.5f, 0.2f, 1};
    info.colorChange = {-0.2f, 0.1f, 0.3f, -0.3f};
    info.velocity = {0, 8, 0};
    info.velocityVariance = {3, 2, 3};
    info.acceleration = {0, -9.8f, 0};
    // An effect without shaders queues nothing, so the queue does not grow over the iterations.
    info.effect = boost::make_shared<Effect>();
    info.size = 1.5f;
    info.sizeChange = 0.2f;
    info.spinVariance = 2;
    info.maxParticles = info.particleCount = static_cast<int>(state.range(0));
    info.emitInterval = 0;
    auto node = boost::make_shared<Node>(stage.scene.get());
    stage.scene->AddChild(node);
    auto emitter = boost::make_shared<Emitter>(node.get(), info);
    node->AddChild(emitter);
    for (auto _ : state) {
        stage.NextFrame();
        emitter->Update(&stage.renderer);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(
        static_cast<std::int64_t>(state.iterations() * state.range(0) * kBytesPerParticle));
}

void BM_MemcpyFrame(benchmark::State& state) {
    Stage stage;
    const auto bytes = static_cast<std::uint32_t>(state.range(0) * kBytesPerParticle);
    gpu::VertexBuffer* raw = nullptr;
    stage.device->CreateVertexBuffer(bytes, gpu::UsageDynamic | gpu::UsageWriteOnly, &raw);
    const auto buffer = gpu::Ref<gpu::VertexBuffer>::Adopt(raw);
    std::vector<std::uint8_t> source(bytes, 0x3F);
    for (auto _ : state) {
        void* data = nullptr;
        buffer->Lock(0, 0, &data, gpu::LockDiscard);
        std::memcpy(data, source.data(), bytes);
        buffer->Unlock();
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * bytes);
}

} // namespace

BENCHMARK(BM_EmitterFrame)->Arg(1000)->Arg(100000);
BENCHMARK(BM_MemcpyFrame)->Arg(1000)->Arg(100000);
