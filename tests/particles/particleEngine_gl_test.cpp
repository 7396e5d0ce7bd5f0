// Emitters drawn by the real renderer on OpenGL, offscreen: a fountain of coloured billboards with the
// shipped particle effect and a trail circling it, under a tilted scene root, from a fixed seed at
// fixed time steps. The last frame must match the stored reference picture within a tolerance, and the
// log must hold no warning or error.
//
// QUORVEL_UPDATE_REFERENCES=1 rewrites the reference picture from this run instead of comparing.
#include "particles/particleEngine.h"
#include "support/glRenderer.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

using namespace quorvel::test;
using namespace engine::gfx;
using engine::math::Matrix3x3;

namespace fs = std::filesystem;

namespace {

// Square, so that "lastFrame" of the same size is an unscaled copy of the back buffer.
constexpr int kSize = 128;
constexpr int kFrames = 40;
// Longer than the "lastFrame" period, so every frame is copied.
constexpr std::uint64_t kFrameMicros = 50000;
// Room for another rasteriser's rounding, far too little for particles in the wrong place or colour.
constexpr int kChannelTolerance = 8;
constexpr int kAllowedDifferentPixels = kSize * kSize / 200;

// The trail is opaque and sorts first, by priority, so that the additive particles always blend over
// the picture it leaves, whatever order the effects would otherwise take.
const char kParticleEfx[] = R"(effect = {
    { priority = 1, pass = { { priority = 100, fx = "particle", tec = "Additive", params = {}, streams = { "pos", "tex" } } } },
}
)";
const char kTrailEfx[] = R"(effect = {
    { priority = 1, pass = { { priority = 90, fx = "trail", tec = "Tube", params = {}, streams = { "pos" } } } },
}
)";
const char kTrailFx[] = R"(float4x4 WorldViewProjection : WorldViewProjection;

technique Tube { pass Solid { VertexShader = TubeVertex; FragmentShader = TubeFragment; CullMode = None; } }

-- glsl TubeVertex
in vec3 POSITION;
in vec4 TEXCOORD0;
out vec4 colour;
void main()
{
    colour = TEXCOORD0;
    gl_Position = WorldViewProjection * vec4(POSITION, 1.0);
}

-- glsl TubeFragment
in vec4 colour;
out vec4 FragmentColor;
void main()
{
    FragmentColor = colour;
}
)";

Transform Pose(float x, float y, float z, Matrix3x3 rotation) {
    Transform t;
    t.translation = {x, y, z};
    t.rotation = rotation;
    return t;
}

class FountainTest : public GlRendererTest {
protected:
    FountainTest() : GlRendererTest(kSize, kSize, 0xFF101820, kSize) {}

    void SetUp() override {
        fs::create_directories("data/fx");
        fs::copy_file(QUORVEL_PARTICLE_EFFECT, "data/fx/particle.fx");
        std::ofstream("data/fx/trail.fx", std::ios::binary) << kTrailFx;
        std::ofstream("data/particle.efx", std::ios::binary) << kParticleEfx;
        std::ofstream("data/trail.efx", std::ios::binary) << kTrailEfx;
        ASSERT_NO_FATAL_FAILURE(GlRendererTest::SetUp());
        UseRepeatableParticles(2024);
        ResetEmissionClocks();
    }
    void TearDown() override {
        scene.reset();
        trailNode.reset();
        GlRendererTest::TearDown();
        UseClockSeededParticles();
        ResetEmissionClocks();
        const std::string text = log.CloseAndRead();
        EXPECT_TRUE(Rows(text, "WARNING").empty()) << text;
        EXPECT_TRUE(Rows(text, "ERROR").empty()) << text;
        EXPECT_EQ(text.find("GL error"), std::string::npos) << text;
    }

    // The scene root, tilted to look down on the fountain a little, with the fountain at its origin
    // and the trail's node circling it.
    void BuildScene() {
        const float tilt = 0.3f;
        scene = boost::make_shared<Node>(renderer.GetRootNode().get());
        scene->SetLocalTransform(
            Pose(0, -2.5f, 16,
                 {{1, 0, 0, 0, std::cos(tilt), std::sin(tilt), 0, -std::sin(tilt), std::cos(tilt)}}));
        renderer.ClearRoot();
        renderer.AttachToRoot(scene);
        renderer.SetScene(scene);

        auto fountainNode = boost::make_shared<Node>(scene.get());
        scene->AddChild(fountainNode);
        EmitterInfo fountain;
        fountain.color = {1.0f, 0.35f, 0.1f, 1};
        fountain.colorVariance = {0.3f, 0.3f, 0.6f, 0};
        fountain.colorChange = {-0.3f, 0.2f, 0.5f, -0.4f};
        fountain.velocity = {0, 8.5f, 0};
        fountain.velocityVariance = {2.5f, 1.5f, 2.5f};
        fountain.acceleration = {0, -9.8f, 0};
        fountain.effect = EffectPool::Get()->BuildEffect("data/particle.efx");
        fountain.size = 1.2f;
        fountain.sizeChange = 0.4f;
        fountain.spinVariance = 2;
        fountain.maxParticles = 120;
        fountain.particleCount = 0;
        fountain.emitInterval = 0.02f;
        fountainNode->AddChild(boost::make_shared<Emitter>(fountainNode.get(), fountain));

        trailNode = boost::make_shared<Node>(scene.get());
        scene->AddChild(trailNode);
        EmitterInfo trail;
        trail.color = {0.2f, 0.9f, 0.4f, 1};
        trail.colorChange = {0.4f, -0.3f, 0.3f, 0};
        trail.effect = EffectPool::Get()->BuildEffect("data/trail.efx");
        trail.size = 0.6f;
        trail.maxParticles = 24;
        trail.particleCount = 0;
        trail.emitInterval = 0.1f;
        trailNode->AddChild(boost::make_shared<CurveEmitter>(trailNode.get(), trail));
    }

    // The trail's node on a horizontal circle around the fountain, its local Y along the path so that
    // the rings stand across it.
    void MoveTrail(float seconds) {
        const float a = 1.6f * seconds;
        const float c = std::cos(a), s = std::sin(a);
        trailNode->SetLocalTransform(
            Pose(4 * c, 1.5f + 0.8f * std::sin(3 * a), 4 * s, {{c, 0, s, -s, 0, c, 0, 1, 0}}));
    }

    void Frame() { GlRendererTest::Frame(kFrameMicros); }

    boost::shared_ptr<Node> scene, trailNode;
};

TEST_F(FountainTest, AFountainAndATrailAreDrawnAsTheReferencePicture) {
    BuildScene();
    for (int frame = 1; frame <= kFrames; ++frame) {
        MoveTrail(frame * (kFrameMicros / 1e6f));
        Frame();
    }

    const Picture actual = ReadLastFrame();
    ASSERT_EQ(actual.width, kSize);
    ASSERT_EQ(actual.height, kSize);
    EXPECT_GT(ShareAbove(actual, 64), 0.02) << "hardly anything was drawn";

    ExpectMatchesReference(actual, QUORVEL_FOUNTAIN_REFERENCE, kChannelTolerance, kAllowedDifferentPixels);
}

} // namespace
