#include "anim/animationTrack.h"

#include <gtest/gtest.h>

#include <memory>

using namespace engine::gfx;

namespace {

template <typename Track>
std::unique_ptr<Track> MakeTrack(int mode, std::initializer_list<KeyPoint> keys) {
    auto track = std::make_unique<Track>();
    for (const KeyPoint& key : keys)
        track->AddKey(key.time, key.value);
    track->SetExtrapolation(mode);
    return track;
}

// Linear keys (1, 0) and (11, 10): a period of 10 frames, rising by 10 per period.
float RampAt(int mode, float time) {
    auto track = MakeTrack<LinearAnimationTrack>(mode, {{1, 0}, {11, 10}});
    track->SetTime(time);
    return track->GetValue();
}

} // namespace

TEST(AnimationTrack, LinearRampInTheThreeModes) {
    const struct {
        int mode;
        float at0, at6, at16, at20;
    } cases[] = {
        {Extrapolation::Constant, 0, 5, 10, 10},
        {Extrapolation::Cyclic, 0, 5, 5, 9},
        {Extrapolation::CyclicExtrapolation, 0, 5, 15, 19},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        EXPECT_FLOAT_EQ(RampAt(c.mode, 0), c.at0);
        EXPECT_FLOAT_EQ(RampAt(c.mode, 6), c.at6);
        EXPECT_FLOAT_EQ(RampAt(c.mode, 16), c.at16);
        EXPECT_FLOAT_EQ(RampAt(c.mode, 20), c.at20);
    }
}

TEST(AnimationTrack, CursorStartsAtFrameOneAndCountsWraps) {
    auto track = MakeTrack<LinearAnimationTrack>(Extrapolation::Cyclic, {{1, 0}, {11, 10}});
    EXPECT_FLOAT_EQ(track->GetPlayer().time, 1.0f);
    track->SetTime(16);
    EXPECT_EQ(track->GetPlayer().cycles, 1);
    EXPECT_FLOAT_EQ(track->GetPlayer().time, 6.0f);
    // One frame at a time across three more periods.
    for (int frame = 0; frame < 30; ++frame)
        track->Step(1.0f);
    EXPECT_EQ(track->GetPlayer().cycles, 4);
    EXPECT_FLOAT_EQ(track->GetValue(), 5.0f);
}

TEST(AnimationTrack, RepeatedAbsoluteTimesDoNotCountExtraCycles) {
    // Sampled at absolute times, as the global curves are: the extrapolating mode rises by one step per
    // period, not per call.
    auto track = MakeTrack<LinearAnimationTrack>(Extrapolation::CyclicExtrapolation, {{1, 0}, {11, 10}});
    track->SetTime(16);
    track->SetTime(16.5f);
    EXPECT_FLOAT_EQ(track->GetValue(), 15.5f);
    track->SetTime(20);
    EXPECT_FLOAT_EQ(track->GetValue(), 19.0f);
    track->SetTime(26);
    EXPECT_FLOAT_EQ(track->GetValue(), 25.0f);
    EXPECT_EQ(track->GetPlayer().cycles, 2);
}

TEST(AnimationTrack, ConstantTrackHoldsEachKeyUntilTheNext) {
    auto track = MakeTrack<ConstantAnimationTrack>(Extrapolation::Constant, {{1, 3}, {5, 7}, {9, -2}});
    const struct {
        float time, value;
    } samples[] = {{0, 3}, {1, 3}, {4.99f, 3}, {5.01f, 7}, {8.9f, 7}, {9.5f, -2}, {100, -2}};
    for (const auto& s : samples) {
        track->SetTime(s.time);
        EXPECT_FLOAT_EQ(track->GetValue(), s.value) << "at " << s.time;
    }
}

TEST(AnimationTrack, BezierWithHandlesOnTheLineMatchesLinear) {
    auto linear = MakeTrack<LinearAnimationTrack>(Extrapolation::Constant, {{1, 0}, {11, 10}});
    BezierAnimationTrack bezier;
    bezier.AddKey(1, 0);
    bezier.AddHandles({-2.0f / 3.0f, -10.0f / 6.0f}, {1 + 10.0f / 3.0f, 10.0f / 3.0f});
    bezier.AddKey(11, 10);
    bezier.AddHandles({11 - 10.0f / 3.0f, 10 - 10.0f / 3.0f}, {12, 11});
    bezier.SetExtrapolation(Extrapolation::Constant);
    for (float time : {0.0f, 1.0f, 2.5f, 6.0f, 9.75f, 11.0f, 14.0f}) {
        linear->SetTime(time);
        bezier.SetTime(time);
        EXPECT_NEAR(bezier.GetValue(), linear->GetValue(), 1e-5f) << "at " << time;
    }
}

TEST(AnimationTrack, BezierFollowsItsHandles) {
    // Flat handles: an ease curve, 0.5 at the middle and 0.15625 a quarter of the way.
    BezierAnimationTrack bezier;
    bezier.AddKey(1, 0);
    bezier.AddHandles({0, 0}, {5, 0});
    bezier.AddKey(9, 1);
    bezier.AddHandles({5, 1}, {10, 1});
    bezier.SetExtrapolation(Extrapolation::Constant);
    bezier.SetTime(5);
    EXPECT_FLOAT_EQ(bezier.GetValue(), 0.5f);
    bezier.SetTime(3);
    EXPECT_FLOAT_EQ(bezier.GetValue(), 0.15625f);
}

