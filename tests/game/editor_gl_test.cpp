// The live editor with the demo's timeline on the real device, offscreen: a seek into a scene shows the
// frames a capture from the start shows there, pause holds the time and the music, a looped scene
// plays again from its first frame, and keys reach the editor through the input table. Captures keep
// the overlay out of their pictures.
#include "capture/temporaryOutput.h"
#include "core/input.h"
#include "formats/demoWriter.h"
#include "game/demoFixture.h"
#include "support/logCapture.h"
#include "support/programRun.h"
#include "testScene1.h"

#include <engine/engine.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <thread>

using namespace quorvel::test;
namespace fs = std::filesystem;

namespace {

constexpr int kSpace = 32;
constexpr int kEscape = 27;

std::string Frame(const fs::path& folder, int number) {
    return ReadFile(folder / engine::capture::FrameFileName(number));
}

// Runs before the editor in every pass: does what the test planned for that pass, and records the time,
// the music as heard and the scene on screen.
class PassDriver : public engine::core::Module {
public:
    PassDriver(const TestScene1& timeline, std::map<int, std::function<void()>> plan)
        : timeline(timeline), plan(std::move(plan)) {
        priority = 40;
    }
    bool Start() override { return true; }
    void Update() override {
        ++passes;
        if (const auto step = plan.find(passes); step != plan.end())
            step->second();
        if (pacing.count() > 0)
            std::this_thread::sleep_for(pacing);
    }
    void Stop() override {}

    const TestScene1& timeline;
    std::map<int, std::function<void()>> plan;
    std::chrono::milliseconds pacing{0};
    int passes = 0;
};

// Runs last in every pass: what the pass showed.
class PassRecorder : public engine::core::Module {
public:
    explicit PassRecorder(const TestScene1& timeline) : timeline(timeline) { priority = 20000; }
    bool Start() override { return true; }
    void Update() override {
        times.push_back(engine::GetTime());
        music.push_back(engine::GetMusicPosition());
        scenes.push_back(timeline.SceneOnScreen() + 1);
    }
    void Stop() override {}

    const TestScene1& timeline;
    std::vector<double> times;
    std::vector<double> music;
    std::vector<int> scenes;
};

void Press(int key) {
    engine::core::Input::Get()->SetKey(key, true);
}
void Release(int key) {
    engine::core::Input::Get()->SetKey(key, false);
}

class EditorTest : public ::testing::Test {
protected:
    // Nine short scenes (0.4 s each) but a long fifth (2 s), whose camera slides, whose cube row follows
    // an animated offset and whose golden rain falls towards the camera; the first scene's sparks take
    // their seeds from the same sequence before it.
    void SetUp() override {
        WriteDemoFixture({10, 10, 10, 10, 50, 10, 10, 10, 10});
        using quorvel::formats::DemoObjectRecord;
        std::vector<DemoObjectRecord> objects;
        DemoObjectRecord camera;
        camera.type = "Camera";
        camera.name = "Camera";
        camera.curves = {{"LocX",
                          "Linear",
                          "Constant",
                          {quorvel::formats::IpoKey(1, -2), quorvel::formats::IpoKey(50, 2)}}};
        objects.push_back(camera);
        for (const std::string& name : MeshesOfScene(5)) {
            DemoObjectRecord mesh;
            mesh.type = "Mesh";
            mesh.name = name;
            mesh.meshName = "triangle";
            mesh.position =
                name == "Cube" ? std::array<float, 3>{-3, -1, 8} : std::array<float, 3>{0.3f, 0, 0};
            if (name == "Modifier2")
                mesh.curves = {{"LocY",
                                "Linear",
                                "Constant",
                                {quorvel::formats::IpoKey(1, 0), quorvel::formats::IpoKey(50, 0.5f)}}};
            objects.push_back(mesh);
        }
        DemoObjectRecord plane;
        plane.name = "Plane";
        plane.position = {0, 0, 90};
        objects.push_back(plane);
        quorvel::formats::DemoWriter::Scene(50, objects).Save("data/scene5.demo");
    }

    // Captures `frames` frames at 64x48 and 25 a second into `folder`, with the editor or without.
    void Capture(const fs::path& folder, int frames, bool editor,
                 std::map<int, std::function<void()>> plan = {}) {
        engine::CaptureSettings capture;
        capture.output = folder.string();
        capture.framesPerSecond = 25;
        capture.width = 64;
        capture.height = 48;
        capture.frameLimit = frames;
        capture.showProgress = false;
        engine::UseCapture(capture);
        Play(editor, std::move(plan));
    }

