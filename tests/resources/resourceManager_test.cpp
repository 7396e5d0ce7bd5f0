// The resource manager on a recording device: one object per name, type mismatches, replacing
// render targets, the default target size, device loss and reset, and the manager's teardown.
#include "platform/window.h"
#include "render/recordingDevice.h"
#include "resources/resourceManager.h"
#include "resources/resourceTypes.h"
#include "support/logCapture.h"

#include <boost/weak_ptr.hpp>
#include <gtest/gtest.h>

#include <fstream>

using namespace quorvel::test;
using engine::core::CWin32Window;
using engine::core::ResourceManager;
using engine::core::resources::ManagedTexture;
using engine::core::resources::RenderTargetTexture;

namespace {

class ResourceManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = new RecordingDevice(&calls);
        CWin32Window::Get()->device = device;
        manager = ResourceManager::Get();
        std::ofstream("stone.png") << "x";
    }
    void TearDown() override {
        delete ResourceManager::mInstance;
        delete CWin32Window::mInstance;
    }
    int Created(const std::string& what) const {
        return static_cast<int>(std::count(calls.begin(), calls.end(), what));
    }

    ScopedLogDirectory log;
    std::vector<std::string> calls;
    RecordingDevice* device = nullptr;
    ResourceManager* manager = nullptr;
};

} // namespace

TEST_F(ResourceManagerTest, SameNameLoadsOnce) {
    auto first = manager->GetResource<ManagedTexture>(L"stone.png");
    auto second = manager->GetResource<ManagedTexture>(L"stone.png");
    EXPECT_EQ(first, second);
    ASSERT_NE(first->Retrieve(), nullptr);
    EXPECT_EQ(Created("CreateTextureFromFile"), 1);
    // Names are compared exactly.
    EXPECT_NE(manager->GetResource<ManagedTexture>(L"./stone.png"), first);
    EXPECT_EQ(CountRows(log.CloseAndRead(), "MESSAGE", "Creating managed texture stone.png"), 1);
}

TEST_F(ResourceManagerTest, AMissingTextureIsReportedAndStaysRegistered) {
    try {
        manager->GetResource<ManagedTexture>(L"data/missing.png");
        FAIL() << "no exception";
    } catch (const engine::core::Exception& e) {
        EXPECT_EQ(e.GetText().rfind(L"Failed to create texture data/missing.png: cannot open the file", 0),
                  0u);
    }
    auto again = manager->GetResource<ManagedTexture>(L"data/missing.png");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Retrieve(), nullptr);
    EXPECT_EQ(Created("CreateTextureFromFile"), 1);
    const std::string text = log.CloseAndRead();
    EXPECT_EQ(CountRows(text, "ERROR", "Failed to create texture data/missing.png: cannot open the file"), 1);
}

TEST_F(ResourceManagerTest, ANameOfAnotherTypeGivesNothingAndLoadsNothing) {
    auto target = manager->GetResource<RenderTargetTexture>(L"glow");
    EXPECT_EQ(target->GetSize(), 256);
    EXPECT_EQ(target->Retrieve()->Width(), 256u);
    calls.clear();
    EXPECT_FALSE(manager->GetResource<ManagedTexture>(L"glow"));
    EXPECT_TRUE(calls.empty());
    manager->GetResource<ManagedTexture>(L"stone.png");
    EXPECT_FALSE(manager->GetResource<RenderTargetTexture>(L"stone.png"));
}

TEST_F(ResourceManagerTest, CreatingATargetAgainReplacesTheEntry) {
    auto old = manager->GetResource<RenderTargetTexture>(L"glow");
    auto replacement = boost::make_shared<RenderTargetTexture>(L"glow", 512);
    manager->AddUnmanaged(L"glow", replacement);
    replacement->Load();
    EXPECT_EQ(manager->GetResource<RenderTargetTexture>(L"glow"), replacement);
    EXPECT_EQ(replacement->Retrieve()->Width(), 512u);
    EXPECT_EQ(replacement->Retrieve()->GetUsage(), engine::gpu::UsageRenderTarget);
    EXPECT_EQ(replacement->Retrieve()->GetFormat(), engine::gpu::FormatX8R8G8B8);
    // The replaced target's texture goes with its last holder.
    EXPECT_EQ(device->texturesReleased, 0);
    old.reset();
    EXPECT_EQ(device->texturesReleased, 1);
}

TEST_F(ResourceManagerTest, ResetGivesTargetsANewTextureOfTheSameSize) {
    auto target = manager->GetResource<RenderTargetTexture>(L"glow");
    auto texture = manager->GetResource<ManagedTexture>(L"stone.png");
    const engine::gpu::Texture* managedBefore = texture->Retrieve();
    manager->OnLostDevice();
    EXPECT_EQ(target->Retrieve(), nullptr);
    EXPECT_EQ(device->texturesReleased, 1);
    manager->OnResetDevice();
    ASSERT_NE(target->Retrieve(), nullptr);
    EXPECT_EQ(target->Retrieve()->Width(), 256u);
    EXPECT_EQ(texture->Retrieve(), managedBefore);
}

TEST_F(ResourceManagerTest, OneTargetFailingToRebuildDoesNotStopTheOthers) {
    auto a = manager->GetResource<RenderTargetTexture>(L"a");
    auto b = manager->GetResource<RenderTargetTexture>(L"b");
    manager->OnLostDevice();
    device->failRenderTargets = true;
    EXPECT_THROW(manager->OnResetDevice(), engine::core::Exception);
    device->failRenderTargets = false;
    EXPECT_EQ(a->Retrieve(), nullptr);
    // b was still visited; it failed too, but only after a had been tried.
    EXPECT_EQ(Created("CreateTexture 256"), 4);
    const std::string text = log.CloseAndRead();
    EXPECT_EQ(CountRows(text, "ERROR", "Failed to create render target texture"), 2);
    EXPECT_EQ(CountRows(text, "WARNING", "Render target a of 256 pixels: the device answered 0x8876017c"), 1);
}

TEST_F(ResourceManagerTest, BadSizesAndNoDeviceAreReported) {
    auto zero = boost::make_shared<RenderTargetTexture>(L"zero", 0);
    EXPECT_THROW(zero->Load(), engine::core::Exception);
    CWin32Window::Get()->device = nullptr;
    EXPECT_THROW(manager->GetResource<ManagedTexture>(L"stone.png"), engine::core::Exception);
    CWin32Window::Get()->device = device;
    const std::string text = log.CloseAndRead();
    EXPECT_EQ(CountRows(text, "ERROR", "Failed to create texture stone.png: no graphics device"), 1);
    EXPECT_EQ(CountRows(text, "WARNING", "Render target zero of 0 pixels: the device answered 0x8876086c"),
              1);
}

TEST_F(ResourceManagerTest, NothingIsReleasedUntilTheManagerGoes) {
    boost::weak_ptr<ManagedTexture> weak;
    {
        auto texture = manager->GetResource<ManagedTexture>(L"stone.png");
        weak = texture;
    }
    auto target = manager->GetResource<RenderTargetTexture>(L"glow");
    EXPECT_FALSE(weak.expired());
    EXPECT_EQ(device->texturesReleased, 0);
    delete ResourceManager::mInstance;
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(device->texturesReleased, 2);
    // A resource still held elsewhere survives, unloaded.
    EXPECT_EQ(target->Retrieve(), nullptr);
    EXPECT_EQ(ResourceManager::mInstance, nullptr);
}
