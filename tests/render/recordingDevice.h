// A device with no GPU behind it, for tests and benchmarks of the layers above: it keeps the state it is
// given, hands out in-memory objects, answers frame control as told, counts every call and can write a
// line per call into a log that recording shaders share, so tests see shader and device work interleaved.
#pragma once

#include "gpu/device.h"

#include <deque>
#include <filesystem>
#include <string>
#include <type_traits>
#include <vector>

namespace quorvel::test {

namespace gpu = engine::gpu;

class FakeSurface : public gpu::Surface {
public:
    FakeSurface(std::string label, std::uint32_t size) : label(std::move(label)), size(size) {}
    std::uint32_t Width() const override { return size; }
    std::uint32_t Height() const override { return size; }
    std::uint32_t GetFormat() const override { return gpu::FormatX8R8G8B8; }
    std::string label;
    std::uint32_t size;
};

class FakeTexture : public gpu::Texture {
public:
    FakeTexture(std::string label, std::uint32_t size, std::uint32_t usage, std::uint32_t format,
                int* released)
        : label(label), size(size), usage(usage), format(format), released(released),
          surface(gpu::Ref<FakeSurface>::Adopt(new FakeSurface(label, size))) {}
    ~FakeTexture() override {
        if (released != nullptr)
            ++*released;
    }
    std::uint32_t Width() const override { return size; }
    std::uint32_t Height() const override { return size; }
    std::uint32_t LevelCount() const override { return 1; }
    std::uint32_t GetFormat() const override { return format; }
    std::uint32_t GetUsage() const override { return usage; }
    gpu::Result GetSurfaceLevel(std::uint32_t level, gpu::Surface** out) override {
        if (level != 0 || (usage & gpu::UsageRenderTarget) == 0)
            return gpu::kInvalidCall;
        surface->AddRef();
        *out = surface.Get();
        return gpu::kOk;
    }
    std::string label;
    std::uint32_t size, usage, format;
    int* released;
    gpu::Ref<FakeSurface> surface;
};

// Vertex and index buffers alike: bytes in memory.
template <typename Base>
class FakeBuffer : public Base {
public:
    explicit FakeBuffer(std::uint32_t length, std::uint32_t format = 0) : bytes(length), format(format) {}
    std::uint32_t Length() const override { return static_cast<std::uint32_t>(bytes.size()); }
    gpu::Result Lock(std::uint32_t offset, std::uint32_t, void** data, std::uint32_t) override {
        if (offset > bytes.size())
            return gpu::kInvalidCall;
        *data = bytes.data() + offset;
        return gpu::kOk;
    }
    gpu::Result Unlock() override { return gpu::kOk; }
    std::vector<std::uint8_t> bytes;
    std::uint32_t format;
};

class FakeIndexBuffer : public FakeBuffer<gpu::IndexBuffer> {
public:
    using FakeBuffer::FakeBuffer;
    std::uint32_t GetFormat() const override { return format; }
};

class FakeDeclaration : public gpu::VertexDeclaration {
public:
    const std::vector<gpu::VertexElement>& Elements() const override { return elements; }
    std::vector<gpu::VertexElement> elements;
};

class RecordingDevice : public gpu::Device {
public:
    static constexpr std::uint32_t kBackBufferSize = 64;

private:
    std::vector<std::string>* log;

public:
    // With a log, every call writes a line into it.
    explicit RecordingDevice(std::vector<std::string>* log = nullptr)
        : log(log), backBuffer(gpu::Ref<FakeSurface>::Adopt(new FakeSurface("backbuffer", kBackBufferSize))) {
    }

    // Frame control answers; each queue is consumed one call at a time and then answers kOk.
    std::deque<gpu::Result> presentAnswers, cooperativeAnswers;
    gpu::Result beginSceneAnswer = gpu::kOk;
    gpu::Result drawAnswer = gpu::kOk;
    bool failRenderTargets = false;

    // What the device was left with.
    std::uint64_t calls = 0, draws = 0, resets = 0;
    int texturesCreated = 0, texturesReleased = 0;
    std::uint32_t renderStates[gpu::kRenderStateCount] = {};
    gpu::Light lights[gpu::kMaxLights];
    bool lightEnabled[gpu::kMaxLights] = {};
    gpu::Material material;
    engine::math::Matrix4x4 world = engine::math::Matrix4x4::Identity;
    gpu::Texture* textures[gpu::kMaxTextureStages] = {};

