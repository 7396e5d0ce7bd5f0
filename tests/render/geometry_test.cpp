// Geometry in the scene graph: it submits its mesh with its parent's matrices of the same frame,
// and the inverse composes child first.
#include "math/operators.h"
#include "render/mesh.h"
#include "render/rendererFixture.h"
#include "scene/geometry.h"
#include <engine/scene.h>

#include <cmath>
#include <numbers>

using namespace quorvel::test;
using namespace engine::gfx;
using engine::math::Matrix4x4;
using engine::math::operator*;

namespace {

class PlainMesh : public Mesh {
public:
    PlainMesh() : Mesh(L"plain") { vertexCount = 3; }
    void Load() override {}
    void Unload() override {}
    void OnLostDevice() override {}
    void OnResetDevice() override {}
};

Transform Translated(float x, float y, float z) {
    Transform t;
    t.translation = {x, y, z};
    return t;
}

class GeometryTest : public RendererTest {
protected:
    void SetUp() override {
        RendererTest::SetUp();
        mesh->material = boost::make_shared<Material>();
        mesh->material->effect = MakeEffect({MakeShader("S")});
        parent = boost::make_shared<Node>(renderer.GetRootNode().get());
        geometry = boost::make_shared<Geometry>(mesh, parent.get());
        parent->AddChild(geometry);
        renderer.ClearRoot();
        renderer.AttachToRoot(parent);
    }
    boost::shared_ptr<PlainMesh> mesh = boost::make_shared<PlainMesh>();
    boost::shared_ptr<Node> parent;
    boost::shared_ptr<Geometry> geometry;
};

} // namespace

TEST_F(GeometryTest, SubmitsTheMeshWithItsParentsMatrices) {
    parent->SetLocalTransform(Translated(1, 2, 3));
    renderer.GetRootNode()->Update(&renderer);
    ASSERT_EQ(renderer.GetQueue().size(), 1u);
    const RenderObject& object = *renderer.GetQueue()[0].object;
    EXPECT_EQ(object.numVertices, 3);
    EXPECT_EQ(object.material, mesh->material);
    EXPECT_FLOAT_EQ(object.world.m[13], 2.0f);
    EXPECT_FLOAT_EQ(object.worldInverse.m[14], -3.0f);
}

TEST_F(GeometryTest, FollowsItsParentMovedInTheSameFrame) {
    parent->SetLocalTransform(Translated(0, 0, 1));
    EXPECT_FLOAT_EQ(geometry->GetWorldMatrix().m[14], 1.0f);
    EXPECT_FLOAT_EQ(geometry->GetLocalMatrix().m[14], 1.0f);
    EXPECT_FLOAT_EQ(geometry->GetLocalInverse().m[14], -1.0f);
}

TEST_F(GeometryTest, NullRendererSubmitsNothing) {
    geometry->Update(nullptr);
    EXPECT_TRUE(renderer.GetQueue().empty());
    Geometry empty(nullptr, parent.get());
    empty.Update(&renderer);
    EXPECT_TRUE(renderer.GetQueue().empty());
}

TEST_F(GeometryTest, InverseComposesChildFirstThroughTheChain) {
    // Root A rotated 90 degrees about z and moved by (5, 0, 0); B below it moved by (1, 0, 0).
    Transform a = Translated(5, 0, 0);
    a.rotation = {0, 1, 0, -1, 0, 0, 0, 0, 1};
    parent->SetParent(nullptr);
    parent->SetLocalTransform(a);
    auto child = boost::make_shared<Node>(parent.get());
    child->SetLocalTransform(Translated(1, 0, 0));
    auto leaf = boost::make_shared<Geometry>(mesh, child.get());
    child->AddChild(leaf);
    parent->AddChild(child);
    parent->Update(&renderer);

    const Matrix4x4 expected = child->GetLocalInverse() * parent->GetLocalInverse();
    const Matrix4x4 inverse = leaf->GetWorldInverse();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(inverse.m[i], expected.m[i], 1e-5f) << i;
    const engine::math::Vector3f origin = leaf->GetWorldMatrix().GetTranslation();
    EXPECT_NEAR(origin.x, 5.0f, 1e-5f);
    EXPECT_NEAR(origin.y, 1.0f, 1e-5f);
}
