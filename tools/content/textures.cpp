#include "content/content.h"

#include <stb_image.h>
#include <stb_image_write.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <stdexcept>

namespace quorvel::content {

namespace {

// A fuzzing build sets it lower: one picture of the largest size takes seconds to make under the
// sanitizers, and the shipped content makes none above 256.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
constexpr int kMaxImageSize = 1024;
#else
constexpr int kMaxImageSize = 8192;
#endif
// The coarsest octave of the noise has this many lattice cells across the image.
constexpr int kNoiseBaseCells = 4;
constexpr int kMaxOctaves = 10;

void CheckImageSize(const char* generator, int width, int height) {
    if (width < 1 || height < 1 || width > kMaxImageSize || height > kMaxImageSize)
        throw std::invalid_argument(std::string(generator) + ": image size " + std::to_string(width) + " x " +
                                    std::to_string(height) + " is outside 1-" +
                                    std::to_string(kMaxImageSize));
}

// NaN and values outside 0..1 land on the nearest end instead of being cast undefined.
std::uint8_t Quantize(float value) {
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return 255;
    return static_cast<std::uint8_t>(value * 255.0f + 0.5f);
}

Image Blank(int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    image.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    return image;
}

void Put(Image& image, int x, int y, const Colour& colour) {
    std::uint8_t* pixel = &image.rgba[(static_cast<std::size_t>(y) * image.width + x) * 4];
    for (int channel = 0; channel < 4; ++channel)
        pixel[channel] = Quantize(colour[channel]);
}

Colour Mix(const Colour& a, const Colour& b, float t) {
    Colour result;
    for (int channel = 0; channel < 4; ++channel)
        result[channel] = a[channel] + (b[channel] - a[channel]) * t;
    return result;
}

// An integer mixer (lowbias32): every input bit affects every output bit. Standard distributions are
// avoided because their output may change between library versions.
std::uint32_t Hash(std::uint32_t x) {
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

// A value in 0..1 for a lattice point.
float LatticeValue(std::uint32_t seed, int octave, int x, int y) {
    const std::uint32_t h =
        Hash(static_cast<std::uint32_t>(x) +
             Hash(static_cast<std::uint32_t>(y) + Hash(static_cast<std::uint32_t>(octave) + Hash(seed))));
    return static_cast<float>(h >> 8) / static_cast<float>(1 << 24);
}

float SmoothStep(float t) {
    return t * t * (3.0f - 2.0f * t);
}

// One octave at pixel (x, y): the lattice wraps after `cellsX` x `cellsY` cells, which is what makes
// the picture tile.
float NoiseOctave(std::uint32_t seed, int octave, int cellsX, int cellsY, int x, int y, int width,
                  int height) {
    const float fx = (x + 0.5f) * cellsX / width, fy = (y + 0.5f) * cellsY / height;
    const int x0 = static_cast<int>(fx), y0 = static_cast<int>(fy);
    const float tx = SmoothStep(fx - x0), ty = SmoothStep(fy - y0);
    const int x1 = (x0 + 1) % cellsX, y1 = (y0 + 1) % cellsY;
    const float top = LatticeValue(seed, octave, x0, y0) +
                      (LatticeValue(seed, octave, x1, y0) - LatticeValue(seed, octave, x0, y0)) * tx;
    const float bottom = LatticeValue(seed, octave, x0, y1) +
                         (LatticeValue(seed, octave, x1, y1) - LatticeValue(seed, octave, x0, y1)) * tx;
    return top + (bottom - top) * ty;
}

} // namespace

Image Gradient(int width, int height, Colour from, Colour to, bool horizontal) {
    CheckImageSize("Gradient", width, height);
    Image image = Blank(width, height);
    const int steps = (horizontal ? width : height) - 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int step = horizontal ? x : y;
            Put(image, x, y, Mix(from, to, steps > 0 ? static_cast<float>(step) / steps : 0.0f));
        }
    return image;
}

Image Noise(int width, int height, Colour dark, Colour light, int octaves, std::uint32_t seed) {
    CheckImageSize("Noise", width, height);
    if (octaves < 1 || octaves > kMaxOctaves)
        throw std::invalid_argument("Noise: octaves must be between 1 and " + std::to_string(kMaxOctaves) +
                                    ", not " + std::to_string(octaves));
    Image image = Blank(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Each octave has twice the cells and half the weight of the one before; the weights are
            // normalized so the result spans dark..light.
            float sum = 0.0f, weight = 1.0f, total = 0.0f;
            for (int octave = 0; octave < octaves; ++octave) {
                const int cells = kNoiseBaseCells << octave;
                sum += weight * NoiseOctave(seed, octave, cells, cells, x, y, width, height);
                total += weight;
                weight *= 0.5f;
            }
            Put(image, x, y, Mix(dark, light, sum / total));
        }
    return image;
}

Image Checker(int width, int height, int cells, Colour a, Colour b) {
    CheckImageSize("Checker", width, height);
    if (cells < 1 || cells > std::min(width, height))
        throw std::invalid_argument("Checker: cells must be between 1 and " +
                                    std::to_string(std::min(width, height)) + ", not " +
                                    std::to_string(cells));
    // `cells` squares along each side, the top-left one in `a`.
    Image image = Blank(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int cell = x * cells / width + y * cells / height;
            Put(image, x, y, cell % 2 == 0 ? a : b);
        }
    return image;
}

Image GlowSprite(int size, Colour centre, float falloff) {
    CheckImageSize("GlowSprite", size, size);
    if (!(falloff > 0.0f) || !std::isfinite(falloff))
        throw std::invalid_argument("GlowSprite: falloff must be a positive number, not " +
                                    std::to_string(falloff));
    Image image = Blank(size, size);
    const float radius = 0.5f * size;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const float dx = x + 0.5f - radius, dy = y + 0.5f - radius;
            const float distance = std::sqrt(dx * dx + dy * dy) / radius;
            const float strength = distance < 1.0f ? std::pow(1.0f - distance, falloff) : 0.0f;
            Put(image, x, y,
                {centre[0] * strength, centre[1] * strength, centre[2] * strength, centre[3] * strength});
        }
    return image;
}

