// The whole application facade on the real OpenGL device, offscreen: window creation registers the
// engine's standard modules in their order, a program module sets a scene and a render target from its
// Start, and StartApplication plays the music, runs one pass, quits and tears every singleton down,
// leaving the log's rows in order.
#include "anim/ipoFile.h"
#include "app/screen.h"
#include "core/input.h"
#include "core/kernel.h"
#include "core/timer.h"
#include "formats/ipoWriter.h"
#include "formats/xmWriter.h"
#include "platform/window.h"
#include "render/effectPool.h"
#include "render/renderer.h"
#include "resources/resourceManager.h"
#include "resources/resourceTypes.h"
#include "scene/lightManager.h"
#include "support/logCapture.h"
#include <engine/scene.h>

#include <engine/app.h>

#include <boost/make_shared.hpp>
#include <gtest/gtest.h>
#include <stb_image_write.h>

#include <algorithm>

using namespace quorvel::test;
using engine::core::CWin32Window;
using engine::core::Kernel;
using engine::core::resources::RenderTargetTexture;
using quorvel::formats::IpoWriter;
using quorvel::formats::XmShortSong;
using quorvel::formats::XmWriter;

namespace {

// What a demo's timeline does at its smallest: builds its scene and targets at start, quits at once.
class OnePassProgram : public engine::core::Module {
public:
    bool Start() override {
        engine::CreateRenderTarget(L"glow", 32);
        replacedTarget = Target().get();
        engine::CreateRenderTarget(L"glow", 16);
        target = Target();
        texture = engine::LoadTexture(L"data/white.png");
        sameTexture = engine::LoadTexture(L"data/white.png");
        engine::SetRootNode(scene);
        return true;
    }
    static boost::shared_ptr<RenderTargetTexture> Target() {
        return engine::core::ResourceManager::Get()->GetResource<RenderTargetTexture>(L"glow");
    }
    void Update() override {
        ++updates;
        time = engine::GetTime();
        engine::QuitApplication();
    }
    void Stop() override { ++stops; }

    boost::shared_ptr<engine::gfx::Node> scene = boost::make_shared<engine::gfx::Node>(nullptr);
    boost::shared_ptr<engine::core::resources::ManagedTexture> texture, sameTexture;
    const RenderTargetTexture* replacedTarget = nullptr;
    boost::shared_ptr<RenderTargetTexture> target;
    int updates = 0;
    int stops = 0;
    double time = -1.0;
};

class FacadeGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        IpoWriter::File({}).Save("data/custom.ipo");
        XmWriter::File(XmShortSong(16)).Save("data/dark_ages.xm");
        const unsigned char white[4 * 4 * 3] = {255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                                255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                                255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255,
                                                255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255};
        ASSERT_NE(stbi_write_png("data/white.png", 4, 4, 3, white, 4 * 3), 0);
        settings.width = settings.height = 64;
    }

    ScopedLogDirectory folder;
    MessageBoxCapture boxes;
    engine::WindowSettings settings;
};

// The rows that start with prefix, in log order.
std::vector<std::string> RowsStartingWith(const std::vector<std::string>& rows, const std::string& prefix) {
    std::vector<std::string> kept;
    std::copy_if(rows.begin(), rows.end(), std::back_inserter(kept),
                 [&](const std::string& row) { return row.rfind(prefix, 0) == 0; });
    return kept;
}

// Whether the wanted rows appear in this order among the rows (others may lie between).
bool InOrder(const std::vector<std::string>& rows, const std::vector<std::string>& wanted) {
    auto at = rows.begin();
    for (const std::string& row : wanted) {
        at = std::find(at, rows.end(), row);
        if (at == rows.end())
            return false;
        ++at;
    }
    return true;
}

