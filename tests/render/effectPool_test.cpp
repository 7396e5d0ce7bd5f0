// The effect pool without a GPU: the built-in effects by key, and the fallback and strict paths of a
// script whose effect file cannot be loaded, with every log row they write.
#include "platform/window.h"
#include "render/effect.h"
#include "render/effectPool.h"
#include "render/recordingDevice.h"
#include "render/shader.h"
#include "resources/resourceManager.h"
#include "support/logCapture.h"

#include <engine/exception.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace quorvel::test;
using namespace engine::gfx;
using engine::core::CWin32Window;
using engine::core::ResourceManager;

namespace {

// The "level: text" of every WARNING and ERROR row, in order.
std::vector<std::string> Problems(const std::string& log) {
    std::vector<std::string> rows;
    std::istringstream lines(log);
    const std::string end = "</td></tr>";
    for (std::string line; std::getline(lines, line);) {
        const bool warning = line.find("<td>WARNING</td>") != std::string::npos;
        if ((!warning && line.find("<td>ERROR</td>") == std::string::npos) || line.size() < end.size())
            continue;
        const std::string cells = line.substr(0, line.size() - end.size());
        rows.push_back((warning ? "WARNING: " : "ERROR: ") + cells.substr(cells.rfind("<td>") + 4));
    }
    return rows;
}

class EffectPoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        device = new RecordingDevice();
        CWin32Window::Get()->device = device;
        std::ofstream("data/absent.efx") << R"(effect = {
            { priority = 2, pass = { { priority = 100, fx = "absent", tec = "Shiny", params = {}, streams = { "pos", "normal" } } } },
        })";
    }
    void TearDown() override {
        delete EffectPool::mInstance;
        delete ResourceManager::mInstance;
        delete CWin32Window::mInstance;
    }

    ScopedLogDirectory log;
    RecordingDevice* device = nullptr;
};

TEST_F(EffectPoolTest, TheBuiltinsAreOnePassEffectsUnderTheirShaderTypes) {
    EffectPool* pool = EffectPool::Get();
    EXPECT_EQ(ShaderDevice(), device);
    for (int key : {EffectPool::kAmbientKey, EffectPool::kWireframeKey, EffectPool::kDiffuseKey}) {
        boost::shared_ptr<Effect> effect = pool->GetBuiltin(key);
        ASSERT_TRUE(effect);
        ASSERT_EQ(effect->GetPasses().size(), 1u);
        EXPECT_EQ(effect->GetPasses()[0]->GetType(), key);
        EXPECT_EQ(effect->GetRanks()[key], 100);
    }
    EXPECT_FALSE(pool->GetBuiltin(5));
    EXPECT_FALSE(pool->GetBuiltin(-1));
    // Asking for an unknown key does not disturb the others.
    EXPECT_TRUE(pool->GetBuiltin(EffectPool::kWireframeKey));
}

TEST_F(EffectPoolTest, AnUnloadableEffectFileFallsBackToWireframeWithItsRows) {
    EXPECT_EQ(EffectPool::Get()->BuildEffect("data/absent.efx"), EffectPool::Get()->GetBuiltin(2));
    const std::vector<std::string> rows = Problems(log.CloseAndRead());
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].rfind("WARNING: Effect data/fx/absent.fx: data/fx/absent.fx", 0), 0u) << rows[0];
    EXPECT_EQ(rows[1], "ERROR: Failed to create effect data/fx/absent.fx");
    EXPECT_EQ(rows[2], "WARNING: Effect data/fx/absent.fx Technique Shiny failed");
    EXPECT_EQ(rows[3], "WARNING: No effects supported in the list, falling back to wireframe");
}

TEST_F(EffectPoolTest, TheStrictBuildThrowsWhereTheOtherFallsBack) {
    EXPECT_THROW(EffectPool::Get()->BuildEffectStrict("data/absent.efx"), engine::core::Exception);
    const std::vector<std::string> rows = Problems(log.CloseAndRead());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back(), "ERROR: Failed to generate an effect");
}

TEST_F(EffectPoolTest, AMissingScriptThrowsFromBothBuilds) {
    EXPECT_THROW(EffectPool::Get()->BuildEffect("data/nowhere.efx"), engine::core::Exception);
    EXPECT_THROW(EffectPool::Get()->BuildEffectStrict("data/nowhere.efx"), engine::core::Exception);
    const std::vector<std::string> rows = Problems(log.CloseAndRead());
    EXPECT_EQ(std::count(rows.begin(), rows.end(),
                         "WARNING: No effects supported in the list, falling back to wireframe"),
              0);
}

} // namespace
