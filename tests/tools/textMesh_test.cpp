// 3D type from the shipped font: every letter makes a closed solid, kerning moves letters, and a file
// that is no font is refused by name.
#include "build.h"
#include "content/textMesh.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <unistd.h>

using namespace quorvel::content;
namespace fs = std::filesystem;

namespace {

std::vector<std::uint8_t> ShippedFontBytes() {
    std::ifstream in(fs::path(QUORVEL_SOURCE_DIR) / "content/fonts/DejaVuSans-Bold.ttf", std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

const FontFile& ShippedFont() {
    static const FontFile font(ShippedFontBytes());
    return font;
}

float Width(const MeshData& mesh) {
    float low = 1e9f, high = -1e9f;
    for (const Float3& p : mesh.positions) {
        low = std::min(low, p[0]);
        high = std::max(high, p[0]);
    }
    return high - low;
}

// Corners welded by position: every edge must be met exactly once in each direction (no hole, no
// fin, no triangle turned against its neighbours), and the enclosed volume must be positive, which
// with the engine's winding means the faces look outwards.
void ExpectClosedSolid(const MeshData& mesh, const std::string& what) {
    std::map<std::array<float, 3>, std::uint32_t> welded;
    std::vector<std::uint32_t> id;
    for (const Float3& p : mesh.positions)
        id.push_back(welded.emplace(std::array<float, 3>{p[0], p[1], p[2]}, welded.size()).first->second);
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> edges;
    double volume = 0;
    for (std::size_t t = 0; t < mesh.indices.size(); t += 3) {
        const std::uint32_t corners[3] = {id[mesh.indices[t]], id[mesh.indices[t + 1]],
                                          id[mesh.indices[t + 2]]};
        for (int k = 0; k < 3; ++k)
            ++edges[{corners[k], corners[(k + 1) % 3]}];
        const Float3 &a = mesh.positions[mesh.indices[t]], &b = mesh.positions[mesh.indices[t + 1]],
                     &c = mesh.positions[mesh.indices[t + 2]];
        volume += (a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
                   a[2] * (b[0] * c[1] - b[1] * c[0])) /
                  6.0;
    }
    int open = 0;
    for (const auto& [edge, count] : edges) {
        const auto back = edges.find({edge.second, edge.first});
        if (count != 1 || back == edges.end() || back->second != 1)
            ++open;
    }
    EXPECT_EQ(open, 0) << what << ": edges not met once each way";
    EXPECT_GT(volume, 0) << what << ": the faces look inwards";
}

TEST(TextMesh, EveryPrintableLetterIsAClosedOutwardFacingSolidFlatAndBevelled) {
    for (float bevel : {0.0f, 0.03f})
        for (char letter = '!'; letter <= '~'; ++letter)
            ExpectClosedSolid(TextMesh(ShippedFont(), std::string(1, letter), {1, 0.25f, bevel}),
                              std::string("'") + letter + "' bevel " + std::to_string(bevel));
}

TEST(TextMesh, KerningDrawsAAndVTogether) {
    TextLayout kerned, plain;
    plain.kerning = false;
    const float withKerning = Width(TextMesh(ShippedFont(), "AV", kerned));
    const float without = Width(TextMesh(ShippedFont(), "AV", plain));
    EXPECT_LT(withKerning, without - 0.02f);
}

TEST(TextMesh, AFileThatIsNoFontIsRefusedByName) {
    char pattern[] = "/tmp/talvo-text-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    fs::create_directories(root / "scenes");
    fs::create_directories(root / "fonts");
    std::ofstream(root / "fonts/broken.ttf") << "not a font at all, only text";
    std::ofstream(root / "scenes/titled.lua") << "return { length = 1, meshes = { t = { shape = text{ font = "
                                                 "\"fonts/broken.ttf\", string = \"A\" } } } }\n";
    std::string error = "no error";
    try {
        quorvel::build::CompileContent(root);
    } catch (const quorvel::build::BuildError& fault) {
        error = fault.what();
    }
    fs::remove_all(root);
    EXPECT_NE(error.find((root / "scenes/titled.lua").string() +
                         ":1: text: " + (root / "fonts/broken.ttf").string() + ": not a TrueType font"),
              std::string::npos)
        << error;
}

} // namespace