    gpu::Result TestCooperativeLevel() override { return Answer("TestCooperativeLevel", cooperativeAnswers); }
    gpu::Result Reset(gpu::PresentParameters&) override {
        ++resets;
        return Note("Reset");
    }
    gpu::Result BeginScene() override {
        Note("BeginScene");
        return beginSceneAnswer;
    }
    gpu::Result EndScene() override { return Note("EndScene"); }
    gpu::Result Clear(std::uint32_t flags, gpu::Color color, float, std::uint32_t) override {
        return Note(
            [&] { return std::string("Clear ") + std::to_string(flags) + " " + std::to_string(color); });
    }
    gpu::Result Present() override { return Answer("Present", presentAnswers); }

    gpu::Result GetRenderTarget(std::uint32_t index, gpu::Surface** surface) override {
        Note("GetRenderTarget");
        if (index != 0)
            return gpu::kInvalidCall;
        backBuffer->AddRef();
        *surface = backBuffer.Get();
        return gpu::kOk;
    }
    gpu::Result SetRenderTarget(std::uint32_t, gpu::Surface*) override { return Note("SetRenderTarget"); }
    gpu::Result StretchRect(gpu::Surface* source, gpu::Surface* destination,
                            gpu::TextureFilter filter) override {
        return Note([&] {
            return std::string("StretchRect ") + Label(source) + ">" + Label(destination) + " " +
                   std::to_string(filter);
        });
    }
    gpu::Result ReadPixels(gpu::Surface*, std::vector<std::uint8_t>&) override { return Note("ReadPixels"); }
    gpu::Result QueueReadPixels(gpu::Surface*) override { return Note("QueueReadPixels"); }
    gpu::Result TakeQueuedPixels(std::vector<std::uint8_t>&) override { return Note("TakeQueuedPixels"); }

    gpu::Result CreateTexture(std::uint32_t width, std::uint32_t, std::uint32_t, std::uint32_t usage,
                              std::uint32_t format, gpu::Texture** texture) override {
        Note([&] { return std::string("CreateTexture ") + std::to_string(width); });
        if (failRenderTargets && (usage & gpu::UsageRenderTarget) != 0)
            return gpu::kOutOfVideoMemory;
        *texture = MakeTexture(width, usage, format);
        return gpu::kOk;
    }
    gpu::Result CreateTextureFromFile(const std::wstring& path, gpu::Texture** texture,
                                      std::string* reason) override {
        Note("CreateTextureFromFile");
        if (!std::filesystem::is_regular_file(path)) {
            if (reason != nullptr)
                *reason = "cannot open the file";
            return gpu::kInvalidCall;
        }
        *texture = MakeTexture(4, 0, gpu::FormatA8R8G8B8);
        return gpu::kOk;
    }
    gpu::Result CreateVertexBuffer(std::uint32_t length, std::uint32_t, gpu::VertexBuffer** buffer) override {
        Note("CreateVertexBuffer");
        *buffer = new FakeBuffer<gpu::VertexBuffer>(length);
        return gpu::kOk;
    }
    gpu::Result CreateIndexBuffer(std::uint32_t length, std::uint32_t, std::uint32_t format,
                                  gpu::IndexBuffer** buffer) override {
        Note("CreateIndexBuffer");
        *buffer = new FakeIndexBuffer(length, format);
        return gpu::kOk;
    }
    gpu::Result CreateVertexDeclaration(const gpu::VertexElement* elements,
                                        gpu::VertexDeclaration** declaration) override {
        Note("CreateVertexDeclaration");
        auto* made = new FakeDeclaration;
        for (; elements->stream != 0xFF; ++elements)
            made->elements.push_back(*elements);
        *declaration = made;
        return gpu::kOk;
    }
    gpu::Result CreateProgram(const gpu::ProgramSource&, gpu::Program**, std::string* diagnostics) override {
        Note("CreateProgram");
        if (diagnostics != nullptr)
            *diagnostics = "the recording device compiles nothing";
        return gpu::kFail;
    }

