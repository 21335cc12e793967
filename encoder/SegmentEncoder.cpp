#include "encoder/SegmentEncoder.h"

#include "encoder/OutputChoice.h"
#include "encoder/SampleGuard.h"
#include "encoder/TargetFile.h"
#include "encoder/ToolError.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
}

namespace av {

namespace {

constexpr int kIoBufferSize = 64 * 1024;

// The FFmpeg encoder for a codec, and how a missing one is told.
struct EncoderName {
    const char* library;
    const char* shown;
    const char* missing;
};

EncoderName EncoderNameOf(Codec codec)
{
    switch (codec) {
    case Codec::Mp3:
        return {"libmp3lame", "MP3", "The MP3 encoder (LAME) is not installed"};
    case Codec::AmrNb:
        return {"libopencore_amrnb", "AMR-NB", "The AMR-NB encoder (OpenCORE AMR) is not installed"};
    case Codec::Aac:
        return {"aac", "AAC", "The AAC encoder is not installed"};
    case Codec::Vorbis:
        return {"libvorbis", "Vorbis", "The Vorbis encoder (libvorbis) is not installed"};
    }
    return {"", "", "Unknown encoder"};
}

}  // namespace

// The muxer writes through these callbacks straight into the temporary file, so that
// a failed write keeps its errno (a full disk is told as such) and the file can be
// sought, which the MP3 muxer needs to fill in the Xing header at the end.
struct SegmentEncoder::Output {
    int fd = -1;
    int writeError = 0;
    AVFormatContext* muxer = nullptr;
    AVIOContext* io = nullptr;

    ~Output()
    {
        if (io) {
            av_freep(&io->buffer);
            avio_context_free(&io);
        }
        avformat_free_context(muxer);
    }

#if LIBAVFORMAT_VERSION_MAJOR >= 61
    static int WritePacket(void* opaque, const std::uint8_t* data, int size)
#else
    static int WritePacket(void* opaque, std::uint8_t* data, int size)
#endif
    {
        auto* self = static_cast<Output*>(opaque);
        int left = size;
        while (left > 0) {
            ssize_t n = ::write(self->fd, data, size_t(left));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                self->writeError = errno;
                return AVERROR(errno);
            }
            data += n;
            left -= int(n);
        }
        return size;
    }

    static std::int64_t Seek(void* opaque, std::int64_t offset, int whence)
    {
        auto* self = static_cast<Output*>(opaque);
        if (whence & AVSEEK_SIZE) {
            struct stat info;
            return fstat(self->fd, &info) == 0 ? std::int64_t(info.st_size) : AVERROR(errno);
        }
        off_t pos = lseek(self->fd, off_t(offset), whence & ~AVSEEK_FORCE);
        return pos < 0 ? AVERROR(errno) : std::int64_t(pos);
    }
};

