#include "capture/soundTrack.h"

#include "capture/offlineMusic.h"
#include "core/logging.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <algorithm>
#include <utility>

namespace engine::capture {

namespace {

constexpr std::int64_t kAudioBitRate = 192'000;

} // namespace

std::string FfmpegErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

SoundTrack::SoundTrack(AVFormatContext& format, std::string target)
    : format(format), target(std::move(target)) {
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_AAC);
    if (encoder == nullptr)
        LOG_ERROR("Cannot write " + this->target + ": FFmpeg has no AAC encoder");
    stream = avformat_new_stream(&format, nullptr);
    codec = avcodec_alloc_context3(encoder);
    packet = av_packet_alloc();
    soundFrame = av_frame_alloc();
    if (stream == nullptr || codec == nullptr || packet == nullptr || soundFrame == nullptr)
        Fail("preparing the audio stream", AVERROR(ENOMEM));
    AVCodecContext& context = *codec;
    context.sample_fmt = AV_SAMPLE_FMT_FLTP;
    context.sample_rate = OfflineMusic::kSampleRate;
    context.bit_rate = kAudioBitRate;
    context.time_base = AVRational{1, OfflineMusic::kSampleRate};
    av_channel_layout_default(&context.ch_layout, OfflineMusic::kChannels);
    if (format.oformat->flags & AVFMT_GLOBALHEADER)
        context.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    const int opened = avcodec_open2(&context, encoder, nullptr);
    if (opened < 0)
        Fail("opening the audio encoder", opened);
    const int copied = avcodec_parameters_from_context(stream->codecpar, &context);
    if (copied < 0)
        Fail("describing the audio stream", copied);
    stream->time_base = context.time_base;

    soundFrame->format = context.sample_fmt;
    soundFrame->sample_rate = context.sample_rate;
    soundFrame->nb_samples = context.frame_size;
    av_channel_layout_copy(&soundFrame->ch_layout, &context.ch_layout);
    const int allocated = av_frame_get_buffer(soundFrame, 0);
    if (allocated < 0)
        Fail("allocating a sound frame", allocated);
}

SoundTrack::~SoundTrack() {
    av_frame_free(&soundFrame);
    av_packet_free(&packet);
    avcodec_free_context(&codec);
}

void SoundTrack::Add(const std::vector<float>& interleaved) {
    for (std::size_t i = 0; i + 1 < interleaved.size(); i += 2) {
        left.push_back(interleaved[i]);
        right.push_back(interleaved[i + 1]);
    }
    EncodeBuffered(false);
}

void SoundTrack::Finish() {
    EncodeBuffered(true);
    Encode(nullptr);
}

void SoundTrack::EncodeBuffered(bool last) {
    const auto frameSize = static_cast<std::size_t>(codec->frame_size);
    std::size_t used = 0;
    while (left.size() - used >= frameSize || (last && used < left.size())) {
        const std::size_t count = std::min(frameSize, left.size() - used);
        const int writable = av_frame_make_writable(soundFrame);
        if (writable < 0)
            Fail("preparing a sound frame", writable);
        // The encoder pads a short last frame itself.
        soundFrame->nb_samples = static_cast<int>(count);
        std::copy_n(left.begin() + static_cast<std::ptrdiff_t>(used), count,
                    reinterpret_cast<float*>(soundFrame->data[0]));
        std::copy_n(right.begin() + static_cast<std::ptrdiff_t>(used), count,
                    reinterpret_cast<float*>(soundFrame->data[1]));
        soundFrame->pts = samplesSent;
        samplesSent += static_cast<long long>(count);
        used += count;
        Encode(soundFrame);
    }
    left.erase(left.begin(), left.begin() + static_cast<std::ptrdiff_t>(used));
    right.erase(right.begin(), right.begin() + static_cast<std::ptrdiff_t>(used));
}

void SoundTrack::Encode(AVFrame* frame) {
    const int sent = avcodec_send_frame(codec, frame);
    if (sent < 0)
        Fail("encoding the sound", sent);
    while (true) {
        const int received = avcodec_receive_packet(codec, packet);
        if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
            return;
        if (received < 0)
            Fail("encoding the sound", received);
        av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
        packet->stream_index = stream->index;
        const int written = av_interleaved_write_frame(&format, packet);
        if (written < 0)
            Fail("writing", written);
    }
}

void SoundTrack::Fail(const std::string& step, int error) const {
    LOG_ERROR("Cannot write " + target + " (" + step + "): " + FfmpegErrorText(error));
}

} // namespace engine::capture
