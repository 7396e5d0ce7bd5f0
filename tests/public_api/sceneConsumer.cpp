// Built against <engine/engine.h> and libengine.so alone (the fixture files come from our format
// writers): a program opens the window offscreen, loads a scene, hangs an array modifier and a particle
// emitter on named nodes, draws a few frames and quits, with nothing but MESSAGE rows in the log.
#include "game/demoFixture.h"

#include <engine/engine.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

class OneSceneProgram : public engine::core::Module {
public:
    bool Start() override {
        scene = engine::gfx::DemoLoader::CreateInstance(L"data/scene1.demo");
        cube = scene->GetNode("Cube");
        auto* offset = dynamic_cast<engine::gfx::Node*>(scene->GetNode("Offset").get());
        auto* emitterNode = dynamic_cast<engine::gfx::Node*>(scene->GetNode("particleEmitter").get());
        if (offset == nullptr || emitterNode == nullptr)
            return false;

        engine::ArrayInfo array;
        array.object = cube.get();
        array.entries.push_back({engine::math::Vector3f(0, 0, 0), offset, 100, false, true});
        engine::AddArrayModifier(array, offset);
        modifierAttached = offset->GetChildren().size() == 2;

        engine::gfx::EmitterInfo fountain;
        fountain.effect = engine::BuildEffect("data/particle.efx");
        fountain.particleCount = 10;
        engine::AddParticleEmitter(emitterNode, fountain);
        emitterAttached = emitterNode->GetChildren().size() == 1;

        engine::SetRootNode(scene->GetBaseNode());
        return true;
    }
    void Update() override {
        if (++passes == 3)
            engine::QuitApplication();
    }
    void Stop() override { scene->DestroyInstance(); }

    engine::gfx::DemoLoader* scene = nullptr;
    boost::shared_ptr<engine::gfx::Spatial> cube;
    bool modifierAttached = false;
    bool emitterAttached = false;
    int passes = 0;
};

int Fail(const char* what) {
    std::fprintf(stderr, "scene through the public interface failed: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2)
        return Fail("usage: sceneConsumer EMPTY_FOLDER");
    std::filesystem::create_directories(std::filesystem::path(argv[1]) / "data");
    std::filesystem::current_path(argv[1]);
    quorvel::test::WriteDemoFixture({25, 0, 0, 0, 0, 0, 0, 0, 0});

    OneSceneProgram program;
    try {
        engine::WindowSettings settings;
        settings.width = 64;
        settings.height = 48;
        engine::CreateTALVOWindow(settings);
        engine::AddModule(&program, 10100);
        engine::StartApplication();
    } catch (const engine::core::Exception& error) {
        std::fprintf(stderr, "%ls: %ls\n", error.GetFunction().c_str(), error.GetText().c_str());
        return Fail("engine exception");
    }
    if (!program.modifierAttached)
        return Fail("array modifier under its node");
    if (!program.emitterAttached)
        return Fail("emitter under its node");
    if (program.passes != 3)
        return Fail("passes drawn");
    std::puts("scene through the public interface ok");
    return 0;
}
