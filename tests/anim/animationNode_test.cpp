#include "anim/animationCamera.h"
#include "anim/animationNode.h"
#include "anim/channelTable.h"
#include "core/timer.h"
#include "math/operators.h"

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

using namespace engine::gfx;
using engine::math::Matrix4x4;
using engine::math::Vector3f;

namespace {

boost::shared_ptr<AnimationController>
Controller(std::initializer_list<std::pair<const char*, float>> curves) {
    auto controller = boost::make_shared<AnimationController>();
    for (const auto& [name, value] : curves) {
        auto track = std::make_unique<ConstantAnimationTrack>();
        track->AddKey(0, value);
        track->AddKey(100, value);
        track->SetExtrapolation(Extrapolation::Constant);
        controller->AddPipe(CreatePipe(*FindChannel(name), std::move(track)));
    }
    return controller;
}

void ExpectPoint(const Vector3f& p, float x, float y, float z) {
    EXPECT_NEAR(p.x, x, 1e-5f);
    EXPECT_NEAR(p.y, y, 1e-5f);
    EXPECT_NEAR(p.z, z, 1e-5f);
}

} // namespace

TEST(AnimationCamera, WorldMatrixIsTheInversePose) {
    AnimationCamera camera(nullptr);
    camera.SetController(Controller({{"LocZ", 10}}));
    camera.Update(nullptr);
    ExpectPoint(Vector3f(0, 0, 10) * camera.GetWorldMatrix(), 0, 0, 0);

    AnimationCamera turned(nullptr);
    turned.SetController(Controller({{"RotZ", 9}}));
    turned.Update(nullptr);
    ExpectPoint(Vector3f(0, 1, 0) * turned.GetWorldMatrix(), 1, 0, 0);
}

TEST(AnimationCamera, TranslatesBeforeItRotates) {
    // Camera at (5, 0, 0) turned 90 degrees about Z: the camera's own position maps to the origin and a
    // point one unit along the camera's view of +Y lies on +X.
    AnimationCamera camera(nullptr);
    camera.SetController(Controller({{"LocX", 5}, {"RotZ", 9}}));
    camera.Update(nullptr);
    const Matrix4x4 view = camera.GetWorldMatrix();
    ExpectPoint(Vector3f(5, 0, 0) * view, 0, 0, 0);
    ExpectPoint(Vector3f(5, 1, 0) * view, 1, 0, 0);
}

TEST(AnimationCamera, ChildrenAreSeenThroughTheCamera) {
    auto camera = boost::make_shared<AnimationCamera>(nullptr);
    camera->SetController(Controller({{"LocZ", 10}}));
    auto child = boost::make_shared<Node>(camera.get());
    Transform at;
    at.translation = {0, 0, 12};
    child->SetLocalTransform(at);
    camera->AddChild(child);
    camera->Update(nullptr);
    ExpectPoint(child->GetWorldMatrix().GetTranslation(), 0, 0, 2);
}

TEST(AnimationCamera, WithoutControllerOrPoseItIsTheIdentity) {
    auto root = boost::make_shared<Node>(nullptr);
    Transform moved;
    moved.translation = {1, 2, 3};
    root->SetLocalTransform(moved);
    AnimationCamera camera(root.get());
    camera.Update(nullptr);
    camera.Update(nullptr);
    ExpectPoint(Vector3f(0, 0, 0) * camera.GetWorldMatrix(), 1, 2, 3);
}

TEST(AnimationNode, RebuildsItsTransformEveryWalk) {
    auto node = boost::make_shared<AnimationNode>(nullptr);
    auto controller = boost::make_shared<AnimationController>();
    auto track = std::make_unique<LinearAnimationTrack>();
    track->AddKey(1, 3);
    track->AddKey(101, 103);
    controller->AddPipe(CreatePipe(*FindChannel("LocX"), std::move(track)));
    node->SetController(controller);
    auto child = boost::make_shared<Node>(node.get());
    node->AddChild(child);
    // No timer pass has happened: the step is zero and the node sits at the curve's start.
    node->Update(nullptr);
    EXPECT_FALSE(node->GetLocalTransform().isIdentity);
    ExpectPoint(child->GetWorldMatrix().GetTranslation(), 3, 0, 0);
    // Parentless: the caches keep their identity.
    ExpectPoint(node->GetWorldMatrix().GetTranslation(), 3, 0, 0);
    delete engine::core::Timer::mInstance;
}

TEST(AnimationNode, WithoutControllerItIsAPlainNode) {
    auto parent = boost::make_shared<Node>(nullptr);
    Transform up;
    up.translation = {0, 4, 0};
    parent->SetLocalTransform(up);
    auto node = boost::make_shared<AnimationNode>(parent.get());
    Transform right;
    right.translation = {3, 0, 0};
    node->SetLocalTransform(right);
    parent->AddChild(node);
    parent->Update(nullptr);
    ExpectPoint(node->GetWorldMatrix().GetTranslation(), 3, 4, 0);
}
