// The scene loader: the graph it builds from scene files made by the writer (static and animated nodes,
// the camera and what hangs under it, deferred parent links, meshes and lamps), and how it reports
// parents that name no object and parent links that would form a cycle.
#include "core/kernel.h"
#include "core/textConversion.h"
#include "core/timer.h"
#include "formats/demoWriter.h"
#include "formats/tvoWriter.h"
#include "math/operators.h"
#include "platform/window.h"
#include "render/effectPool.h"
#include "render/recordingDevice.h"
#include "render/shader.h"
#include "resources/TVOMesh.h"
#include "scene/demoLoader.h"
#include "scene/geometry.h"
#include "scene/light.h"
#include "scene/lightManager.h"
#include "support/logCapture.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quorvel::test;
using namespace engine::gfx;
using engine::core::Exception;
using engine::math::Vector3f;
using quorvel::formats::DemoObjectRecord;
using quorvel::formats::DemoWriter;

namespace {

class DemoLoaderTest : public ::testing::Test {
protected:
    void TearDown() override {
        delete engine::core::ResourceManager::mInstance;
        delete EffectPool::mInstance;
        SetShaderContext(nullptr, nullptr);
        delete engine::core::Kernel::mInstance;
        delete engine::core::CWin32Window::mInstance;
        delete LightManager::mInstance;
        delete engine::core::Timer::mInstance;
    }

    std::unique_ptr<DemoLoader> Load(const std::vector<DemoObjectRecord>& objects, int length = 250) {
        DemoWriter::Scene(length, objects).Save("data/scene.demo");
        return std::unique_ptr<DemoLoader>(DemoLoader::CreateInstance(L"data/scene.demo"));
    }
    // The text of the exception the load throws, after checking that its ERROR row reached the log.
    std::string LoadError(const std::vector<DemoObjectRecord>& objects) {
        return log.ExpectError([&] { Load(objects); });
    }

    ScopedLogDirectory log;
};

DemoObjectRecord Object(const std::string& name, const std::string& parent = "",
                        std::array<float, 3> position = {}) {
    DemoObjectRecord object;
    object.name = name;
    object.parentName = parent;
    object.position = position;
    return object;
}

DemoObjectRecord Camera(const std::string& name) {
    DemoObjectRecord camera = Object(name);
    camera.type = "Camera";
    return camera;
}

const std::vector<boost::shared_ptr<Spatial>>& Children(const boost::shared_ptr<Spatial>& node) {
    return dynamic_cast<Node&>(*node).GetChildren();
}

bool HasChild(const boost::shared_ptr<Spatial>& parent, const boost::shared_ptr<Spatial>& child) {
    const auto& children = Children(parent);
    return std::find(children.begin(), children.end(), child) != children.end();
}

void ExpectPoint(const Vector3f& p, float x, float y, float z) {
    EXPECT_NEAR(p.x, x, 1e-4f);
    EXPECT_NEAR(p.y, y, 1e-4f);
    EXPECT_NEAR(p.z, z, 1e-4f);
}

} // namespace

TEST_F(DemoLoaderTest, AnEmptySceneKeepsItsLength) {
    auto scene = Load({}, 750);
    ASSERT_TRUE(scene->GetBaseNode());
    EXPECT_TRUE(Children(scene->GetBaseNode()).empty());
    EXPECT_FALSE(scene->GetCameraNode());
    EXPECT_EQ(scene->GetLength(), 750);
    EXPECT_FALSE(scene->GetNode("anything"));
}

TEST_F(DemoLoaderTest, AnObjectWithoutCurvesIsAStaticPose) {
    DemoObjectRecord box = Object("Box", "", {1, 2, 3});
    box.rotation = {0, 0, 1.5707964f};
    auto scene = Load({box});
    boost::shared_ptr<Spatial> node = scene->GetNode("Box");
    ASSERT_TRUE(node);
    // Named first: clang warns that a call inside typeid is still made.
    const Spatial& nodeObject = *node;
    EXPECT_EQ(typeid(nodeObject), typeid(Node));
    EXPECT_TRUE(HasChild(scene->GetBaseNode(), node));
    EXPECT_EQ(node->GetParent(), scene->GetBaseNode().get());
    EXPECT_FALSE(node->GetLocalTransform().isIdentity);
    // Rotated 90 degrees about Z, then moved: the x axis turns into y.
    ExpectPoint(Vector3f(1, 0, 0) * node->GetWorldMatrix(), 1, 3, 3);
}

TEST_F(DemoLoaderTest, ALocationCurveReplacesOnlyItsAxisOfTheRestPose) {
    DemoObjectRecord mover = Object("Mover", "", {5, 6, 7});
    mover.curves = {{"LocX", "Constant", "Constant", {{0, 2, 0, 2, 0, 2}}}};
    auto scene = Load({mover});
    boost::shared_ptr<Spatial> node = scene->GetNode("Mover");
    ASSERT_TRUE(node);
    const Spatial& nodeObject = *node;
    EXPECT_EQ(typeid(nodeObject), typeid(AnimationNode));
    node->Update(nullptr);
    const Vector3f at = node->GetLocalTransform().translation;
    ExpectPoint(at, 2, 6, 7);
}

