#include "anim/animationController.h"
#include "anim/channelTable.h"
#include "core/timer.h"
#include "math/operators.h"

#include <gtest/gtest.h>

#include <memory>

using namespace engine::gfx;
using engine::math::Vector3f;

namespace {

// A linear track through the given keys, clamped at its ends.
std::unique_ptr<AnimationTrack> Linear(std::initializer_list<KeyPoint> keys) {
    auto track = std::make_unique<LinearAnimationTrack>();
    for (const KeyPoint& key : keys)
        track->AddKey(key.time, key.value);
    track->SetExtrapolation(Extrapolation::Constant);
    return track;
}

std::unique_ptr<AnimationTrack> Flat(float value) {
    return Linear({{0, value}, {100, value}});
}

std::unique_ptr<AnimationPipe> Pipe(const char* name, std::unique_ptr<AnimationTrack> track) {
    const Channel* channel = FindChannel(name);
    EXPECT_NE(channel, nullptr) << name;
    return CreatePipe(*channel, std::move(track));
}

void ExpectPoint(const Vector3f& p, float x, float y, float z) {
    EXPECT_NEAR(p.x, x, 1e-5f);
    EXPECT_NEAR(p.y, y, 1e-5f);
    EXPECT_NEAR(p.z, z, 1e-5f);
}

// Counts its deletions, to see that a replaced pipe takes its track with it.
class CountedTrack : public LinearAnimationTrack {
public:
    explicit CountedTrack(int& deleted) : deleted(deleted) {}
    ~CountedTrack() override { ++deleted; }
    int& deleted;
};

} // namespace

TEST(AnimationController, NoCurvesGiveTheIdentity) {
    AnimationController controller;
    const Transform t = controller.Evaluate(1.0f);
    const Transform identity;
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(t.rotation.m[i], identity.rotation.m[i]);
    ExpectPoint(t.translation, 0, 0, 0);
    EXPECT_EQ(t.scale, 1.0f);
    EXPECT_TRUE(t.isIdentity);
}

TEST(AnimationController, RotZNineIsNinetyDegrees) {
    AnimationController controller;
    controller.AddPipe(Pipe("RotZ", Flat(9)));
    const Transform t = controller.Evaluate(1.0f);
    EXPECT_FALSE(t.isIdentity);
    ExpectPoint(Vector3f(1, 0, 0) * t.rotation, 0, 1, 0);
    ExpectPoint(Vector3f(0, 1, 0) * t.rotation, -1, 0, 0);
}

TEST(AnimationController, ScaleComesBeforeRotationWhateverTheAddingOrder) {
    AnimationController controller;
    controller.AddPipe(Pipe("RotZ", Flat(9)));
    controller.AddPipe(Pipe("ScaleX", Flat(2)));
    const Transform t = controller.Evaluate(1.0f);
    ExpectPoint(Vector3f(1, 0, 0) * t.rotation, 0, 2, 0);
    EXPECT_EQ(t.scale, 1.0f);
}

TEST(AnimationController, LocationCurvesAddUpIncludingTheDeltaCurves) {
    AnimationController controller;
    controller.AddPipe(Pipe("LocX", Flat(1)));
    controller.AddPipe(Pipe("LocY", Flat(2)));
    controller.AddPipe(Pipe("dLocX", Flat(0.5f)));
    controller.AddPipe(Pipe("LocZ", Flat(3)));
    const Transform t = controller.Evaluate(1.0f);
    ExpectPoint(t.translation, 1.5f, 2, 3);
    ASSERT_EQ(controller.GetPipes().size(), 4u);
    EXPECT_EQ(controller.GetPipes()[3]->channel, 4);
}

TEST(AnimationController, ChannelTableOrdersTimeLocationScaleRotation) {
    const char* names[] = {"Time",   "LocX",   "LocY",  "LocZ", "dLocX", "dLocY", "dLocZ", "ScaleX",
                           "ScaleY", "ScaleZ", "dRotX", "RotX", "dRotY", "RotY",  "dRotZ", "RotZ"};
    const int codes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 13, 14, 15, 16, 17, 18};
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(FindChannel(names[i])->code, codes[i]) << names[i];
    EXPECT_EQ(FindChannel("LocW"), nullptr);
    EXPECT_EQ(FindChannel("locx"), nullptr);
}

TEST(AnimationController, SecondPipeOnAChannelReplacesAndDeletesTheFirst) {
    int deleted = 0;
    auto first = std::make_unique<CountedTrack>(deleted);
    first->AddKey(0, 5);
    AnimationController controller;
    controller.AddPipe(Pipe("LocX", std::move(first)));
    controller.AddPipe(Pipe("LocY", Flat(1)));
    controller.AddPipe(Pipe("LocX", Flat(7)));
    EXPECT_EQ(deleted, 1);
    ASSERT_EQ(controller.GetPipes().size(), 2u);
    ExpectPoint(controller.Evaluate(1.0f).translation, 7, 1, 0);
}

TEST(AnimationController, RisingTimeCurveKeepsSpeedAndFlatOneFreezes) {
    // LocX rises one unit per frame; a Time curve that rises 1/25 second per frame leaves that alone.
    AnimationController steady;
    steady.AddPipe(Pipe("LocX", Linear({{1, 0}, {101, 100}})));
    steady.AddPipe(Pipe("Time", Linear({{1, 1.0f / 25.0f}, {101, 101.0f / 25.0f}})));
    AnimationController frozen;
    frozen.AddPipe(Pipe("LocX", Linear({{1, 0}, {101, 100}})));
    frozen.AddPipe(Pipe("Time", Flat(2)));
    float steadyX = 0, frozenX = 0;
    for (int frame = 0; frame < 10; ++frame) {
        steadyX = steady.Evaluate(1.0f).translation.x;
        frozenX = frozen.Evaluate(1.0f).translation.x;
    }
    // After the first evaluation, whose step is the jump from 0 to the curve's first value.
    const float firstStep = 2.0f / 25.0f * 25.0f;
    EXPECT_NEAR(steadyX, firstStep + 9.0f, 1e-4f);
    EXPECT_NEAR(frozenX, 2.0f * 25.0f, 1e-4f);
}

TEST(AnimationController, EvaluateStepsByTheTimersPassInFrames) {
    class StepClock : public engine::platform::Clock {
    public:
        std::uint64_t Counter() override { return counter; }
        std::uint64_t Frequency() override { return 1000; }
        std::uint32_t Ticks() override { return static_cast<std::uint32_t>(counter); }
        std::uint64_t counter = 0;
    } clock;
    auto* timer = engine::core::Timer::Get();
    timer->SetClock(&clock);
    timer->Start();
    clock.counter += 200; // 0.2 s: five frames
    timer->Update();
    AnimationController controller;
    controller.AddPipe(Pipe("LocX", Linear({{1, 0}, {101, 100}})));
    EXPECT_NEAR(controller.Evaluate().translation.x, 5.0f, 1e-4f);
    delete timer;
}
