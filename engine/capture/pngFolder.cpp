#include "capture/pngFolder.h"

#include "capture/offlineMusic.h"
#include "core/logging.h"

#include <stb_image_write.h>

namespace engine::capture {

PngFolder::PngFolder(const std::string& folder)
    : output(folder, true), sound(output.Path() / kSoundFileName, OfflineMusic::kSampleRate) {}

void PngFolder::Picture(const std::vector<std::uint8_t>& rgba, int width, int height) {
    // The back buffer's alpha is whatever blending left there; the picture shown is opaque.
    const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    rgb.resize(pixels * 3);
    for (std::size_t pixel = 0; pixel < pixels; ++pixel)
        for (int channel = 0; channel < 3; ++channel)
            rgb[pixel * 3 + channel] = rgba[pixel * 4 + channel];
    const std::filesystem::path path = output.Path() / FrameFileName(++frames);
    if (stbi_write_png(path.c_str(), width, height, 3, rgb.data(), width * 3) == 0)
        LOG_ERROR("Cannot write the capture's picture '" + path.string() + "'");
}

void PngFolder::Sound(const std::vector<float>& interleaved) {
    sound.Write(interleaved);
}

void PngFolder::Finish() {
    sound.Close();
    output.Commit();
}

} // namespace engine::capture
