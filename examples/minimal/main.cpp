// A minimal demo: one scene, a turning crate with a fountain of sparks above it, played with its music
// until the scene ends (or for --frames N frames), or rendered frame by frame into a video or a folder
// of pictures with --capture OUT. Everything it loads lies in data/ beside it, which the build compiles
// from content/.
#include <engine/engine.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

// The scene's length: 100 frames of the content's 25 a second.
constexpr double kSceneSeconds = 4.0;
constexpr int kEscape = 27;

class Fountain : public engine::core::Module {
public:
    explicit Fountain(long frameLimit) : frameLimit(frameLimit) { priority = 10000; }

    bool Start() override {
        scene = engine::gfx::DemoLoader::CreateInstance(L"data/fountain.demo");
        auto* node = dynamic_cast<engine::gfx::Node*>(scene->GetNode("Fountain").get());
        engine::gfx::EmitterInfo sparks;
        sparks.color = engine::math::Vector4f(1.0f, 0.6f, 0.1f, 1.0f);
        sparks.colorChange = engine::math::Vector4f(0.0f, -0.3f, 0.0f, -0.8f);
        sparks.velocity = engine::math::Vector3f(0.0f, 25.0f, 0.0f);
        sparks.velocityVariance = engine::math::Vector3f(8.0f, 6.0f, 8.0f);
        sparks.acceleration = engine::math::Vector3f(0.0f, -20.0f, 0.0f);
        sparks.effect = engine::BuildEffect("data/particle.efx");
        // Sizes are in scene units, and the engine skips emitters smaller than one.
        sparks.size = 1.5f;
        sparks.maxParticles = 200;
        sparks.particleCount = 0;
        sparks.emitInterval = 0.01f;
        engine::AddParticleEmitter(node, sparks);
        engine::SetRootNode(scene->GetBaseNode());
        return true;
    }
    void Update() override {
        ++frames;
        if (engine::GetTime() >= kSceneSeconds || engine::isPressed(kEscape) ||
            (frameLimit > 0 && frames >= frameLimit))
            engine::QuitApplication();
    }
    void Stop() override { scene->DestroyInstance(); }

private:
    engine::gfx::DemoLoader* scene = nullptr;
    long frameLimit;
    long frames = 0;
};

} // namespace

int main(int argc, char* argv[]) {
    long frameLimit = 0;
    std::string capture;
    if (argc == 3 && std::string(argv[1]) == "--frames") {
        frameLimit = std::strtol(argv[2], nullptr, 10);
    } else if (argc == 3 && std::string(argv[1]) == "--capture") {
        capture = std::filesystem::absolute(argv[2]).string();
    } else if (argc != 1) {
        std::fprintf(stderr, "usage: minimal [--frames N | --capture OUT.mp4|FOLDER]\n");
        return 2;
    }
    // The engine reads data/... from the working folder: work from the folder the program lies in.
    std::filesystem::current_path(std::filesystem::read_symlink("/proc/self/exe").parent_path());

    Fountain fountain(frameLimit);
    try {
        if (!capture.empty()) {
            engine::CaptureSettings frames;
            frames.output = capture;
            frames.framesPerSecond = 25;
            frames.width = 640;
            frames.height = 360;
            frames.endSeconds = kSceneSeconds;
            engine::UseCapture(frames);
        }
        engine::WindowSettings settings;
        settings.width = 640;
        settings.height = 360;
        settings.title = L"Minimal";
        engine::CreateTALVOWindow(settings);
        engine::AddModule(&fountain, 100);
        engine::StartApplication();
    } catch (const engine::core::Exception& failure) {
        std::fprintf(stderr, "minimal: %ls (%ls)\n", failure.GetText().c_str(),
                     failure.GetFunction().c_str());
        return 1;
    }
    return 0;
}