std::vector<std::uint8_t> EncodePng(const Image& image) {
    CheckImageSize("EncodePng", image.width, image.height);
    if (image.rgba.size() != static_cast<std::size_t>(image.width) * image.height * 4)
        throw std::invalid_argument("EncodePng: " + std::to_string(image.rgba.size()) + " bytes for a " +
                                    std::to_string(image.width) + " x " + std::to_string(image.height) +
                                    " RGBA image");
    std::vector<std::uint8_t> png;
    const auto append = [](void* context, void* data, int size) {
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        static_cast<std::vector<std::uint8_t>*>(context)->insert(
            static_cast<std::vector<std::uint8_t>*>(context)->end(), bytes, bytes + size);
    };
    if (stbi_write_png_to_func(append, &png, image.width, image.height, 4, image.rgba.data(),
                               image.width * 4) == 0)
        throw std::runtime_error("EncodePng: the PNG encoder failed");
    return png;
}

Image DecodeImage(const std::vector<std::uint8_t>& bytes) {
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw std::invalid_argument("the file is too large for a picture");
    int width = 0, height = 0, channels = 0;
    // The header first: a huge declared size is refused before anything is allocated for it.
    if (stbi_info_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels) == 0)
        throw std::invalid_argument(std::string("not a picture stb can read (") + stbi_failure_reason() +
                                    ")");
    CheckImageSize("image", width, height);
    stbi_uc* pixels =
        stbi_load_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
    if (pixels == nullptr)
        throw std::invalid_argument(std::string("the picture cannot be decoded (") + stbi_failure_reason() +
                                    ")");
    Image image = Blank(width, height);
    std::copy(pixels, pixels + image.rgba.size(), image.rgba.begin());
    stbi_image_free(pixels);
    return image;
}

bool WritePng(const Image& image, const std::filesystem::path& file) {
    const std::vector<std::uint8_t> png = EncodePng(image);
    std::error_code error;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), error);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    out.close();
    return static_cast<bool>(out);
}

} // namespace quorvel::content
