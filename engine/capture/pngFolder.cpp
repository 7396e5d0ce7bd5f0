#include "capture/pngFolder.h"

#include "capture/offlineMusic.h"
#include "core/logging.h"

#include <stb_image_write.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace engine::capture {

namespace {

void Append(void* context, void* data, int size) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(context);
    const auto* first = static_cast<const std::uint8_t*>(data);
    bytes->insert(bytes->end(), first, first + size);
}

[[noreturn]] void Fail(const std::filesystem::path& path, const std::string& reason) {
    LOG_ERROR("Cannot write the capture's picture '" + path.string() + "': " + reason);
}

} // namespace

PngFolder::PngFolder(const std::string& folder, std::int64_t firstFrame)
    : output(folder, true), sound(output.Path() / kSoundFileName, OfflineMusic::kSampleRate),
      frames(firstFrame - 1) {}

void PngFolder::Picture(const std::vector<std::uint8_t>& rgba, int width, int height) {
    // The back buffer's alpha is whatever blending left there; the picture shown is opaque.
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    rgb.resize(pixels * 3);
    for (std::size_t pixel = 0; pixel < pixels; ++pixel)
        for (int channel = 0; channel < 3; ++channel)
            rgb[pixel * 3 + channel] = rgba[pixel * 4 + channel];
    const std::filesystem::path path = output.Path() / FrameFileName(++frames);
    png.clear();
    if (stbi_write_png_to_func(Append, &png, width, height, 3, rgb.data(), width * 3) == 0)
        Fail(path, "the picture could not be encoded");
    // Written here rather than by stb_image_write, which does not check that its bytes reached the disk.
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        Fail(path, std::strerror(errno));
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    const int error = errno;
    if (std::fclose(file) != 0 || !written)
        Fail(path, std::strerror(written ? errno : error));
}

void PngFolder::Sound(const std::vector<float>& interleaved) {
    sound.Write(interleaved);
}

void PngFolder::Finish() {
    sound.Close();
    output.Commit();
}

} // namespace engine::capture
