// Generated textures and their PNG bytes.
#include "content/content.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <algorithm>
#include <cstdlib>

using namespace quorvel::content;

namespace {

std::array<int, 4> Pixel(const Image& image, int x, int y) {
    const std::uint8_t* p = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// The largest change of any channel between neighbouring columns (or rows), across the wrap or inside.
int LargestStep(const Image& image, bool acrossWrap, bool columns) {
    const int along = columns ? image.width : image.height, other = columns ? image.height : image.width;
    int largest = 0;
    for (int i = acrossWrap ? along - 1 : 0; i < along - 1 || (acrossWrap && i == along - 1); ++i)
        for (int j = 0; j < other; ++j) {
            const int next = (i + 1) % along;
            const auto a = columns ? Pixel(image, i, j) : Pixel(image, j, i);
            const auto b = columns ? Pixel(image, next, j) : Pixel(image, j, next);
            for (int c = 0; c < 4; ++c)
                largest = std::max(largest, std::abs(a[c] - b[c]));
        }
    return largest;
}

} // namespace

TEST(ContentTextures, PatternsRunTheWayTheySay) {
    const Image vertical = Gradient(4, 5, {1, 0, 0, 1}, {0, 0, 1, 0}, false);
    EXPECT_EQ(Pixel(vertical, 3, 0), (std::array<int, 4>{255, 0, 0, 255}));
    EXPECT_EQ(Pixel(vertical, 0, 4), (std::array<int, 4>{0, 0, 255, 0}));
    EXPECT_EQ(Pixel(vertical, 2, 2), (std::array<int, 4>{128, 0, 128, 128}));
    const Image horizontal = Gradient(5, 2, {0, 0, 0, 1}, {1, 1, 1, 1}, true);
    EXPECT_EQ(Pixel(horizontal, 0, 1), (std::array<int, 4>{0, 0, 0, 255}));
    EXPECT_EQ(Pixel(horizontal, 4, 0), (std::array<int, 4>{255, 255, 255, 255}));

    const Image checker = Checker(8, 8, 4, {1, 1, 1, 1}, {0, 0, 0, 1});
    EXPECT_EQ(Pixel(checker, 1, 1)[0], 255);
    EXPECT_EQ(Pixel(checker, 2, 1)[0], 0);
    EXPECT_EQ(Pixel(checker, 2, 2)[0], 255);

    const Image glow = GlowSprite(16, {1, 0.5f, 0.25f, 1}, 2);
    EXPECT_GT(Pixel(glow, 8, 8)[3], 200);
    EXPECT_EQ(Pixel(glow, 0, 0), (std::array<int, 4>{0, 0, 0, 0})) << "corners fade to transparent black";
    EXPECT_GT(Pixel(glow, 8, 8)[3], Pixel(glow, 8, 4)[3]);
}

TEST(ContentTextures, NoiseTilesAndFollowsItsSeedOnly) {
    const Image noise = Noise(64, 48, {0, 0, 0, 1}, {1, 1, 1, 1}, 3, 7);
    for (bool columns : {true, false})
        EXPECT_LE(LargestStep(noise, true, columns), LargestStep(noise, false, columns))
            << "the edges must meet like neighbouring pixels";
    EXPECT_EQ(noise.rgba, Noise(64, 48, {0, 0, 0, 1}, {1, 1, 1, 1}, 3, 7).rgba);
    EXPECT_NE(noise.rgba, Noise(64, 48, {0, 0, 0, 1}, {1, 1, 1, 1}, 3, 8).rgba);
    const auto [low, high] = std::minmax_element(noise.rgba.begin(), noise.rgba.end());
    EXPECT_LT(*low, 96);
    EXPECT_GT(*high, 160);
}

TEST(ContentTextures, PngBytesRepeatAndDecodeToThePixels) {
    const Image image = Noise(32, 16, {0.1f, 0.2f, 0.3f, 1}, {0.9f, 0.8f, 0.2f, 0.5f}, 4, 99);
    const std::vector<std::uint8_t> png = EncodePng(image);
    EXPECT_EQ(png, EncodePng(Noise(32, 16, {0.1f, 0.2f, 0.3f, 1}, {0.9f, 0.8f, 0.2f, 0.5f}, 4, 99)));
    int width = 0, height = 0, channels = 0;
    stbi_uc* decoded =
        stbi_load_from_memory(png.data(), static_cast<int>(png.size()), &width, &height, &channels, 4);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(width, 32);
    EXPECT_EQ(height, 16);
    EXPECT_TRUE(std::equal(image.rgba.begin(), image.rgba.end(), decoded));
    stbi_image_free(decoded);

    Image broken = image;
    broken.rgba.pop_back();
    EXPECT_THROW(EncodePng(broken), std::invalid_argument);
    EXPECT_FALSE(WritePng(image, "/proc/quorvel/cannot.png"));
}
