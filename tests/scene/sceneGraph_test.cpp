#include "math/operators.h"
#include "scene/light.h"
#include "scene/lightManager.h"
#include <engine/scene.h>

#include <boost/make_shared.hpp>
#include <boost/weak_ptr.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

using namespace engine::gfx;
using engine::math::Matrix4x4;
using engine::math::Vector3f;

namespace {

Transform Translated(float x, float y, float z) {
    Transform t;
    t.translation = {x, y, z};
    t.isIdentity = false;
    return t;
}

void ExpectPoint(const Vector3f& p, float x, float y, float z) {
    EXPECT_NEAR(p.x, x, 1e-5f);
    EXPECT_NEAR(p.y, y, 1e-5f);
    EXPECT_NEAR(p.z, z, 1e-5f);
}

void ExpectMatrixNear(const Matrix4x4& a, const Matrix4x4& b) {
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a.m[i], b.m[i], 1e-5f) << "element " << i;
}

// Counts the walks that reach it.
class Probe : public Spatial {
public:
    void Update(engine::gfx::Renderer* renderer) override {
        ++updates;
        lastRenderer = renderer;
    }
    int updates = 0;
    engine::gfx::Renderer* lastRenderer = reinterpret_cast<engine::gfx::Renderer*>(1);
};

class LightTest : public ::testing::Test {
protected:
    void TearDown() override { delete LightManager::mInstance; }
};

} // namespace

TEST(SceneGraph, FreshNodeReportsItsOwnTranslation) {
    Node node(nullptr);
    node.SetLocalTransform(Translated(1, 2, 3));
    ExpectPoint(node.GetWorldMatrix().GetTranslation(), 1, 2, 3);
    ExpectPoint(node.GetWorldInverse().GetTranslation(), -1, -2, -3);
}

TEST(SceneGraph, ChildSeesItsParentAfterTheWalk) {
    auto parent = boost::make_shared<Node>(nullptr);
    parent->SetLocalTransform(Translated(1, 0, 0));
    auto child = boost::make_shared<Node>(parent.get());
    child->SetLocalTransform(Translated(0, 1, 0));
    parent->AddChild(child);
    ExpectPoint(child->GetWorldMatrix().GetTranslation(), 0, 1, 0);
    parent->Update(nullptr);
    ExpectPoint(child->GetWorldMatrix().GetTranslation(), 1, 1, 0);
}

TEST(SceneGraph, ParentRotationTurnsTheChildOffset) {
    auto parent = boost::make_shared<Node>(nullptr);
    Transform turned = Translated(5, 0, 0);
    Matrix4x4 rz = Matrix4x4::Identity;
    rz.ToZRot(std::numbers::pi_v<float> / 2);
    turned.rotation = rz.GetRotation();
    parent->SetLocalTransform(turned);
    auto child = boost::make_shared<Node>(parent.get());
    child->SetLocalTransform(Translated(1, 0, 0));
    parent->AddChild(child);
    parent->Update(nullptr);
    ExpectPoint(child->GetWorldMatrix().GetTranslation(), 5, 1, 0);
    // The local inverse undoes the local matrix; the world inverse composes the child's inverse first at
    // every level, which the effects' inverse-transpose parameter relies on.
    ExpectMatrixNear(parent->GetLocalMatrix() * parent->GetLocalInverse(), Matrix4x4::Identity);
    ExpectMatrixNear(child->GetWorldInverse(), child->GetLocalInverse() * parent->GetWorldInverse());
}

TEST(SceneGraph, AddChildReturnsTheIndexAndTheWalkReachesEveryChild) {
    Node node(nullptr);
    std::vector<boost::shared_ptr<Probe>> probes;
    for (int i = 0; i < 4; ++i) {
        probes.push_back(boost::make_shared<Probe>());
        EXPECT_EQ(node.AddChild(probes.back()), i);
    }
    node.Update(nullptr);
    for (const auto& probe : probes) {
        EXPECT_EQ(probe->updates, 1);
        EXPECT_EQ(probe->lastRenderer, nullptr);
    }
}