TEST_F(DemoLoaderTest, AChildNamedBeforeItsParentIsStillLinked) {
    auto scene = Load({Object("Child", "Parent", {1, 0, 0}), Object("Parent", "", {0, 10, 0})});
    auto child = scene->GetNode("Child");
    auto parent = scene->GetNode("Parent");
    EXPECT_TRUE(HasChild(parent, child));
    EXPECT_FALSE(HasChild(scene->GetBaseNode(), child));
    EXPECT_EQ(child->GetParent(), parent.get());
    scene->GetBaseNode()->Update(nullptr);
    ExpectPoint(Vector3f(0, 0, 0) * child->GetWorldMatrix(), 1, 10, 0);
}

TEST_F(DemoLoaderTest, ObjectsSharingANameAreEachLinkedToTheirParent) {
    auto scene = Load({Object("Twin", "P", {1, 0, 0}), Object("Twin", "P", {2, 0, 0}), Object("P")});
    const auto& children = Children(scene->GetNode("P"));
    ASSERT_EQ(children.size(), 2u);
    EXPECT_NE(children[0], children[1]);
    // The name table keeps the later one.
    EXPECT_EQ(children[1], scene->GetNode("Twin"));
}

TEST_F(DemoLoaderTest, ObjectsAfterTheCameraAreSeenThroughIt) {
    DemoObjectRecord camera = Camera("Cam");
    camera.position = {0, 0, 10};
    auto scene = Load({Object("Before"), camera, Object("After", "", {0, 0, 12})});
    auto cam = scene->GetNode("Cam");
    EXPECT_EQ(scene->GetCameraNode(), cam);
    const Spatial& camObject = *cam;
    EXPECT_EQ(typeid(camObject), typeid(AnimationCamera));
    EXPECT_TRUE(HasChild(scene->GetBaseNode(), scene->GetNode("Before")));
    EXPECT_TRUE(HasChild(scene->GetBaseNode(), cam));
    EXPECT_TRUE(HasChild(cam, scene->GetNode("After")));
    // The camera's transform parent is the identity root, not the base node.
    ASSERT_NE(cam->GetParent(), nullptr);
    EXPECT_NE(cam->GetParent(), scene->GetBaseNode().get());
    scene->GetBaseNode()->Update(nullptr);
    // The camera at z 10 sees the object at z 12 two units ahead.
    ExpectPoint(Vector3f(0, 0, 0) * scene->GetNode("After")->GetWorldMatrix(), 0, 0, 2);
}

TEST_F(DemoLoaderTest, AnObjectParentedToTheCameraStaysFixedToTheView) {
    DemoObjectRecord camera = Camera("Camera");
    camera.position = {3, 4, 10};
    DemoObjectRecord hud = Object("Hud", "Camera", {1, 2, 3});
    hud.curves = {{"LocZ", "Linear", "Constant", {{0, 5, 0, 5, 0, 5}}}};
    auto scene = Load({hud, camera});
    auto cam = scene->GetNode("Camera");
    auto fixed = scene->GetNode("Hud");
    EXPECT_TRUE(HasChild(cam, fixed));
    EXPECT_NE(fixed->GetParent(), cam.get());
    EXPECT_EQ(fixed->GetParent(), cam->GetParent());
    scene->GetBaseNode()->Update(nullptr);
    // The camera's pose does not reach it, and its z axis, curve included, is turned over.
    ExpectPoint(Vector3f(0, 0, 0) * fixed->GetWorldMatrix(), 1, 2, -5);
}

