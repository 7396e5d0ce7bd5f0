// The renderer on the real OpenGL device, offscreen: what the built-in shaders put on the screen, a
// picture drawn into a render target and sampled by a later pass, and recovery from a lost device.
// Pictures are read back from "lastFrame", which every frame here refreshes.
#include "render/ambientShader.h"
#include "render/diffuseShader.h"
#include "render/mesh.h"
#include "render/wireframeShader.h"
#include "scene/geometry.h"
#include "scene/light.h"
#include "support/glRenderer.h"
#include <engine/scene.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

using namespace quorvel::test;
using namespace engine::gfx;
using engine::core::ResourceManager;
using engine::core::resources::RenderTargetTexture;

namespace {

constexpr int kSize = 64;
// At z = 5 a field of view of 45 degrees spans 5 * tan(22.5 degrees) either side of the centre.
constexpr float kDepth = 5.0f;
constexpr float kHalfView = 2.0710678f;

// A rectangle at depth kDepth facing the camera, with normals towards it and texture coordinates
// running from the top-left corner.
class QuadMesh : public Mesh {
public:
    QuadMesh(gpu::Device& device, float x0, float y0, float x1, float y1) : Mesh(L"quad") {
        const float v[] = {x0, y1, kDepth, 0, 0, -1, 0, 0, x1, y1, kDepth, 0, 0, -1, 1, 0,
                           x1, y0, kDepth, 0, 0, -1, 1, 1, x0, y0, kDepth, 0, 0, -1, 0, 1};
        const std::uint16_t indices[] = {0, 1, 2, 0, 2, 3};
        gpu::VertexBuffer* vb = nullptr;
        gpu::IndexBuffer* ib = nullptr;
        gpu::VertexDeclaration* decl = nullptr;
        void* data = nullptr;
        EXPECT_EQ(device.CreateVertexBuffer(sizeof v, gpu::UsageWriteOnly, &vb), gpu::kOk);
        vb->Lock(0, 0, &data, 0);
        std::memcpy(data, v, sizeof v);
        vb->Unlock();
        EXPECT_EQ(device.CreateIndexBuffer(sizeof indices, gpu::UsageWriteOnly, gpu::FormatIndex16, &ib),
                  gpu::kOk);
        ib->Lock(0, 0, &data, 0);
        std::memcpy(data, indices, sizeof indices);
        ib->Unlock();
        const gpu::VertexElement elements[] = {{0, 0, gpu::DeclFloat3, 0, gpu::UsagePosition, 0},
                                               {0, 12, gpu::DeclFloat3, 0, gpu::UsageNormal, 0},
                                               {0, 24, gpu::DeclFloat2, 0, gpu::UsageTexCoord, 0},
                                               gpu::kDeclEnd};
        EXPECT_EQ(device.CreateVertexDeclaration(elements, &decl), gpu::kOk);
        vertexBuffer = gpu::Ref<gpu::VertexBuffer>::Adopt(vb);
        indexBuffer = gpu::Ref<gpu::IndexBuffer>::Adopt(ib);
        declaration = gpu::Ref<gpu::VertexDeclaration>::Adopt(decl);
        vertexCount = 4;
        primitiveCount = 2;
        stride = 32;
        material = boost::make_shared<Material>();
    }
    void Load() override {}
    void Unload() override {}
    void OnLostDevice() override {}
    void OnResetDevice() override {}
};

// An ambient shader that draws into a render target.
class TargetedAmbientShader : public AmbientShader {
public:
    explicit TargetedAmbientShader(boost::shared_ptr<RenderTargetTexture> texture) {
        target = std::move(texture);
    }
};

// Draws its objects white, textured with a render target's picture, after everything at priority 100.
class SamplingShader : public AmbientShader {
public:
    explicit SamplingShader(boost::shared_ptr<RenderTargetTexture> source) : source(std::move(source)) {}
    int GetPriority() override { return 200; }
    void Render(boost::shared_ptr<RenderObject> object) override {
        gpu::Device* device = ShaderDevice();
        gpu::Material white;
        white.ambient = {1, 1, 1, 1};
        device->SetMaterial(white);
        device->SetTransform(gpu::TransformWorld, object->world);
        device->SetTexture(0, source->Retrieve());
        ShaderRenderer()->GetDrawStateCache().Bind(*device, *object);
        device->DrawIndexedPrimitive(object->primitiveType, 0, 0, object->numVertices, 0,
                                     object->primitiveCount);
    }
    boost::shared_ptr<RenderTargetTexture> source;
};

std::vector<std::uint32_t> sleeps;

class RendererGlTest : public GlRendererTest {
protected:
    RendererGlTest() : GlRendererTest(kSize, kSize, 0, kSize) {}

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(GlRendererTest::SetUp());
        sleeps.clear();
        renderer.SetSleepFunction([](std::uint32_t ms) {
            sleeps.push_back(ms);
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        });
        base = boost::make_shared<Node>(renderer.GetRootNode().get());
        renderer.AttachToRoot(base);
    }
    void TearDown() override {
        base.reset();
        GlRendererTest::TearDown();
        const std::string text = log.CloseAndRead();
        EXPECT_EQ(text.find("GL error"), std::string::npos) << text;
    }

