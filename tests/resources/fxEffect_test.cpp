// The compiled effect resource without a GPU: what a failed load reports and leaves behind, and that
// device notifications on an effect that never loaded change nothing.
#include "platform/window.h"
#include "resources/fxEffect.h"
#include "resources/resourceManager.h"
#include "support/logCapture.h"

#include <engine/exception.h>

#include <gtest/gtest.h>

using namespace quorvel::test;
using engine::core::ResourceManager;
using engine::core::resources::FXEffect;

namespace {

class FXEffectTest : public ::testing::Test {
protected:
    void TearDown() override {
        delete ResourceManager::mInstance;
        delete engine::core::CWin32Window::mInstance;
    }
    ScopedLogDirectory log;
};

TEST_F(FXEffectTest, WithoutADeviceTheLoadExplainsThenFailsAndStaysRegistered) {
    EXPECT_THROW(ResourceManager::Get()->GetResource<FXEffect>(L"data/fx/plain.fx"), engine::core::Exception);
    boost::shared_ptr<FXEffect> effect = ResourceManager::Get()->GetResource<FXEffect>(L"data/fx/plain.fx");
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->Retrieve(), nullptr);
    effect->OnLostDevice();
    effect->OnResetDevice();
    EXPECT_EQ(effect->Retrieve(), nullptr);
    EXPECT_NE(FXEffect::SharedPool(), nullptr);
    EXPECT_EQ(FXEffect::SharedPool(), FXEffect::SharedPool());

    const std::string text = log.CloseAndRead();
    EXPECT_EQ(text.find("<td>Creating .fx effect data/fx/plain.fx</td>") != std::string::npos, true);
    const std::size_t warning = text.find("Effect data/fx/plain.fx: data/fx/plain.fx: no graphics device");
    const std::size_t error = text.find("<td>Failed to create effect data/fx/plain.fx</td>");
    ASSERT_NE(warning, std::string::npos) << text;
    ASSERT_NE(error, std::string::npos) << text;
    EXPECT_LT(warning, error);
    // Loaded once: the second request returns the broken resource without another attempt.
    EXPECT_EQ(text.find("Creating .fx effect", text.find("Creating .fx effect") + 1), std::string::npos);
}

} // namespace
