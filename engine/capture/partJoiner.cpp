#include "capture/partJoiner.h"

#include "capture/frameSink.h"
#include "capture/offlineMusic.h"
#include "capture/progressLine.h"
#include "capture/soundTrack.h"
#include "capture/temporaryOutput.h"
#include "capture/unattendedRun.h"
#include "capture/videoEncoder.h"
#include "core/logging.h"

#include <engine/capture.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace engine::capture {

namespace {

struct InputCloser {
    void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using Packet = std::unique_ptr<AVPacket, PacketFree>;

[[noreturn]] void PartFails(const std::string& path, const std::string& reason) {
    LOG_ERROR("Cannot join the capture part '" + path + "': " + reason);
}

Input OpenPart(const std::string& path) {
    AVFormatContext* context = nullptr;
    const int opened = avformat_open_input(&context, path.c_str(), nullptr, nullptr);
    if (opened < 0)
        PartFails(path, FfmpegErrorText(opened));
    Input input(context);
    const int found = avformat_find_stream_info(context, nullptr);
    if (found < 0)
        PartFails(path, FfmpegErrorText(found));
    return input;
}

int VideoStreamOf(AVFormatContext& input, const std::string& path) {
    const int index = av_find_best_stream(&input, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        PartFails(path, "it holds no video");
    return index;
}

std::string FramesText(std::int64_t first, std::int64_t count) {
    return "frames " + std::to_string(first) + "-" + std::to_string(first + count - 1);
}

// The stream parameters that must agree for packets of one part to decode in the other's stream.
bool SameCoding(const AVCodecParameters& a, const AVCodecParameters& b) {
    return a.codec_id == b.codec_id && a.width == b.width && a.height == b.height && a.format == b.format &&
           a.extradata_size == b.extradata_size &&
           (a.extradata_size == 0 || std::memcmp(a.extradata, b.extradata, a.extradata_size) == 0);
}

struct OutputCloser {
    void operator()(AVFormatContext* context) const {
        avio_closep(&context->pb);
        avformat_free_context(context);
    }
};

} // namespace

CapturePart ReadCapturePart(const std::string& path) {
    Input input = OpenPart(path);
    const int videoIndex = VideoStreamOf(*input, path);
    const AVStream& stream = *input->streams[videoIndex];
    CapturePart part;
    part.path = path;

    const AVDictionaryEntry* tag = av_dict_get(input->metadata, kFirstFrameTag, nullptr, 0);
    char* end = nullptr;
    const long long first = tag != nullptr ? std::strtoll(tag->value, &end, 10) : 0;
    if (tag == nullptr || end == tag->value || *end != '\0' || first < 1)
        PartFails(path,
                  "it does not say which frames it holds (a part is made by --capture with --from-frame)");
    part.firstFrame = first;

    AVRational rate = stream.avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0)
        rate = stream.r_frame_rate;
    if (rate.num <= 0 || rate.den != 1)
        PartFails(path, "its frame rate is not a whole number of frames a second");
    part.framesPerSecond = rate.num;

    Packet packet(av_packet_alloc());
    if (!packet)
        PartFails(path, FfmpegErrorText(AVERROR(ENOMEM)));
    // Presentation times in decoding order, in frames.
    std::vector<std::int64_t> times;
    while (true) {
        const int read = av_read_frame(input.get(), packet.get());
        if (read == AVERROR_EOF)
            break;
        if (read < 0)
            PartFails(path, FfmpegErrorText(read));
        if (packet->stream_index == videoIndex) {
            if (times.empty() && (packet->flags & AV_PKT_FLAG_KEY) == 0)
                PartFails(path, "it does not start with a key frame");
            if (packet->pts == AV_NOPTS_VALUE)
                PartFails(path, "a picture has no presentation time");
            times.push_back(av_rescale_q(packet->pts, stream.time_base, AVRational{1, part.framesPerSecond}));
        }
        av_packet_unref(packet.get());
    }
    if (times.empty())
        PartFails(path, "it holds no pictures");
    part.frames = static_cast<std::int64_t>(times.size());
    std::vector<std::int64_t> shown = times;
    std::sort(shown.begin(), shown.end());
    part.firstTime = shown.front();
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != part.firstTime + static_cast<std::int64_t>(i))
            PartFails(path, "its pictures are not one frame apart");
        part.reorderDepth =
            std::max(part.reorderDepth, static_cast<std::int64_t>(i) - (times[i] - part.firstTime));
    }
    return part;
}

std::vector<CapturePart> InFrameOrder(std::vector<CapturePart> parts) {
    std::stable_sort(parts.begin(), parts.end(),
                     [](const CapturePart& a, const CapturePart& b) { return a.firstFrame < b.firstFrame; });
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const CapturePart& before = parts[i - 1];
        const CapturePart& part = parts[i];
        const std::string holds = " holds " + FramesText(part.firstFrame, part.frames) + " but '" +
                                  before.path + "' holds " + FramesText(before.firstFrame, before.frames);
        if (part.framesPerSecond != before.framesPerSecond)
            PartFails(part.path, "it runs at " + std::to_string(part.framesPerSecond) +
                                     " frames a second, '" + before.path + "' at " +
                                     std::to_string(before.framesPerSecond));
        const std::int64_t expected = before.firstFrame + before.frames;
        if (part.firstFrame > expected)
            PartFails(part.path, "it" + holds + ": " + FramesText(expected, part.firstFrame - expected) +
                                     " are missing");
        if (part.firstFrame < expected)
            PartFails(part.path, "it" + holds + ": they overlap");
    }
    return parts;
}

