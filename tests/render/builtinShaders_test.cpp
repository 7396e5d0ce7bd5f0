// The fixed-function shaders on a recording device: the colours they give the device, their pass
// state and its undoing, texture stage 0, the geometry bind cache and the failed-draw box.
#include "render/ambientShader.h"
#include "render/diffuseShader.h"
#include "render/mesh.h"
#include "render/rendererFixture.h"
#include "render/wireframeShader.h"
#include "resources/resourceTypes.h"

#include <gmock/gmock.h>

#include <fstream>

using namespace quorvel::test;
using namespace engine::gfx;
using ::testing::ElementsAre;

namespace {

class BuiltinShaderTest : public RendererTest {
protected:
    void SetUp() override {
        RendererTest::SetUp();
        vertexBuffer = gpu::Ref<gpu::VertexBuffer>::Adopt(new FakeBuffer<gpu::VertexBuffer>(48));
        indexBuffer = gpu::Ref<gpu::IndexBuffer>::Adopt(new FakeIndexBuffer(12, gpu::FormatIndex16));
        declaration = gpu::Ref<gpu::VertexDeclaration>::Adopt(new FakeDeclaration);
    }
    boost::shared_ptr<RenderObject> Object(int label, const boost::shared_ptr<Effect>& effect) {
        auto object = MakeObject(label, effect);
        object->vertexBuffer = vertexBuffer.Get();
        object->indexBuffer = indexBuffer.Get();
        object->declaration = declaration.Get();
        object->stride = 12;
        return object;
    }
    gpu::Ref<gpu::VertexBuffer> vertexBuffer;
    gpu::Ref<gpu::IndexBuffer> indexBuffer;
    gpu::Ref<gpu::VertexDeclaration> declaration;
};

void ExpectColor(const gpu::ColorValue& c, float r, float g, float b, float a) {
    EXPECT_FLOAT_EQ(c.r, r);
    EXPECT_FLOAT_EQ(c.g, g);
    EXPECT_FLOAT_EQ(c.b, b);
    EXPECT_FLOAT_EQ(c.a, a);
}

} // namespace

TEST(BuiltinShaders, AnswerTheirFixedQueries) {
    AmbientShader ambient;
    WireframeShader wireframe;
    DiffuseShader diffuse;
    EXPECT_EQ(ambient.GetName(), "Ambient");
    EXPECT_EQ(wireframe.GetName(), "Wireframe");
    EXPECT_EQ(diffuse.GetName(), "Diffuse");
    EXPECT_EQ(ambient.GetType(), 1);
    EXPECT_EQ(wireframe.GetType(), 2);
    EXPECT_EQ(diffuse.GetType(), 3);
    EXPECT_EQ(ambient.GetStreams(), (std::set<int>{0, 2}));
    EXPECT_EQ(wireframe.GetStreams(), (std::set<int>{0}));
    EXPECT_EQ(diffuse.GetStreams(), (std::set<int>{0, 1}));
    for (Shader* shader : std::initializer_list<Shader*>{&ambient, &wireframe, &diffuse}) {
        EXPECT_EQ(shader->GetPriority(), 100);
        EXPECT_TRUE(shader->IsSupported(gpu::Caps{}));
        EXPECT_FALSE(shader->GetRenderTarget());
    }
    Effect effect;
    effect.AddShader(boost::make_shared<AmbientShader>());
    effect.AddShader(boost::make_shared<DiffuseShader>());
    EXPECT_EQ(effect.GetStreams(), (std::set<int>{0, 1, 2}));
}

TEST(Material, StartsWhiteAndCopiesShareEffectAndTextures) {
    Material material;
    EXPECT_EQ(material.ambientColor[0], 1.0f);
    EXPECT_EQ(material.diffuseColor[2], 1.0f);
    EXPECT_EQ(material.specularColor[1], 0.0f);
    EXPECT_EQ(material.specularPower, 0.0f);
    material.effect = boost::make_shared<Effect>();
    material.textures[3] = boost::make_shared<engine::core::resources::ManagedTexture>(L"t.png");
    material.diffuseColor[1] = 0.25f;
    Material copy = material;
    EXPECT_EQ(copy.effect, material.effect);
    EXPECT_EQ(copy.textures[3], material.textures[3]);
    EXPECT_EQ(copy.diffuseColor[1], 0.25f);
}

TEST(RenderObject, StartsWithIdentityMatricesAndMeshCopiesItsData) {
    class PlainMesh : public Mesh {
    public:
        PlainMesh() : Mesh(L"plain") {}
        void Load() override {}
        void Unload() override {}
        void OnLostDevice() override {}
        void OnResetDevice() override {}
    } mesh;
    mesh.vertexCount = 4;
    mesh.primitiveCount = 2;
    mesh.stride = 20;
    mesh.material = boost::make_shared<Material>();
    mesh.vertexBuffer = gpu::Ref<gpu::VertexBuffer>::Adopt(new FakeBuffer<gpu::VertexBuffer>(80));
    auto object = mesh.CreateRenderObject();
    EXPECT_EQ(object->numVertices, 4);
    EXPECT_EQ(object->primitiveCount, 2);
    EXPECT_EQ(object->stride, 20);
    EXPECT_EQ(object->material, mesh.material);
    EXPECT_EQ(object->vertexBuffer, mesh.vertexBuffer.Get());
    EXPECT_EQ(object->primitiveType, gpu::PrimitiveTriangleList);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(object->world.m[i], engine::math::Matrix4x4::Identity.m[i]);
        EXPECT_EQ(object->worldInverse.m[i], engine::math::Matrix4x4::Identity.m[i]);
    }
}