    gpu::Result SetTransform(gpu::TransformState state, const engine::math::Matrix4x4& matrix) override {
        if (state == gpu::TransformWorld)
            world = matrix;
        return Note([&] { return std::string("SetTransform ") + std::to_string(state); });
    }
    gpu::Result GetTransform(gpu::TransformState, engine::math::Matrix4x4& matrix) override {
        matrix = world;
        return Note("GetTransform");
    }
    gpu::Result SetMaterial(const gpu::Material& value) override {
        material = value;
        return Note("SetMaterial");
    }
    gpu::Result SetLight(std::uint32_t index, const gpu::Light& light) override {
        lights[index] = light;
        return Note([&] { return std::string("SetLight ") + std::to_string(index); });
    }
    gpu::Result LightEnable(std::uint32_t index, bool enable) override {
        lightEnabled[index] = enable;
        return Note([&] {
            return std::string("LightEnable ") + std::to_string(index) + "=" + std::to_string(enable);
        });
    }
    gpu::Result SetRenderState(gpu::RenderState state, std::uint32_t value) override {
        renderStates[state] = value;
        return Note([&] {
            return std::string("SetRenderState ") + std::to_string(state) + "=" + std::to_string(value);
        });
    }
    gpu::Result GetRenderState(gpu::RenderState state, std::uint32_t& value) override {
        value = renderStates[state];
        return Note("GetRenderState");
    }
    gpu::Result SetTexture(std::uint32_t stage, gpu::Texture* texture) override {
        textures[stage] = texture;
        return Note(
            [&] { return std::string("SetTexture ") + std::to_string(stage) + "=" + Label(texture); });
    }
    gpu::Result SetSamplerState(std::uint32_t, gpu::SamplerState, std::uint32_t) override {
        return Note("SetSamplerState");
    }
    gpu::Result SetProgram(gpu::Program*) override { return Note("SetProgram"); }
    void CaptureState(gpu::StateBlock&) override { Note("CaptureState"); }
    void ApplyState(const gpu::StateBlock&) override { Note("ApplyState"); }

    gpu::Result SetVertexDeclaration(gpu::VertexDeclaration*) override {
        return Note("SetVertexDeclaration");
    }
    gpu::Result SetStreamSource(std::uint32_t, gpu::VertexBuffer*, std::uint32_t, std::uint32_t) override {
        return Note("SetStreamSource");
    }
    gpu::Result SetIndices(gpu::IndexBuffer*) override { return Note("SetIndices"); }
    gpu::Result DrawIndexedPrimitive(std::uint32_t, std::int32_t, std::uint32_t, std::uint32_t numVertices,
                                     std::uint32_t, std::uint32_t) override {
        ++draws;
        Note([&] { return std::string("Draw ") + std::to_string(numVertices); });
        return drawAnswer;
    }

    gpu::Result GetDeviceCaps(gpu::Caps& caps) override {
        caps = gpu::Caps{};
        return Note("GetDeviceCaps");
    }
    void ReleaseContext() override { Note("ReleaseContext"); }
    void InjectDeviceLoss(std::uint32_t) override { Note("InjectDeviceLoss"); }

    gpu::Ref<FakeSurface> backBuffer;

private:
    // Only builds the line when someone reads it, so that counting stays cheap in benchmarks.
    template <typename Text>
    gpu::Result Note(const Text& text) {
        ++calls;
        if (log == nullptr)
            return gpu::kOk;
        if constexpr (std::is_invocable_v<Text>)
            log->push_back(text());
        else
            log->push_back(text);
        return gpu::kOk;
    }
    gpu::Result Answer(const char* name, std::deque<gpu::Result>& answers) {
        Note(name);
        if (answers.empty())
            return gpu::kOk;
        const gpu::Result answer = answers.front();
        answers.pop_front();
        return answer;
    }
    FakeTexture* MakeTexture(std::uint32_t size, std::uint32_t usage, std::uint32_t format) {
        ++texturesCreated;
        return new FakeTexture("tex" + std::to_string(texturesCreated), size, usage, format,
                               &texturesReleased);
    }
    static std::string Label(gpu::Surface* surface) {
        auto* fake = dynamic_cast<FakeSurface*>(surface);
        return fake != nullptr ? fake->label : "null";
    }
    static std::string Label(gpu::Texture* texture) {
        auto* fake = dynamic_cast<FakeTexture*>(texture);
        return fake != nullptr ? fake->label : "null";
    }
};

} // namespace quorvel::test