void JoinParts(const std::string& outputPath, const std::vector<std::string>& partPaths, bool showProgress) {
    const std::string container = VideoContainer(outputPath);
    if (container.empty())
        LOG_ERROR("Cannot join into '" + outputPath + "': the joined capture must be a .mp4 or .mkv file");
    if (partPaths.empty())
        LOG_ERROR("Cannot join into '" + outputPath + "': no parts given");
    av_log_set_level(AV_LOG_ERROR);
    std::vector<CapturePart> parts;
    for (const std::string& path : partPaths)
        parts.push_back(ReadCapturePart(path));
    parts = InFrameOrder(std::move(parts));
    const int fps = parts.front().framesPerSecond;
    const std::int64_t firstFrame = parts.front().firstFrame;
    std::int64_t totalFrames = 0;
    std::int64_t reorderDepth = 0;
    for (const CapturePart& part : parts) {
        totalFrames += part.frames;
        reorderDepth = std::max(reorderDepth, part.reorderDepth);
    }

    TemporaryOutput output(outputPath, false);
    const std::string target = "the joined capture '" + output.FinalPath().string() + "'";
    const auto fail = [&](const std::string& step, int error) {
        LOG_ERROR("Cannot write " + target + " (" + step + "): " + FfmpegErrorText(error));
    };
    AVFormatContext* made = nullptr;
    const int allocated =
        avformat_alloc_output_context2(&made, nullptr, container.c_str(), output.Path().c_str());
    if (allocated < 0)
        fail("preparing the container", allocated);
    std::unique_ptr<AVFormatContext, OutputCloser> format(made);

    // The first part's coding describes the joined stream; every part must share it.
    Input first = OpenPart(parts.front().path);
    const AVCodecParameters& coding = *first->streams[VideoStreamOf(*first, parts.front().path)]->codecpar;
    AVStream* video = avformat_new_stream(format.get(), nullptr);
    if (video == nullptr)
        fail("preparing the video stream", AVERROR(ENOMEM));
    const int copied = avcodec_parameters_copy(video->codecpar, &coding);
    if (copied < 0)
        fail("describing the video stream", copied);
    video->codecpar->codec_tag = 0;
    video->time_base = AVRational{1, fps};
    video->avg_frame_rate = AVRational{fps, 1};
    SoundTrack sound(*format, target);
    av_dict_set(&format->metadata, kFirstFrameTag, std::to_string(firstFrame).c_str(), 0);
    if (const auto failed = OpenVideoFile(*format, output.Path(), container))
        fail(failed->step, failed->error);
    first.reset();

    OfflineMusic music(ReadMusicFile(), fps, 0.0, firstFrame - 1);
    ProgressLine progress(stderr, showProgress, totalFrames);
    const AVRational frameTime{1, fps};
    Packet packet(av_packet_alloc());
    if (!packet)
        fail("allocating a packet", AVERROR(ENOMEM));
    std::int64_t joined = 0;
    for (const CapturePart& part : parts) {
        Input input = OpenPart(part.path);
        const int videoIndex = VideoStreamOf(*input, part.path);
        const AVStream& stream = *input->streams[videoIndex];
        if (!SameCoding(*stream.codecpar, *video->codecpar))
            PartFails(part.path, "its pictures are coded otherwise than those of '" + parts.front().path +
                                     "' (another size or encoder settings)");
        // Counted in frames from the joined file's first frame.
        const std::int64_t shift = part.firstFrame - firstFrame - part.firstTime;
        while (true) {
            const int read = av_read_frame(input.get(), packet.get());
            if (read == AVERROR_EOF)
                break;
            if (read < 0)
                PartFails(part.path, FfmpegErrorText(read));
            if (packet->stream_index != videoIndex) {
                av_packet_unref(packet.get());
                continue;
            }
            packet->pts = av_rescale_q(packet->pts, stream.time_base, frameTime) + shift;
            // Decoding times made anew, one frame apart in decoding order: Matroska keeps none, and
            // each part's own would restart behind its first picture.
            packet->dts = joined - reorderDepth;
            packet->duration = 1;
            av_packet_rescale_ts(packet.get(), frameTime, video->time_base);
            packet->stream_index = video->index;
            packet->pos = -1;
            const int written = av_interleaved_write_frame(format.get(), packet.get());
            if (written < 0)
                fail("writing", written);
            // One frame's music for every picture keeps the two streams side by side in the file.
            sound.Add(music.NextFrame());
            ++joined;
            progress.Frame(firstFrame + joined - 1, static_cast<double>(firstFrame + joined - 1) / fps);
        }
    }
    sound.Finish();
    const int trailer = av_write_trailer(format.get());
    if (trailer < 0)
        fail("finishing the file", trailer);
    const int closed = avio_closep(&format->pb);
    if (closed < 0)
        fail("closing the file", closed);
    output.Commit();
    progress.Finish();
    if (showProgress)
        std::fprintf(stderr, "Joined %zu parts, %s (%lld frames at %d fps), into %s\n", parts.size(),
                     FramesText(firstFrame, totalFrames).c_str(), static_cast<long long>(totalFrames), fps,
                     output.FinalPath().c_str());
}

} // namespace engine::capture

namespace engine {

void JoinCaptureParts(const std::string& output, const std::vector<std::string>& parts) {
    capture::JoinParts(output, parts, true);
}

} // namespace engine