TEST(AnimationTrack, ConstantModeIgnoresStepsBackAfterTheEnd) {
    auto track = MakeTrack<LinearAnimationTrack>(Extrapolation::Constant, {{1, 0}, {11, 10}});
    track->SetTime(20);
    track->SetTime(6);
    EXPECT_FLOAT_EQ(track->GetValue(), 10.0f);
    EXPECT_FLOAT_EQ(track->GetPlayer().time, 20.0f);
    EXPECT_EQ(track->GetPlayer().keyIndex, 1);
    // Before the end, stepping back works.
    auto early = MakeTrack<LinearAnimationTrack>(Extrapolation::Constant, {{1, 0}, {11, 10}});
    early->SetTime(8);
    early->SetTime(3);
    EXPECT_FLOAT_EQ(early->GetValue(), 2.0f);
}

TEST(AnimationTrack, DegenerateTracksTerminateWithTheirFirstKey) {
    for (int mode : {Extrapolation::Constant, Extrapolation::Cyclic, Extrapolation::CyclicExtrapolation}) {
        SCOPED_TRACE(mode);
        auto single = MakeTrack<LinearAnimationTrack>(mode, {{4, 7}});
        auto samePeriod = MakeTrack<BezierAnimationTrack>(mode, {{4, 7}, {6, 1}, {4, 3}});
        auto backwards = MakeTrack<ConstantAnimationTrack>(mode, {{10, 7}, {0, 3}});
        auto empty = MakeTrack<LinearAnimationTrack>(mode, {});
        for (float time : {0.0f, 4.0f, 50.0f, 1e9f, 2.0f}) {
            for (AnimationTrack* track :
                 {static_cast<AnimationTrack*>(single.get()), static_cast<AnimationTrack*>(samePeriod.get()),
                  static_cast<AnimationTrack*>(backwards.get())}) {
                track->SetTime(time);
                EXPECT_FLOAT_EQ(track->GetValue(), 7.0f);
            }
            empty->SetTime(time);
            EXPECT_FLOAT_EQ(empty->GetValue(), 0.0f);
        }
    }
}

TEST(AnimationTrack, KeysAtOneTimeJumpWithoutDividingByZero) {
    auto track = MakeTrack<LinearAnimationTrack>(Extrapolation::Constant, {{1, 0}, {5, 1}, {5, 2}, {9, 3}});
    track->SetTime(5);
    EXPECT_FLOAT_EQ(track->GetValue(), 1.0f);
    track->SetTime(7);
    EXPECT_FLOAT_EQ(track->GetValue(), 2.5f);
}

TEST(AnimationTrack, FarSeekInACyclicModeWrapsWholePeriods) {
    auto track = MakeTrack<LinearAnimationTrack>(Extrapolation::CyclicExtrapolation, {{1, 0}, {11, 10}});
    track->SetTime(100006);
    EXPECT_NEAR(track->GetValue(), 100005.0f, 0.01f);
    EXPECT_EQ(track->GetPlayer().cycles, 10000);
    // Beyond what a float can step through one period at a time.
    auto far = MakeTrack<LinearAnimationTrack>(Extrapolation::Cyclic, {{0, 0}, {1, 1}});
    far->SetTime(3e9f);
    EXPECT_GE(far->GetValue(), 0.0f);
    EXPECT_LE(far->GetValue(), 1.0f);
}

TEST(AnimationTrack, ManyKeysAreFoundBySearchAtAnyTimeAndInAnyOrder) {
    // A ramp of 100,000 keys whose value is its time. Walked key by key, every cyclic sample below
    // would pass over all keys up to a thousand times.
    constexpr int kKeys = 100000;
    constexpr float kPeriod = kKeys - 1;
    constexpr int kSamples = 2701;
    for (int mode : {Extrapolation::Constant, Extrapolation::Cyclic}) {
        SCOPED_TRACE(mode);
        LinearAnimationTrack track;
        for (int i = 0; i < kKeys; ++i)
            track.AddKey(static_cast<float>(i), static_cast<float>(i));
        track.SetExtrapolation(mode);
        // Jumps forward and back: inside the keys for the clamped cursor, which stays at the end once
        // it gets there, and over up to a thousand periods for the cyclic one.
        const float scale = mode == Extrapolation::Constant ? kPeriod / kSamples : 0.37f * kPeriod;
        for (int s = 0; s < kSamples; ++s) {
            const float time = 0.5f + static_cast<float>((s * 7919) % kSamples) * scale;
            track.SetTime(time);
            const IPOPlayer& player = track.GetPlayer();
            // Sent back before the first key, a cyclic cursor rests on it until time comes round again.
            const float expected = player.time < 0.0f ? 0.0f : player.time;
            ASSERT_LE(player.time, kPeriod);
            ASSERT_NEAR(track.GetValue(), expected, 0.05f) << "at " << time;
            ASSERT_NEAR(player.UnwrappedTime(), time, 64.0f);
        }
        track.SetTime(2e9f);
        EXPECT_FLOAT_EQ(track.GetValue(), mode == Extrapolation::Constant ? kPeriod : track.GetPlayer().time);
    }
}
