#include "effects/vertexInput.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace engine::gfx;

TEST(VertexInput, EachUsageNameHasItsOwnLocationWithinTheGuaranteedAttributes) {
    const char* const names[kVertexInputCount] = {"POSITION",  "NORMAL",    "TEXCOORD0", "TEXCOORD1",
                                                  "TEXCOORD2", "TEXCOORD3", "TANGENT",   "BINORMAL",
                                                  "COLOR0",    "COLOR1"};
    std::set<int> locations;
    for (const char* name : names) {
        const auto input = FindVertexInput(name);
        ASSERT_TRUE(input.has_value()) << name;
        EXPECT_GE(input->location, 0);
        EXPECT_LT(input->location, 16) << "OpenGL 3.3 guarantees 16 vertex attributes";
        locations.insert(input->location);
    }
    EXPECT_EQ(locations.size(), static_cast<std::size_t>(kVertexInputCount));

    const auto position = FindVertexInput("POSITION");
    EXPECT_EQ(position->usage, VertexUsage::Position);
    EXPECT_EQ(position->location, 0);
    const auto colour = FindVertexInput("TEXCOORD1");
    EXPECT_EQ(colour->usage, VertexUsage::TexCoord);
    EXPECT_EQ(colour->usageIndex, 1);
    EXPECT_EQ(static_cast<int>(FindVertexInput("NORMAL")->usage), 3); // Direct3D's number

    for (const char* unknown : {"position", "TEXCOORD4", "TEXCOORD8", "TEXCOORD", "POSITION0", "COLOR2", ""})
        EXPECT_FALSE(FindVertexInput(unknown).has_value()) << unknown;
}