TEST(SceneGraph, NodeReleasesItsChildren) {
    boost::weak_ptr<Probe> watched;
    boost::weak_ptr<Probe> cleared;
    {
        Node node(nullptr);
        auto probe = boost::make_shared<Probe>();
        cleared = probe;
        node.AddChild(probe);
        probe.reset();
        node.ClearChildren();
        EXPECT_TRUE(cleared.expired());
        EXPECT_EQ(node.AddChild(boost::make_shared<Probe>()), 0);
        watched = boost::static_pointer_cast<Probe>(node.GetChildren()[0]);
    }
    EXPECT_TRUE(watched.expired());
}

TEST_F(LightTest, IndicesFollowConstructionAndOutliveTheLights) {
    for (int i = 0; i < 9; ++i) {
        Light light(nullptr);
        EXPECT_EQ(light.GetIndex(), static_cast<std::uint32_t>(i));
    }
    Light tenth(nullptr);
    EXPECT_EQ(tenth.GetIndex(), 9u);
    EXPECT_EQ(LightManager::Get()->positions.size(), 10u);
}

TEST_F(LightTest, PublishesItsParentsOriginAfterAFrame) {
    auto lamp = boost::make_shared<Node>(nullptr);
    lamp->SetLocalTransform(Translated(0, 10, 0));
    auto light = boost::make_shared<Light>(lamp.get());
    // Its own translation is ignored.
    light->SetLocalTransform(Translated(7, 7, 7));
    lamp->AddChild(light);
    const auto& before = LightManager::Get()->positions[light->GetIndex()];
    EXPECT_EQ(before.w, 0.0f);
    lamp->Update(nullptr);
    const auto& after = LightManager::Get()->positions[light->GetIndex()];
    EXPECT_FLOAT_EQ(after.x, 0);
    EXPECT_FLOAT_EQ(after.y, 10);
    EXPECT_FLOAT_EQ(after.z, 0);
    EXPECT_FLOAT_EQ(after.w, 1);
}

// Every scene is loaded at the start, so the lights of the scenes before stay in the list: the shaders
// must light the scene on screen with its own first lamp, not with the first lamp ever made.
TEST_F(LightTest, ShadersLightWithTheFirstLampOfTheSceneWalked) {
    auto Lamp = [](Node& scene, float x, float y, float z) {
        auto lamp = boost::make_shared<Node>(nullptr);
        lamp->SetLocalTransform(Translated(x, y, z));
        lamp->AddChild(boost::make_shared<Light>(lamp.get()));
        scene.AddChild(lamp);
    };
    auto earlier = boost::make_shared<Node>(nullptr);
    Lamp(*earlier, 0, 16, 0);
    auto shown = boost::make_shared<Node>(nullptr);
    Lamp(*shown, 5, 1, 0);
    Lamp(*shown, 9, 9, 9);
    LightManager& manager = *LightManager::Get();
    manager.BeginWalk();
    earlier->Update(nullptr);
    manager.BeginWalk();
    shown->Update(nullptr);
    EXPECT_FLOAT_EQ(manager.FirstLightPosition().x, 5);
    EXPECT_FLOAT_EQ(manager.FirstLightPosition().y, 1);
}

TEST_F(LightTest, ShadersGetTheOriginWhileNoLightExists) {
    const auto origin = LightManager::Get()->FirstLightPosition();
    EXPECT_EQ(origin.w, 1.0f);
    Light light(nullptr);
    light.Update(nullptr);
    EXPECT_EQ(LightManager::Get()->FirstLightPosition().w, 1.0f);
    // A light updated after the manager was torn down and made anew writes nothing.
    delete LightManager::mInstance;
    light.Update(nullptr);
    EXPECT_TRUE(LightManager::Get()->positions.empty());
}