SegmentEncoder::SegmentEncoder(const OutputSettings& settings, TargetFile& target, const LevelShape& shape)
    : settings_(settings), target_(target), shape_(shape), output_(std::make_unique<Output>()),
      encoderBlock_(NewFrame()), packet_(NewPacket())
{
    const EncoderName name = EncoderNameOf(settings_.codec);
    const AVCodec* codec = avcodec_find_encoder_by_name(name.library);
    if (!codec)
        throw ToolError(name.missing);
    encoder_.reset(avcodec_alloc_context3(codec));
    if (!encoder_)
        throw std::bad_alloc();
    AVCodecContext* enc = encoder_.get();
    enc->sample_rate = settings_.sampleRate;
    av_channel_layout_default(&enc->ch_layout, settings_.channels);
    enc->bit_rate = settings_.bitRate;
    enc->time_base = AVRational{1, settings_.sampleRate};
    // Planar float where the encoder takes it (LAME does), else its first format.
    enc->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_S16;
    for (const AVSampleFormat* f = codec->sample_fmts; f && *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (*f == AV_SAMPLE_FMT_FLTP)
            enc->sample_fmt = *f;
    }

    output_->fd = target_.fd();
    AVFormatContext* muxer = nullptr;
    int rc = avformat_alloc_output_context2(&muxer, nullptr, ContainerName(settings_.container), nullptr);
    if (rc < 0 || !muxer)
        throw ToolError(std::string("The ") + ContainerName(settings_.container) + " container is not available");
    output_->muxer = muxer;
    if (muxer->oformat->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    rc = avcodec_open2(enc, codec, nullptr);
    if (rc < 0)
        throw ToolError(std::string("The ") + name.shown + " encoder refuses these settings: " +
                        ErrorText(rc));

    auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
    if (!buffer)
        throw std::bad_alloc();
    output_->io = avio_alloc_context(buffer, kIoBufferSize, 1, output_.get(), nullptr, &Output::WritePacket, &Output::Seek);
    if (!output_->io) {
        av_free(buffer);
        throw std::bad_alloc();
    }
    muxer->pb = output_->io;
    muxer->flags |= AVFMT_FLAG_CUSTOM_IO;

    AVStream* stream = avformat_new_stream(muxer, nullptr);
    if (!stream)
        throw std::bad_alloc();
    Check(avcodec_parameters_from_context(stream->codecpar, enc));
    stream->time_base = enc->time_base;

    // No ID3v2 tag: the file starts with the Xing/LAME frame, as a plain MP3 stream.
    AVDictionary* options = nullptr;
    if (settings_.container == Container::Mp3)
        av_dict_set(&options, "id3v2_version", "0", 0);
    rc = avformat_write_header(muxer, &options);
    av_dict_free(&options);
    Check(rc);

    fifo_.reset(av_audio_fifo_alloc(enc->sample_fmt, settings_.channels, std::max(enc->frame_size, 1) * 4));
    if (!fifo_)
        throw std::bad_alloc();
}

SegmentEncoder::~SegmentEncoder() { av_channel_layout_uninit(&inLayout_); }

void SegmentEncoder::Check(int rc)
{
    if (rc >= 0)
        return;
    if (rc == AVERROR(ENOMEM))
        throw std::bad_alloc();
    if (output_ && output_->writeError)
        throw ToolError(target_.WriteFailure(output_->writeError));
    throw ToolError("Encoding failed: " + ErrorText(rc));
}

namespace {

// Whether a block's channel layout is the one the resampler was made for. A layout that
// names no channels (a WAV file tells only how many) was made the default layout of that
// many channels, and is the same as long as the count is.
bool SameLayout(const AVChannelLayout& block, const AVChannelLayout& resampled)
{
    if (block.order != AV_CHANNEL_ORDER_UNSPEC)
        return av_channel_layout_compare(&block, &resampled) == 0;
    AVChannelLayout normal;
    av_channel_layout_default(&normal, block.nb_channels);
    const bool same = av_channel_layout_compare(&normal, &resampled) == 0;
    av_channel_layout_uninit(&normal);
    return same;
}

}  // namespace

void SegmentEncoder::StartResampler(const AVFrame& block)
{
    av_channel_layout_uninit(&inLayout_);
    if (block.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&inLayout_, block.ch_layout.nb_channels);
    else
        Check(av_channel_layout_copy(&inLayout_, &block.ch_layout));
    inRate_ = block.sample_rate;
    inFormat_ = block.format;

    SwrContext* swr = nullptr;
    Check(swr_alloc_set_opts2(&swr, &encoder_->ch_layout, encoder_->sample_fmt, encoder_->sample_rate,
                              &inLayout_, AVSampleFormat(inFormat_), inRate_, 0, nullptr));
    resampler_.reset(swr);
    Check(swr_init(swr));
}

void SegmentEncoder::Write(const AVFrame& block, int offset, int count)
{
    const bool sameInput = resampler_ && block.sample_rate == inRate_ && block.format == inFormat_ &&
                           SameLayout(block.ch_layout, inLayout_);
    if (!sameInput) {
        if (resampler_)
            DrainResampler();
        StartResampler(block);
    }
    // NaN, infinities and values beyond full scale are mended before resampling, so
    // that none is spread over its neighbours.
    inputLength_ += double(count) * settings_.sampleRate / block.sample_rate;
    std::vector<const std::uint8_t*> input = sampleGuard_.Planes(block, offset, count);
    PushConverted(count, input.data());
    EncodeFromFifo(false);
}

void SegmentEncoder::DrainResampler() { PushConverted(0, nullptr); }

void SegmentEncoder::PushConverted(int inputSamples, const std::uint8_t** input)
{
    const int room = swr_get_out_samples(resampler_.get(), inputSamples);
    Check(room);
    if (room == 0)
        return;
    std::uint8_t** converted = nullptr;
    Check(av_samples_alloc_array_and_samples(&converted, nullptr, settings_.channels, room,
                                             encoder_->sample_fmt, 0));
    const int got = swr_convert(resampler_.get(), converted, room, input, inputSamples);
    int rc = got;
    if (got > 0)
        rc = av_audio_fifo_write(fifo_.get(), reinterpret_cast<void**>(converted), got);
    av_freep(&converted[0]);
    av_freep(&converted);
    Check(rc);
}

void SegmentEncoder::EncodeFromFifo(bool finalBlock)
{
    const int frameSize = encoder_->frame_size > 0 ? encoder_->frame_size : 1152;
    const bool smallLastBlock = encoder_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
    // The last fade's samples stay in the FIFO until the end is known, so that the fade
    // ends on the output's last sample.
    const std::int64_t heldBack = finalBlock ? 0 : shape_.fadeSamples();
    const bool exactLength = settings_.codec == Codec::Aac || settings_.codec == Codec::Vorbis;
    for (;;) {
        int available = av_audio_fifo_size(fifo_.get());
        if (finalBlock && exactLength)
            available = int(std::clamp<std::int64_t>(std::llround(inputLength_) - samplesEncoded_, 0, available));
        if (available == 0 || (available < frameSize + heldBack && !finalBlock))
            return;
        const std::int64_t length = finalBlock ? samplesEncoded_ + available : LevelShape::kLengthUnknown;
        const int take = std::min(available, frameSize);
        AVFrame* block = encoderBlock_.get();
        av_frame_unref(block);
        block->nb_samples = (take < frameSize && !smallLastBlock) ? frameSize : take;
        block->format = encoder_->sample_fmt;
        block->sample_rate = encoder_->sample_rate;
        Check(av_channel_layout_copy(&block->ch_layout, &encoder_->ch_layout));
        Check(av_frame_get_buffer(block, 0));
        if (av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(block->data), take) != take)
            Check(AVERROR_BUG);
        if (block->nb_samples > take)
            av_samples_set_silence(block->data, take, block->nb_samples - take, settings_.channels,
                                   encoder_->sample_fmt);
        shape_.Apply(*block, take, samplesEncoded_, length);
        // Resampling and gain may overshoot full scale a little; the encoder is given none of it.
        LimitToFullScale(*block, 0, take);
        block->pts = samplesEncoded_;
        samplesEncoded_ += take;
        SendToEncoder(block);
    }
}

void SegmentEncoder::SendToEncoder(AVFrame* block)
{
    Check(avcodec_send_frame(encoder_.get(), block));
    AVStream* stream = output_->muxer->streams[0];
    for (;;) {
        int rc = avcodec_receive_packet(encoder_.get(), packet_.get());
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
            return;
        Check(rc);
        packet_->stream_index = 0;
        av_packet_rescale_ts(packet_.get(), encoder_->time_base, stream->time_base);
        rc = av_write_frame(output_->muxer, packet_.get());
        av_packet_unref(packet_.get());
        Check(rc);
    }
}

void SegmentEncoder::Finish()
{
    if (resampler_)
        DrainResampler();
    EncodeFromFifo(true);
    SendToEncoder(nullptr);
    Check(av_write_trailer(output_->muxer));
    avio_flush(output_->io);
    if (output_->writeError || output_->io->error < 0)
        throw ToolError(target_.WriteFailure(output_->writeError ? output_->writeError : EIO));
}

}  // namespace av
