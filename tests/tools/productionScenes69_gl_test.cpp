// Scenes 6 to 9 as the build makes them, each loaded from data/ and played on offscreen OpenGL as the
// demo plays it: the program's render targets, the clock and the global curves at the scene's own time
// in the demo, and the array modifiers the timeline hangs on the scene's nodes. Every scene must load
// with those nodes and draw without a warning or an error, and its middle frame must match the stored
// reference picture.
//
// QUORVEL_UPDATE_REFERENCES=1 rewrites the reference pictures from this run, and
// QUORVEL_SCENE_FRAMES=<folder> also writes every 32nd picture of each played stretch, to look at.
#include "support/glScene.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using namespace quorvel::test;
using namespace engine::gfx;

namespace fs = std::filesystem;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 90;
constexpr int kFramesPerSecond = 25;
// The tolerance of the renderer's reference picture: room for another rasteriser's rounding, far too
// little for a missing or misplaced object or a wrong material.
constexpr int kChannelTolerance = 8;
constexpr int kAllowedDifferentPixels = kWidth * kHeight / 200;

// The scene lengths of the demo in frames, scene 1 first: where each scene begins in the demo's time.
constexpr int kSceneLengths[] = {384, 384, 384, 384, 576, 384, 384, 384, 384};

struct ArraySetup {
    const char* object;
    std::vector<std::pair<const char*, int>> offsets;
};

// What the timeline hangs on each scene, in its order.
std::vector<ArraySetup> ArraysOf(int scene) {
    switch (scene) {
    case 6:
        return {{"Cube", {{"Modifier", 25}, {"Modifier2", 25}}},
                {"Leaf", {{"LeafModifier", 10}, {"LeafModifier2", 8}}},
                {"Leaf2", {{"Leaf2Modifier", 10}, {"Leaf2Modifier2", 8}}}};
    case 7:
        return {{"Leaf", {{"LeafModifier", 10}, {"LeafModifier2", 8}}},
                {"Leaf2", {{"Leaf2Modifier", 10}, {"Leaf2Modifier2", 8}}},
                {"Stem", {{"StemModifier", 15}}},
                {"Leaves", {{"LeavesModifier", 10}, {"LeavesModifier2", 4}}}};
    case 8:
        return {{"Grass", {{"GrassModifier", 8}, {"GrassModifier2", 15}}}};
    default:
        return {{"Cube", {{"CubeModifier", 30}}}};
    }
}

// "lastFrame" is square: the picture is averaged back to the window's shape.
Picture Shrink(const Picture& square, int width, int height) {
    Picture picture{width, height, std::vector<std::uint8_t>(std::size_t(width) * height * 4, 255)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int left = x * square.width / width, top = y * square.height / height;
            const int right = std::max(left + 1, (x + 1) * square.width / width);
            const int bottom = std::max(top + 1, (y + 1) * square.height / height);
            for (int channel = 0; channel < 3; ++channel) {
                int sum = 0;
                for (int sy = top; sy < bottom; ++sy)
                    for (int sx = left; sx < right; ++sx)
                        sum += square.rgba[(std::size_t(sy) * square.width + sx) * 4 + channel];
                picture.rgba[(std::size_t(y) * width + x) * 4 + channel] = static_cast<std::uint8_t>(
                    (sum + (right - left) * (bottom - top) / 2) / ((right - left) * (bottom - top)));
            }
        }
    return picture;
}

class SceneSixToNineTest : public GlSceneTest, public ::testing::WithParamInterface<int> {
protected:
    SceneSixToNineTest() : GlSceneTest(kWidth, kHeight) {}

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(GlSceneTest::SetUp());
        // The scene starts where the demo reaches it, so the global curves show what they show there.
        int start = 0;
        for (int scene = 1; scene < GetParam(); ++scene)
            start += kSceneLengths[scene - 1];
        auto* timer = engine::core::Timer::Get();
        timer->UseFixedSteps(kFramesPerSecond);
        timer->SetTime(double(start) / kFramesPerSecond);
    }

    void Load() {
        GlSceneTest::Load(GetParam(), [this] { AddArrays(); });
    }

    void AddArrays() {
        for (const ArraySetup& setup : ArraysOf(GetParam())) {
            engine::ArrayInfo info;
            info.object = loader->GetNode(setup.object).get();
            for (const auto& [name, count] : setup.offsets) {
                engine::ArrayEntry entry;
                entry.offsetObject = loader->GetNode(name).get();
                entry.count = count;
                entry.useObjectOffset = true;
                info.entries.push_back(entry);
            }
            engine::AddArrayModifier(info, NodeNamed(setup.offsets.back().first));
        }
    }

    // Plays up to and including the given frame of the scene, one pass of the main loop each.
    void PlayTo(int frame) {
        const char* folder = std::getenv("QUORVEL_SCENE_FRAMES");
        for (; played < frame; ++played) {
            Frame();
            if (folder != nullptr && (played + 1) % 32 == 0)
                WritePng(fs::path(folder) / ("scene" + std::to_string(GetParam()) + "-" +
                                             std::to_string(played + 1) + ".png"),
                         Read());
        }
    }

    Picture Read() { return Shrink(ReadLastFrame(), kWidth, kHeight); }

    int played = 0;
};

TEST_P(SceneSixToNineTest, HoldsTheTimelinesNodesAndPlaysWithoutWarnings) {
    Load();
    ASSERT_NE(loader, nullptr);
    EXPECT_EQ(loader->GetLength(), 384);
    for (const ArraySetup& setup : ArraysOf(GetParam())) {
        EXPECT_TRUE(loader->GetNode(setup.object)) << setup.object;
        for (const auto& [name, count] : setup.offsets)
            EXPECT_NE(dynamic_cast<Node*>(loader->GetNode(name).get()), nullptr) << name;
    }
    PlayTo(3);
    const std::string text = log.CloseAndRead();
    EXPECT_TRUE(Rows(text, "WARNING").empty()) << text;
    EXPECT_TRUE(Rows(text, "ERROR").empty()) << text;
}

TEST_P(SceneSixToNineTest, TheMiddleFrameMatchesTheReference) {
    Load();
    PlayTo(loader->GetLength() / 2);
    const Picture middle = Read();
    // A reference is only worth keeping of a picture that shows something.
    EXPECT_GT(ShareAbove(middle, 40), 0.03) << "hardly anything is lit in the middle of scene " << GetParam();
    ExpectMatchesReference(
        middle, fs::path(QUORVEL_SCENE_REFERENCES) / ("scene" + std::to_string(GetParam()) + ".png"),
        kChannelTolerance, kAllowedDifferentPixels);
}

INSTANTIATE_TEST_SUITE_P(ScenesSixToNine, SceneSixToNineTest, ::testing::Values(6, 7, 8, 9),
                         [](const ::testing::TestParamInfo<int>& info) {
                             return "Scene" + std::to_string(info.param);
                         });

} // namespace