TEST_F(BuiltinShaderTest, SameBuffersAreBoundOnce) {
    auto effect = MakeEffect({boost::make_shared<AmbientShader>()});
    scene->objects = {Object(1, effect), Object(2, effect)};
    Frame();
    EXPECT_EQ(Count("SetVertexDeclaration"), 1);
    EXPECT_EQ(Count("SetStreamSource"), 1);
    EXPECT_EQ(Count("SetIndices"), 1);
    EXPECT_EQ(Count("Draw"), 2);
    // The cache holds across frames too.
    Frame();
    EXPECT_EQ(Count("SetStreamSource"), 0);
}

TEST_F(BuiltinShaderTest, AmbientDrawsInTheAmbientColourAndUnbindsStaleTextures) {
    std::ofstream("t.png") << "x";
    auto effect = MakeEffect({boost::make_shared<AmbientShader>()});
    auto textured = Object(1, effect);
    textured->material->textures[0] =
        engine::core::ResourceManager::Get()->GetResource<engine::core::resources::ManagedTexture>(L"t.png");
    const std::string label = dynamic_cast<FakeTexture*>(textured->material->textures[0]->Retrieve())->label;
    auto plain = Object(2, effect);
    plain->material->ambientColor[0] = 0.5f;
    plain->world.m[12] = 7.0f;
    // Both in one batch, in either order: check each draw's texture binding just before it.
    scene->objects = {textured, plain};
    Frame();
    const std::vector<std::string> binds = Calls({"SetTexture", "Draw"});
    ASSERT_EQ(binds.size(), 4u);
    for (int i = 0; i < 4; i += 2)
        EXPECT_EQ(binds[i], binds[i + 1] == "Draw 1" ? "SetTexture 0=" + label : "SetTexture 0=null");
    scene->objects = {plain};
    Frame();
    EXPECT_EQ(device->textures[0], nullptr);
    ExpectColor(device->material.diffuse, 1, 1, 1, 1);
    ExpectColor(device->material.ambient, 0.5f, 1, 1, 0);
    ExpectColor(device->material.specular, 0, 0, 0, 0);
    EXPECT_EQ(device->world.m[12], 7.0f);
}

TEST_F(BuiltinShaderTest, WireframeBatchLeavesTheFillModeSolid) {
    auto effect = MakeEffect({boost::make_shared<WireframeShader>()});
    scene->objects = {Object(1, effect), Object(2, effect)};
    Frame();
    EXPECT_THAT(Calls({"SetRenderState 8", "Draw"}),
                ElementsAre("SetRenderState 8=2", "Draw 1", "Draw 2", "SetRenderState 8=3"));
    EXPECT_EQ(device->renderStates[gpu::RsFillMode], gpu::FillSolid);
    ExpectColor(device->material.diffuse, 0, 0, 0, 0);
    ExpectColor(device->material.ambient, 1, 1, 1, 0);
    EXPECT_EQ(Calls({"SetTexture"}).back(), "SetTexture 0=null");
}

TEST_F(BuiltinShaderTest, DiffuseLightsFromTheFirstLightAndRestoresAfterwards) {
    engine::gfx::LightManager::Get()->AddLight();
    engine::gfx::LightManager::Get()->positions[0] = {1, 2, 3, 1};
    auto effect = MakeEffect({boost::make_shared<DiffuseShader>()});
    auto object = Object(1, effect);
    object->material->specularColor[2] = 0.5f;
    object->material->specularPower = 8.0f;
    scene->objects = {object};
    Frame();
    EXPECT_THAT(Calls({"SetLight", "LightEnable", "SetRenderState 139", "Draw"}),
                ElementsAre("SetLight 0", "LightEnable 0=1", "SetRenderState 139=2863311530", "Draw 1",
                            "SetRenderState 139=4294967295", "LightEnable 0=0"));
    const gpu::Light& light = device->lights[0];
    EXPECT_EQ(light.type, gpu::LightPoint);
    EXPECT_EQ(light.position.x, 1.0f);
    EXPECT_EQ(light.position.z, 3.0f);
    ExpectColor(light.diffuse, 1, 1, 1, 0);
    EXPECT_EQ(light.range, 1000.0f);
    EXPECT_EQ(light.attenuation0, 1.0f);
    EXPECT_EQ(light.attenuation1 + light.attenuation2, 0.0f);
    EXPECT_FALSE(device->lightEnabled[0]);
    ExpectColor(device->material.diffuse, 1, 1, 1, 0);
    ExpectColor(device->material.specular, 0, 0, 0.5f, 0);
    EXPECT_EQ(device->material.power, 8.0f);
}

TEST_F(BuiltinShaderTest, DiffuseUsesTheOriginWhileNoLightExists) {
    scene->objects = {Object(1, MakeEffect({boost::make_shared<DiffuseShader>()}))};
    Frame();
    EXPECT_EQ(device->lights[0].position.x, 0.0f);
    EXPECT_EQ(device->lights[0].position.y, 0.0f);
    EXPECT_EQ(device->lights[0].position.z, 0.0f);
}

TEST_F(BuiltinShaderTest, AFailedDrawShowsTheBoxAndTheFrameGoesOn) {
    auto effect = MakeEffect({boost::make_shared<WireframeShader>()});
    scene->objects = {Object(1, effect), Object(2, effect)};
    device->drawAnswer = gpu::kInvalidCall;
    Frame();
    EXPECT_EQ(Count("Draw"), 2);
    EXPECT_EQ(Count("Present"), 1);
    ASSERT_EQ(boxes.boxes.size(), 2u);
    EXPECT_EQ(boxes.boxes[0].text, L"Could Not Render");
    EXPECT_EQ(boxes.boxes[0].caption, L"WireframeShader::Render");
    EXPECT_EQ(boxes.boxes[0].owner, engine::platform::MessageBoxOwner::None);
}