TEST_F(FacadeGlTest, StartsUpRunsOnePassAndShutsDownOffscreen) {
    engine::CreateTALVOWindow(settings);

    Kernel* kernel = Kernel::Get();
    auto* screen = dynamic_cast<engine::core::CScreen*>(kernel->GetModule(1));
    auto* renderer = dynamic_cast<engine::gfx::Renderer*>(kernel->GetModule(10));
    auto* input = dynamic_cast<engine::core::InputUpdate*>(kernel->GetModule(2));
    ASSERT_NE(screen, nullptr);
    ASSERT_NE(renderer, nullptr);
    ASSERT_NE(input, nullptr);
    ASSERT_NE(engine::gfx::IPOFile::mInstance, nullptr);
    EXPECT_EQ(kernel->GetModule(15), engine::gfx::IPOFile::mInstance);
    // Ascending priorities, with the curve player registered before the program's module of equal
    // priority: each pass runs screen, renderer, input, curves, then the program.
    EXPECT_LT(screen->priority, renderer->priority);
    EXPECT_LT(renderer->priority, input->priority);
    EXPECT_LT(input->priority, engine::gfx::IPOFile::mInstance->priority);
    EXPECT_EQ(engine::gfx::IPOFile::mInstance->priority, 10000);
    ASSERT_NE(CWin32Window::Get()->device, nullptr);
    EXPECT_EQ(CWin32Window::Get()->clearColor, 0u);

    OnePassProgram program;
    engine::AddModule(&program, 10100);
    ASSERT_EQ(renderer->GetRootNode()->GetChildren().size(), 1u);
    EXPECT_EQ(renderer->GetRootNode()->GetChildren()[0], program.scene);
    ASSERT_NE(program.texture, nullptr);
    EXPECT_NE(program.texture->Retrieve(), nullptr);
    EXPECT_EQ(program.sameTexture, program.texture);
    // A second target of the same name replaces the first, and is made at once.
    ASSERT_NE(program.target, nullptr);
    EXPECT_NE(program.target.get(), program.replacedTarget);
    EXPECT_EQ(program.target->GetSize(), 16);
    EXPECT_NE(program.target->Retrieve(), nullptr);

    engine::StartApplication();

    EXPECT_EQ(program.updates, 1);
    EXPECT_EQ(program.stops, 1);
    EXPECT_GE(program.time, 0.0);
    // Every engine module and singleton went; the program still holds its scene and texture, unloaded.
    EXPECT_EQ(Kernel::mInstance, nullptr);
    EXPECT_EQ(CWin32Window::mInstance, nullptr);
    EXPECT_EQ(engine::core::Timer::mInstance, nullptr);
    EXPECT_EQ(engine::gfx::IPOFile::mInstance, nullptr);
    EXPECT_EQ(engine::gfx::EffectPool::mInstance, nullptr);
    EXPECT_EQ(engine::gfx::LightManager::mInstance, nullptr);
    EXPECT_EQ(engine::core::ResourceManager::mInstance, nullptr);
    EXPECT_EQ(program.texture->Retrieve(), nullptr);
    EXPECT_EQ(program.target->Retrieve(), nullptr);

    const std::string log = folder.CloseAndRead();
    const std::vector<std::string> messages = Rows(log, "MESSAGE");
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "Release build");
    EXPECT_EQ(RowsStartingWith(messages, "Adding new module ID: "),
              (std::vector<std::string>{"Adding new module ID: 1", "Adding new module ID: 10",
                                        "Adding new module ID: 2", "Adding new module ID: 15",
                                        "Adding new module ID: 10100", "Adding new module ID: 6"}));
    EXPECT_EQ(Count(messages, "Module sucessfully started"), 6);
    EXPECT_EQ(Count(messages, "Creating managed texture data/white.png"), 1);
    // The two "glow" targets, and "lastFrame", which the renderer's first frame asks for.
    EXPECT_EQ(Count(messages, "Creating render target texture"), 3);
    EXPECT_TRUE(
        InOrder(messages, {"Release build", "Adding new module ID: 10100", "Creating render target texture",
                           "Creating managed texture data/white.png", "Module sucessfully started",
                           "Adding new module ID: 6", "Starting main loop", "Quit called",
                           "Killing all modules", "Releasing D3DDevice", "Releasing Direct3D"}))
        << log;
    EXPECT_TRUE(Rows(log, "WARNING").empty()) << log;
    EXPECT_TRUE(Rows(log, "ERROR").empty()) << log;
    EXPECT_TRUE(boxes.boxes.empty());
}

} // namespace
