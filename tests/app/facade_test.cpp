// The application facade without a window: StartApplication's music check, its start-up, one pass and
// teardown with a module that quits, and SetRootNode against a renderer registered under ID 10.
#include "core/kernel.h"
#include "core/timer.h"
#include "formats/xmWriter.h"
#include "platform/window.h"
#include "render/renderer.h"
#include "support/logCapture.h"
#include <engine/scene.h>

#include <engine/app.h>

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>

using namespace quorvel::test;
using engine::core::Kernel;
using quorvel::formats::XmShortSong;
using quorvel::formats::XmWriter;

namespace {

class QuitOnFirstPass : public engine::core::Module {
public:
    bool Start() override { return true; }
    void Update() override {
        ++updates;
        engine::QuitApplication();
    }
    void Stop() override { ++stops; }
    int updates = 0;
    int stops = 0;
};

class FacadeTest : public ::testing::Test {
protected:
    void TearDown() override {
        delete engine::core::Timer::mInstance;
        delete Kernel::mInstance;
    }
    ScopedLogDirectory folder;
    MessageBoxCapture boxes;
};

TEST_F(FacadeTest, MissingMusicThrowsBeforeTheTimerIsRegistered) {
    QuitOnFirstPass module;
    engine::AddModule(&module, 10100);
    try {
        engine::StartApplication();
        FAIL() << "StartApplication returned without its music";
    } catch (const engine::core::Exception& e) {
        EXPECT_EQ(e.GetText(), L"Failed to load music file. Sorry.");
    }
    EXPECT_EQ(Kernel::Get()->GetModule(6), nullptr);
    EXPECT_EQ(module.updates, 0);

    const std::string log = folder.CloseAndRead();
    EXPECT_EQ(Rows(log, "ERROR"), std::vector<std::string>{"Failed to load music file. Sorry."});
    EXPECT_EQ(Count(Rows(log, "MESSAGE"), "Adding new module ID: 6"), 0);
}

TEST_F(FacadeTest, StartsTimerAndMusicRunsOnePassAndTearsDown) {
    XmWriter::File(XmShortSong(16)).Save("data/dark_ages.xm");
    QuitOnFirstPass module;
    engine::AddModule(&module, 10100);
    engine::StartApplication();

    EXPECT_EQ(module.updates, 1);
    EXPECT_EQ(module.stops, 1);
    // The kernel and the timer went with the teardown; the program's own module is left to it.
    EXPECT_EQ(Kernel::mInstance, nullptr);
    EXPECT_EQ(engine::core::Timer::mInstance, nullptr);

    const std::string log = folder.CloseAndRead();
    EXPECT_EQ(Rows(log, "MESSAGE"),
              (std::vector<std::string>{"Adding new module ID: 10100", "Module sucessfully started",
                                        "Adding new module ID: 6", "Module sucessfully started",
                                        "Starting main loop", "Quit called", "Killing all modules"}));
    EXPECT_TRUE(Rows(log, "WARNING").empty());
    EXPECT_TRUE(Rows(log, "ERROR").empty());
}

class SetRootNodeTest : public FacadeTest {
protected:
    void SetUp() override { Kernel::Get()->AddModule(renderer, 10); }
    void TearDown() override {
        delete renderer;
        // Starting the renderer looked for the window's device and so made the window object.
        delete engine::core::CWin32Window::mInstance;
        FacadeTest::TearDown();
    }
    const std::vector<boost::shared_ptr<engine::gfx::Spatial>>& Children() const {
        return renderer->GetRootNode()->GetChildren();
    }

    engine::gfx::Renderer* renderer = new engine::gfx::Renderer();
    boost::shared_ptr<engine::gfx::Node> first = boost::make_shared<engine::gfx::Node>(nullptr);
};

TEST_F(SetRootNodeTest, AttachesTheSceneUnderTheRenderersRoot) {
    engine::SetRootNode(first);
    ASSERT_EQ(Children().size(), 1u);
    EXPECT_EQ(Children()[0], first);
    EXPECT_EQ(first->GetParent(), renderer->GetRootNode().get());
}

TEST_F(SetRootNodeTest, TheSameRootTwiceLeavesOneChild) {
    engine::SetRootNode(first);
    engine::SetRootNode(first);
    ASSERT_EQ(Children().size(), 1u);
    EXPECT_EQ(Children()[0], first);
}

TEST_F(SetRootNodeTest, AnotherRootReplacesThePreviousScene) {
    auto second = boost::make_shared<engine::gfx::Node>(nullptr);
    engine::SetRootNode(first);
    engine::SetRootNode(second);
    ASSERT_EQ(Children().size(), 1u);
    EXPECT_EQ(Children()[0], second);
    // The previous scene keeps its own parent link; only the renderer let go of it.
    EXPECT_EQ(first->GetParent(), renderer->GetRootNode().get());
    EXPECT_EQ(first.use_count(), 1);
}

TEST_F(SetRootNodeTest, AnEmptyRootIsRefusedWithOneWarning) {
    engine::SetRootNode(first);
    engine::SetRootNode({});
    ASSERT_EQ(Children().size(), 1u);
    EXPECT_EQ(Children()[0], first);

    const std::string log = folder.CloseAndRead();
    EXPECT_EQ(Rows(log, "WARNING"), std::vector<std::string>{"Setting NULL root node. Not Allowed."});
}

} // namespace

namespace {

TEST(AttachFacadeTest, NullNodesAndChildlessObjectsAreRefusedWithAWarningAndAttachNothing) {
    ScopedLogDirectory folder;
    engine::gfx::EmitterInfo info;
    engine::gfx::PlaneEmitterInfo planeInfo;
    engine::AddParticleEmitter(nullptr, info);
    engine::AddPlaneParticleEmitter(nullptr, planeInfo);
    engine::AddCurveEmitter(nullptr, info);

    engine::gfx::Node parent(nullptr);
    engine::gfx::Node childless(nullptr);
    engine::ArrayInfo array;
    array.object = &childless;
    array.entries.push_back({engine::math::Vector3f(1, 0, 0), nullptr, 3, true, false});
    engine::AddArrayModifier(array, nullptr);
    engine::AddArrayModifier(array, &parent);
    EXPECT_TRUE(parent.GetChildren().empty());

    const std::vector<std::string> warnings = Rows(folder.CloseAndRead(), "WARNING");
    EXPECT_EQ(Count(warnings, "Cannot add particle emmiter to NULL node"), 1);
    EXPECT_EQ(Count(warnings, "Cannot add plane particle emmiter to NULL node"), 1);
    EXPECT_EQ(Count(warnings, "Cannot add curve particle emmiter to NULL node"), 1);
    EXPECT_EQ(Count(warnings, "Cannot add array modifier to NULL node"), 1);
    EXPECT_EQ(warnings.size(), 5u);
}

} // namespace
