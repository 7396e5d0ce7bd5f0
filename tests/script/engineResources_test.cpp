#include "anim/ipoFile.h"
#include "formats/ipoWriter.h"
#include "platform/window.h"
#include "resources/resourceTypes.h"
#include "scriptFixture.h"

#include <gtest/gtest.h>

using engine::core::Exception;
using engine::core::ResourceManager;
using engine::core::resources::ManagedTexture;
using engine::gfx::EffectCandidate;
using engine::gfx::IPOFile;
using engine::gfx::ParseMaterialScript;
using quorvel::formats::IpoKey;
using quorvel::formats::IpoWriter;
using quorvel::test::CountRows;
using quorvel::test::MaterialScriptTest;

namespace {

// The one-argument parse, answered by the engine's own resource manager and curve player. There is no
// graphics device here, so every texture fails to load the way a missing file does.
class EngineResourcesTest : public MaterialScriptTest {
protected:
    void TearDown() override {
        delete IPOFile::mInstance;
        delete ResourceManager::mInstance;
        delete engine::core::CWin32Window::mInstance;
    }
};

} // namespace

TEST_F(EngineResourcesTest, CurvesComeFromTheGlobalCurvePlayer) {
    IpoWriter::File({{"fade", 1, 3, {IpoKey(0, 0), IpoKey(25, 1)}}}).Save(dir.Root() / "data/custom.ipo");
    std::vector<EffectCandidate> candidates = ParseMaterialScript(Write(R"(
        effect = { { pass = { { params = { { "ipo", "a", "fade" }, { "ipo", "b", "none" } }, streams = {} } } } }
    )"));
    const auto& curves = candidates.at(0).passes.at(0).params.curveValues;
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0].second, IPOFile::Get()->Find("fade"));
    EXPECT_NE(curves[0].second, nullptr);
    EXPECT_EQ(curves[1].second, nullptr);
}

TEST_F(EngineResourcesTest, TextureThatCannotBeLoadedStopsTheParseAndStaysRegistered) {
    EXPECT_THROW(ParseMaterialScript(Write(R"(
        effect = { { pass = { { params = { { "tex", "t", "data/wall.png" } }, streams = {} } } } }
    )")),
                 Exception);
    EXPECT_TRUE(ResourceManager::Get()->GetResource<ManagedTexture>(L"data/wall.png"));
    std::string log = dir.CloseAndRead();
    EXPECT_EQ(CountRows(log, "ERROR", "Failed to create texture data/wall.png: no graphics device"), 1);
    EXPECT_EQ(CountRows(log, "MESSAGE", "Creating managed texture data/wall.png"), 1);
}