    // A quad of the given rectangle drawn with one shader; its material is returned for colouring.
    boost::shared_ptr<Material> Add(boost::shared_ptr<Shader> shader, float x0, float y0, float x1,
                                    float y1) {
        auto mesh = boost::make_shared<QuadMesh>(*window->device, x0, y0, x1, y1);
        mesh->material->effect = boost::make_shared<Effect>();
        mesh->material->effect->AddShader(std::move(shader));
        base->AddChild(boost::make_shared<Geometry>(mesh, base.get()));
        return mesh->material;
    }
    boost::shared_ptr<Material> AddFullView(boost::shared_ptr<Shader> shader) {
        return Add(std::move(shader), -kHalfView, -kHalfView, kHalfView, kHalfView);
    }
    // Draws the top-left quarter red into the target, then samples the target over the whole view.
    void BuildRenderToTexture(boost::shared_ptr<RenderTargetTexture> target) {
        auto red = Add(boost::make_shared<TargetedAmbientShader>(target), -3, 0, 0, 3);
        red->ambientColor[1] = red->ambientColor[2] = 0.0f;
        AddFullView(boost::make_shared<SamplingShader>(target));
    }
    boost::shared_ptr<Node> base;
};

} // namespace

TEST_F(RendererGlTest, AmbientDrawsTheAmbientColour) {
    auto material = AddFullView(boost::make_shared<AmbientShader>());
    material->ambientColor[1] = material->ambientColor[2] = 0.0f;
    Frame();
    EXPECT_TRUE(Near(Pixel(32, 32), 255, 0, 0)) << Pixel(32, 32);
    EXPECT_TRUE(Near(Pixel(2, 2), 255, 0, 0)) << Pixel(2, 2);
}

TEST_F(RendererGlTest, WireframeDrawsOnlyTheEdges) {
    auto material = Add(boost::make_shared<WireframeShader>(), -1, -1, 1, 1);
    material->ambientColor[0] = material->ambientColor[2] = 0.0f;
    Frame();
    int green = 0;
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            green += Near(Pixel(x, y), 0, 255, 0) ? 1 : 0;
    // The outline and the diagonal of a 31-pixel square: lines, not a filled area.
    EXPECT_GT(green, 60);
    EXPECT_LT(green, 200);
    EXPECT_TRUE(Near(Pixel(38, 26), 0, 0, 0)) << Pixel(38, 26);
}

TEST_F(RendererGlTest, DiffuseIsLitByTheFirstLight) {
    auto material = AddFullView(boost::make_shared<DiffuseShader>());
    material->ambientColor[0] = material->ambientColor[1] = material->ambientColor[2] = 0.0f;
    material->diffuseColor[0] = material->diffuseColor[1] = 0.0f;
    // No light yet: the origin, where the camera is, lights the quad head-on. Lighting is per vertex,
    // so the centre gets the corners' cosine, 5 / |(2.07, 2.07, 5)|.
    Frame();
    const int corner =
        static_cast<int>(255.0f * kDepth / std::sqrt(2 * kHalfView * kHalfView + kDepth * kDepth));
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 0, corner)) << Pixel(32, 32) << " against " << corner;
    // A lamp behind the quad leaves its front dark.
    auto lamp = boost::make_shared<Node>(base.get());
    Transform behind;
    behind.translation = {0, 0, 10};
    lamp->SetLocalTransform(behind);
    lamp->AddChild(boost::make_shared<Light>(lamp.get()));
    base->AddChild(lamp);
    Frame();
    EXPECT_TRUE(Near(Pixel(32, 32), 0, 0, 0)) << Pixel(32, 32);
}

TEST_F(RendererGlTest, ALaterPassSamplesWhatAnEarlierPassDrewIntoATarget) {
    auto target = boost::make_shared<RenderTargetTexture>(L"T", kSize);
    ResourceManager::Get()->AddUnmanaged(L"T", target);
    target->Load();
    BuildRenderToTexture(target);
    Frame();
    EXPECT_TRUE(Near(Pixel(16, 16), 255, 0, 0)) << Pixel(16, 16);
    EXPECT_TRUE(Near(Pixel(48, 16), 0, 0, 0)) << Pixel(48, 16);
    EXPECT_TRUE(Near(Pixel(16, 48), 0, 0, 0)) << Pixel(16, 48);
    EXPECT_TRUE(Near(Pixel(48, 48), 0, 0, 0)) << Pixel(48, 48);
}

TEST_F(RendererGlTest, ALostDeviceWaitsThenComesBackWithItsTargets) {
    auto target = boost::make_shared<RenderTargetTexture>(L"T", kSize);
    ResourceManager::Get()->AddUnmanaged(L"T", target);
    target->Load();
    BuildRenderToTexture(target);
    window->device->InjectDeviceLoss(2);
    Frame();
    EXPECT_TRUE(renderer.IsDeviceLost());
    EXPECT_EQ(target->Retrieve(), nullptr);
    Frame();
    Frame();
    EXPECT_EQ(sleeps, (std::vector<std::uint32_t>{200, 200}));
    EXPECT_TRUE(renderer.IsDeviceLost());
    Frame();
    EXPECT_FALSE(renderer.IsDeviceLost());
    ASSERT_NE(target->Retrieve(), nullptr);
    EXPECT_EQ(target->Retrieve()->Width(), static_cast<std::uint32_t>(kSize));
    // The same picture as before the loss: targets, camera and ambient light are all back.
    EXPECT_TRUE(Near(Pixel(16, 16), 255, 0, 0)) << Pixel(16, 16);
    EXPECT_TRUE(Near(Pixel(48, 48), 0, 0, 0)) << Pixel(48, 48);
    const std::string text = log.CloseAndRead();
    EXPECT_EQ(CountRows(text, "WARNING", "D3DDevice lost"), 1);
    EXPECT_EQ(CountRows(text, "MESSAGE", "D3DDevice reseting"), 1);
}