    void Play(bool editor, std::map<int, std::function<void()>> plan, std::chrono::milliseconds pacing = {}) {
        engine::WindowSettings settings;
        settings.width = 64;
        settings.height = 48;
        engine::CreateTALVOWindow(settings);
        TestScene1 timeline;
        PassDriver driver(timeline, std::move(plan));
        driver.pacing = pacing;
        PassRecorder recorder(timeline);
        if (editor)
            engine::UseEditor(timeline);
        engine::AddModule(&driver, 20001);
        engine::AddModule(&timeline, 10100);
        engine::AddModule(&recorder, 20002);
        engine::StartApplication();
        times = recorder.times;
        music = recorder.music;
        scenes = recorder.scenes;
    }

    ScopedLogDirectory folder;
    MessageBoxCapture boxes;
    std::vector<double> times;
    std::vector<double> music;
    std::vector<int> scenes;
};

} // namespace

// Played live, on the music's clock: first in this file, as a capture asked for stays asked for in
// the process.
TEST_F(EditorTest, SpaceHoldsTheTimeAndTheMusicUntilPressedAgain) {
    Play(true,
         {{10, [] { Press(kSpace); }},
          {11, [] { Release(kSpace); }},
          {70, [] { Press(kSpace); }},
          {71, [] { Release(kSpace); }},
          {100, [] { Press(kEscape); }}},
         std::chrono::milliseconds(4));

    ASSERT_GE(times.size(), 100u);
    // Paused in pass 10: its time holds for every pass until pass 70 resumes; the music, once the
    // device has played out the block it held, holds too.
    EXPECT_GT(times[9], 0.0);
    for (std::size_t pass = 10; pass < 69; ++pass)
        EXPECT_EQ(times[pass], times[9]) << "pass " << pass + 1;
    for (std::size_t pass = 40; pass < 69; ++pass)
        EXPECT_EQ(music[pass], music[39]) << "pass " << pass + 1;
    // Resumed, both go on from where they stood.
    EXPECT_GE(times[69], times[68]);
    EXPECT_GT(times[95], times[69]);
    EXPECT_GE(music[70], music[68]);
    EXPECT_GT(music[95], music[68]);
}

TEST_F(EditorTest, ASeekIntoASceneShowsTheFramesACaptureFromTheStartShowsThere) {
    Capture("whole", 70, false);
    // At pass 2, to 2.6 s: the middle of the fifth scene, which began at 1.6 s.
    Capture("sought", 5, true, {{2, [] { engine::SeekDemo(2.6); }}});

    // The editor's overlay never reaches a capture, and a seek lands on the capture's frame.
    EXPECT_TRUE(Frame("sought", 1) == Frame("whole", 1));
    for (int frame = 2; frame <= 5; ++frame)
        EXPECT_TRUE(Frame("sought", frame) == Frame("whole", 64 + frame)) << "frame " << frame;
    // The frames compared are of a scene in motion.
    EXPECT_FALSE(Frame("whole", 66) == Frame("whole", 67));
    EXPECT_FALSE(Frame("whole", 66).empty());
}

TEST_F(EditorTest, LKeyLoopsTheSceneFromItsFirstFrameAndDigitKeysPickAScene) {
    Capture("looped", 16, true,
            {{2, [] { Press('L'); }}, {3, [] { Release('L'); }}, {13, [] { Press('3'); }}, {14, [] {
                                                                                                Release('3');
                                                                                            }}});

    // The first scene ends after its tenth pass and starts again from its start.
    ASSERT_EQ(scenes.size(), 16u);
    for (int pass = 0; pass < 12; ++pass)
        EXPECT_EQ(scenes[pass], 1) << "pass " << pass + 1;
    // Pass 10 drew 0.4 s and then sent the clock back to the start.
    EXPECT_NEAR(times[8], 0.36, 1e-9);
    EXPECT_EQ(times[9], 0.0);
    EXPECT_NEAR(times[10], 0.04, 1e-9);
    EXPECT_TRUE(Frame("looped", 11) == Frame("looped", 1));
    // "3" shows the third scene from its start, 0.8 s.
    EXPECT_EQ(scenes[12], 3);
    EXPECT_NEAR(times[12], 0.84, 1e-9);
}
