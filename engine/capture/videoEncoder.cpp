#include "capture/videoEncoder.h"

#include "core/logging.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace engine::capture {

namespace {

// Constant quality for libx264: visually lossless for the demo's flat colours and sharp edges.
const char kConstantRateFactor[] = "18";
const char kPreset[] = "fast";
// MPEG-4 part 2's fixed quantiser, where no H.264 encoder is built in.
constexpr int kMpeg4Quantiser = 3;

// libx264 where FFmpeg has it; otherwise whatever H.264 encoder it has, and MPEG-4 part 2 at the last.
const AVCodec* FindVideoEncoder() {
    if (const AVCodec* x264 = avcodec_find_encoder_by_name("libx264"))
        return x264;
    if (const AVCodec* h264 = avcodec_find_encoder(AV_CODEC_ID_H264))
        return h264;
    const AVCodec* mpeg4 = avcodec_find_encoder(AV_CODEC_ID_MPEG4);
    if (mpeg4 != nullptr)
        LOG_WARNING("This FFmpeg has no H.264 encoder: the capture is encoded as MPEG-4 part 2");
    return mpeg4;
}

} // namespace

VideoEncoder::VideoEncoder(const std::string& path, const std::string& container, int width, int height,
                           int framesPerSecond, std::int64_t firstFrame)
    : output(path, false) {
    // The encoders' statistics are no business of the terminal the progress line shares; their errors are.
    av_log_set_level(AV_LOG_ERROR);
    const int made =
        avformat_alloc_output_context2(&format, nullptr, container.c_str(), output.Path().c_str());
    if (made < 0)
        Fail("preparing the container", made);
    OpenVideo(width, height, framesPerSecond);
    sound = std::make_unique<SoundTrack>(*format, "the capture to '" + output.FinalPath().string() + "'");
    av_dict_set(&format->metadata, kFirstFrameTag, std::to_string(firstFrame).c_str(), 0);
    packet = av_packet_alloc();
    if (packet == nullptr)
        Fail("allocating a packet", AVERROR(ENOMEM));

    if (const auto failed = OpenVideoFile(*format, output.Path(), container))
        Fail(failed->step, failed->error);
}

VideoEncoder::~VideoEncoder() {
    sws_freeContext(converter);
    av_frame_free(&picture);
    av_packet_free(&packet);
    avcodec_free_context(&video.codec);
    sound.reset();
    if (format != nullptr) {
        avio_closep(&format->pb);
        avformat_free_context(format);
    }
}

void VideoEncoder::OpenVideo(int width, int height, int framesPerSecond) {
    const AVCodec* codec = FindVideoEncoder();
    if (codec == nullptr)
        LOG_ERROR("Cannot write the capture to '" + output.FinalPath().string() +
                  "': FFmpeg has no H.264 or MPEG-4 encoder");
    video.stream = avformat_new_stream(format, nullptr);
    video.codec = avcodec_alloc_context3(codec);
    if (video.stream == nullptr || video.codec == nullptr)
        Fail("preparing the video stream", AVERROR(ENOMEM));
    AVCodecContext& context = *video.codec;
    context.width = width;
    context.height = height;
    context.time_base = AVRational{1, framesPerSecond};
    context.framerate = AVRational{framesPerSecond, 1};
    context.pix_fmt = AV_PIX_FMT_YUV420P;
    // The pictures are converted with BT.709's coefficients into studio range: say so, so that players
    // convert them back the same way.
    context.color_range = AVCOL_RANGE_MPEG;
    context.colorspace = AVCOL_SPC_BT709;
    context.color_primaries = AVCOL_PRI_BT709;
    context.color_trc = AVCOL_TRC_BT709;
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        context.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (codec->id == AV_CODEC_ID_H264) {
        av_opt_set(context.priv_data, "crf", kConstantRateFactor, 0);
        av_opt_set(context.priv_data, "preset", kPreset, 0);
    } else {
        context.flags |= AV_CODEC_FLAG_QSCALE;
        context.global_quality = FF_QP2LAMBDA * kMpeg4Quantiser;
    }
    const int opened = avcodec_open2(&context, codec, nullptr);
    if (opened < 0)
        Fail("opening the video encoder", opened);
    const int copied = avcodec_parameters_from_context(video.stream->codecpar, &context);
    if (copied < 0)
        Fail("describing the video stream", copied);
    video.stream->time_base = context.time_base;
    video.stream->avg_frame_rate = context.framerate;

    converter = sws_getContext(width, height, AV_PIX_FMT_RGBA, width, height, AV_PIX_FMT_YUV420P,
                               SWS_BICUBIC | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    picture = av_frame_alloc();
    if (converter == nullptr || picture == nullptr)
        Fail("preparing the picture conversion", AVERROR(ENOMEM));
    const int* full = sws_getCoefficients(SWS_CS_DEFAULT);
    sws_setColorspaceDetails(converter, full, 1, sws_getCoefficients(SWS_CS_ITU709), 0, 0, 1 << 16, 1 << 16);
    picture->format = context.pix_fmt;
    picture->width = width;
    picture->height = height;
    const int allocated = av_frame_get_buffer(picture, 0);
    if (allocated < 0)
        Fail("allocating a picture", allocated);
}

void VideoEncoder::Picture(const std::vector<std::uint8_t>& rgba, int width, int height) {
    const int writable = av_frame_make_writable(picture);
    if (writable < 0)
        Fail("preparing a picture", writable);
    const std::uint8_t* source[] = {rgba.data()};
    const int stride[] = {width * 4};
    sws_scale(converter, source, stride, 0, height, picture->data, picture->linesize);
    picture->pts = picturesSent++;
    Encode(picture);
}

void VideoEncoder::Sound(const std::vector<float>& interleaved) {
    sound->Add(interleaved);
}

void VideoEncoder::Encode(AVFrame* frame) {
    const int sent = avcodec_send_frame(video.codec, frame);
    if (sent < 0)
        Fail("encoding", sent);
    while (true) {
        const int received = avcodec_receive_packet(video.codec, packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return;
        if (received < 0)
            Fail("encoding", received);
        av_packet_rescale_ts(packet, video.codec->time_base, video.stream->time_base);
        packet->stream_index = video.stream->index;
        const int written = av_interleaved_write_frame(format, packet);
        if (written < 0)
            Fail("writing", written);
    }
}

void VideoEncoder::Finish() {
    sound->Finish();
    Encode(nullptr);
    const int trailer = av_write_trailer(format);
    if (trailer < 0)
        Fail("finishing the file", trailer);
    const int closed = avio_closep(&format->pb);
    if (closed < 0)
        Fail("closing the file", closed);
    output.Commit();
}

void VideoEncoder::Fail(const std::string& step, int error) const {
    LOG_ERROR("Cannot write the capture to '" + output.FinalPath().string() + "' (" + step +
              "): " + FfmpegErrorText(error));
}

std::optional<VideoFileFailure> OpenVideoFile(AVFormatContext& format, const std::filesystem::path& path,
                                              const std::string& container) {
    const int opened = avio_open(&format.pb, path.c_str(), AVIO_FLAG_WRITE);
    if (opened < 0)
        return VideoFileFailure{"opening the file", opened};
    AVDictionary* options = nullptr;
    // Index first, so a player can start before the whole file has arrived; keys of our own kept.
    if (container == "mp4")
        av_dict_set(&options, "movflags", "+faststart+use_metadata_tags", 0);
    const int header = avformat_write_header(&format, &options);
    av_dict_free(&options);
    if (header < 0)
        return VideoFileFailure{"writing the header", header};
    return std::nullopt;
}

} // namespace engine::capture