TEST_F(DemoLoaderTest, MeshesAndLampsAreAttachedToTheirNodes) {
    engine::core::CWin32Window::Get()->device = new RecordingDevice;
    std::filesystem::create_directories("data/scene.demo_scene");
    quorvel::formats::TVOWriter mesh;
    mesh.Material(2, {});
    mesh.Positions({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    mesh.Indices(2, {0, 1, 2});
    mesh.End();
    mesh.Save("data/scene.demo_scene/cube.tvo");
    DemoObjectRecord cube = Object("Cube");
    cube.type = "Mesh";
    cube.meshName = "cube";
    DemoObjectRecord again = cube;
    again.name = "Cube2";
    DemoObjectRecord lamp = Object("Lamp");
    lamp.type = "Lamp";
    auto scene = Load({cube, again, lamp});

    const auto& cubeChildren = Children(scene->GetNode("Cube"));
    ASSERT_EQ(cubeChildren.size(), 1u);
    auto* geometry = dynamic_cast<Geometry*>(cubeChildren[0].get());
    ASSERT_NE(geometry, nullptr);
    EXPECT_EQ(geometry->GetParent(), scene->GetNode("Cube").get());
    ASSERT_TRUE(geometry->GetMesh());
    EXPECT_EQ(geometry->GetMesh()->GetName(), L"data/scene.demo_scene/cube.tvo");
    // Both objects share the one mesh resource.
    EXPECT_EQ(dynamic_cast<Geometry&>(*Children(scene->GetNode("Cube2"))[0]).GetMesh(), geometry->GetMesh());

    const auto& lampChildren = Children(scene->GetNode("Lamp"));
    ASSERT_EQ(lampChildren.size(), 1u);
    EXPECT_NE(dynamic_cast<Light*>(lampChildren[0].get()), nullptr);
    EXPECT_EQ(lampChildren[0]->GetParent(), scene->GetNode("Lamp").get());
}

TEST_F(DemoLoaderTest, AMissingMeshFailsTheLoadWithItsPath) {
    engine::core::CWin32Window::Get()->device = new RecordingDevice;
    DemoObjectRecord cube = Object("Cube");
    cube.type = "Mesh";
    cube.meshName = "gone";
    EXPECT_EQ(LoadError({cube}), "data/scene.demo_scene/gone.tvo mesh not found");
}

TEST_F(DemoLoaderTest, MissingAndMalformedFilesThrow) {
    EXPECT_THROW(DemoLoader::CreateInstance(L"data/none.demo"), Exception);
    DemoWriter("DEMX").Save("data/bad.demo");
    EXPECT_THROW(DemoLoader::CreateInstance(L"data/bad.demo"), Exception);
    DemoObjectRecord object = Object("o");
    object.curves = {{"Wobble", "Linear", "Constant", {}}};
    EXPECT_THROW(Load({object}), Exception);
    const std::string text = log.CloseAndRead();
    EXPECT_EQ(CountRows(text, "ERROR", "No such demo file found"), 1);
    EXPECT_EQ(CountRows(text, "ERROR", "Not TALVO Demo file format"), 1);
    EXPECT_EQ(CountRows(text, "ERROR", "Unsupported Pipe Type Wobble"), 1);
}

TEST_F(DemoLoaderTest, AParentThatNamesNoObjectIsReportedAndIgnored) {
    auto scene = Load({Camera("Cam"), Object("Lost", "Nowhere"), Object("Orphan", "Camera")});
    // Both stay under the default parent of their place in the file: the camera.
    EXPECT_TRUE(HasChild(scene->GetNode("Cam"), scene->GetNode("Lost")));
    EXPECT_TRUE(HasChild(scene->GetNode("Cam"), scene->GetNode("Orphan")));
    const std::string text = log.CloseAndRead();
    EXPECT_EQ(
        CountRows(text, "WARNING",
                  "data/scene.demo: the parent \"Nowhere\" of object \"Lost\" names no object; it stays "
                  "under its default parent"),
        1);
    EXPECT_EQ(
        CountRows(text, "WARNING",
                  "data/scene.demo: the parent \"Camera\" of object \"Orphan\" names no object; it stays "
                  "under its default parent"),
        1);
}

TEST_F(DemoLoaderTest, AParentCycleIsRejected) {
    EXPECT_EQ(LoadError({Object("A", "B"), Object("B", "C"), Object("C", "A")}),
              "data/scene.demo: the parent links form a cycle (\"A\" > \"C\" > \"B\" > \"A\", each the "
              "parent of the next)");
}

TEST_F(DemoLoaderTest, AnObjectThatIsItsOwnParentIsACycle) {
    EXPECT_EQ(
        LoadError({Object("Self", "Self")}),
        "data/scene.demo: the parent links form a cycle (\"Self\" > \"Self\", each the parent of the next)");
}

TEST_F(DemoLoaderTest, ACameraParentedBelowItselfIsACycle) {
    DemoObjectRecord camera = Camera("Cam");
    camera.parentName = "Late";
    // "Late" comes after the camera, so it hangs under the camera by default.
    EXPECT_EQ(LoadError({camera, Object("Late")}), "data/scene.demo: the parent links form a cycle (\"Late\" "
                                                   "> \"Cam\" > \"Late\", each the parent of the next)");
}

TEST_F(DemoLoaderTest, TheSceneOutlivesItsLoader) {
    DemoObjectRecord camera = Camera("Camera");
    camera.position = {0, 0, 10};
    auto scene = Load({camera, Object("Hud", "Camera", {1, 2, 3}), Object("Ahead", "", {0, 0, 12})});
    boost::shared_ptr<Spatial> base = scene->GetBaseNode();
    boost::shared_ptr<Spatial> hud = scene->GetNode("Hud");
    boost::shared_ptr<Spatial> ahead = scene->GetNode("Ahead");
    scene.reset();
    // The camera and the view-fixed object still reach their identity parent.
    base->Update(nullptr);
    ExpectPoint(Vector3f(0, 0, 0) * hud->GetWorldMatrix(), 1, 2, -3);
    ExpectPoint(Vector3f(0, 0, 0) * ahead->GetWorldMatrix(), 0, 0, 2);
}

TEST_F(DemoLoaderTest, CopiesShareTheScene) {
    auto scene = Load({Object("A")}, 40);
    DemoLoader copy(*scene);
    EXPECT_EQ(copy.GetBaseNode(), scene->GetBaseNode());
    EXPECT_EQ(copy.GetNode("A"), scene->GetNode("A"));
    EXPECT_EQ(copy.GetLength(), 40);
    DemoLoader::CreateInstance(L"data/scene.demo")->DestroyInstance();
}
