#include "capture/frameSink.h"

#include "capture/pngFolder.h"
#include "capture/threadedSink.h"
#include "capture/videoEncoder.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <utility>

namespace engine::capture {

std::string VideoContainer(const std::string& output) {
    std::string extension = std::filesystem::path(output).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".mp4")
        return "mp4";
    if (extension == ".mkv")
        return "matroska";
    return "";
}

std::unique_ptr<FrameSink> OpenSink(const CaptureSettings& settings) {
    const std::string container = VideoContainer(settings.output);
    std::unique_ptr<FrameSink> sink;
    if (container.empty())
        sink = std::make_unique<PngFolder>(settings.output, settings.firstFrame);
    else
        sink = std::make_unique<VideoEncoder>(settings.output, container, settings.width, settings.height,
                                              settings.framesPerSecond, settings.firstFrame);
    if (settings.pipelined)
        return std::make_unique<ThreadedSink>(std::move(sink));
    return sink;
}

} // namespace engine::capture
