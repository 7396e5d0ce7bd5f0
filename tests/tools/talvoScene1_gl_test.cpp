// Scene 1 as the build makes it, loaded from data/ and drawn on offscreen OpenGL as the demo shows
// it: the program's render targets, the global curves played every pass, the scene as the renderer's
// root, with the array modifier and the spark fountain the program hangs on its nodes (repeatable
// particles). The log must stay free of warnings and errors, the first picture must be black (the
// scene fades in) and a later one must show something that is neither empty nor one colour.
//
// QUORVEL_SCENE_FRAMES=<folder> also draws the whole scene and writes a picture every two seconds
// into that folder, to look at.
#include "support/glScene.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using namespace quorvel::test;
using namespace engine::gfx;

namespace fs = std::filesystem;

namespace {

constexpr int kSize = 256;

class SceneOneTest : public GlSceneTest {
protected:
    SceneOneTest() : GlSceneTest(kSize, kSize) {}

    // What the program's timeline attaches to scene 1, in its order.
    void Decorate() {
        engine::ArrayInfo array;
        array.object = loader->GetNode("Cube").get();
        engine::ArrayEntry entry;
        entry.offsetObject = loader->GetNode("Offset").get();
        entry.count = 100;
        entry.useObjectOffset = true;
        array.entries.push_back(entry);
        engine::AddArrayModifier(array, NodeNamed("Offset"));

        EmitterInfo sparks;
        sparks.color = {0.88f, 0.0f, 0.0f, 1.0f};
        sparks.colorChange = {1.0f, 1.0f, 1.0f, -0.5f};
        sparks.velocity = {0.0f, 40.0f, 0.0f};
        sparks.velocityVariance = {4.0f, 4.0f, 0.0f};
        sparks.effect = engine::BuildEffect("data/particle.efx");
        sparks.size = 3.0f;
        sparks.spinVariance = 10.0f;
        sparks.maxParticles = 30;
        sparks.particleCount = 0;
        sparks.emitInterval = 0.17f;
        engine::AddParticleEmitter(NodeNamed("particleEmitter"), sparks);
    }

    void Load() {
        GlSceneTest::Load(1, [this] { Decorate(); });
    }

    Picture Read() { return ReadLastFrame(); }
};

TEST_F(SceneOneTest, LoadsWithoutWarningsFadesInAndDrawsAPicture) {
    Load();
    ASSERT_NE(loader, nullptr);
    for (const char* node : {"Cube", "Offset", "particleEmitter"})
        EXPECT_TRUE(loader->GetNode(node)) << node;
    EXPECT_EQ(loader->GetLength(), 384);

    const char* folder = std::getenv("QUORVEL_SCENE_FRAMES");
    const int frames = folder != nullptr ? loader->GetLength() : 100;
    Picture first, last;
    for (int frame = 1; frame <= frames; ++frame) {
        Frame();
        if (frame == 1)
            first = Read();
        if (frame == 100)
            last = Read();
        if (folder != nullptr && (frame == 1 || frame % 50 == 0)) {
            const Picture shown = Read();
            const std::string path = std::string(folder) + "/scene1-" + std::to_string(frame) + ".png";
            WritePng(path, shown);
        }
    }

    EXPECT_LT(Brightest(first), 8) << "the scene does not start black";
    EXPECT_GT(ShareAbove(last, 40), 0.01) << "hardly anything is lit after four seconds";
    EXPECT_GT(1.0 - ShareAbove(last, 40), 0.2) << "the picture is not dark around what is lit";
    // Per channel 8, and one pixel in two hundred, as the renderer's own picture test allows.
    ExpectMatchesReference(last, std::filesystem::path(QUORVEL_SCENE_REFERENCES) / "scene1.png", 8,
                           last.width * last.height / 200);

    const std::string text = log.CloseAndRead();
    EXPECT_TRUE(Rows(text, "WARNING").empty()) << text;
    EXPECT_TRUE(Rows(text, "ERROR").empty()) << text;
}

} // namespace
