#include "audio/AudioDecoder.h"

#include "media/ChannelLayout.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/mathematics.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

namespace {

// Decoding restarts this long before the first wanted sample, so that decoders that build
// on earlier frames (MP3's bit reservoir, overlapping transforms) are settled by then.
constexpr int64_t kPrerollMs = 100;

// A seek that would read more than this from the last packet seen is placed by the bit
// rate (see SeekToSourceFrame): well inside the read bound.
constexpr int64_t kFarSeekBytes = media::SourceInput::kReadBoundBytes / 4;

const char* const kNotRegularFileText = "The file is not a regular file.";
const char* const kNotAudioFileText = "The file is not an audio file that can be opened.";
const char* const kCancelledText = "The opening of the file was cancelled.";

// FFmpeg's own codes (AVERROR_INVALIDDATA, AVERROR_STREAM_NOT_FOUND, ...) say what is
// wrong with the data; the system's (AVERROR(errno), all above -4096) say what went wrong
// around it, such as a missing file or no memory.
bool IsDataError(int code)
{
    return code < -4095;
}

[[noreturn]] void Fail(int code)
{
    throw AudioDecoderError(media::ErrorText(code), IsDataError(code));
}

std::string RefusalText(const media::SourceError& error)
{
    switch (error.kind()) {
    case media::SourceError::Kind::NotRegularFile:
        return kNotRegularFileText;
    case media::SourceError::Kind::NotAudioFormat:
        return kNotAudioFileText;
    case media::SourceError::Kind::Cancelled:
        return kCancelledText;
    case media::SourceError::Kind::NoLibraries:
        return error.what();
    case media::SourceError::Kind::CannotOpen:
    case media::SourceError::Kind::Failed:
        break;
    }
    return media::ErrorText(error.averror());
}

// Codecs whose every frame (but the last) holds the same number of samples.
bool HasFixedFrames(AVCodecID codec)
{
    switch (codec) {
    case AV_CODEC_ID_WMAV1:
    case AV_CODEC_ID_WMAV2:
    case AV_CODEC_ID_MP1:
    case AV_CODEC_ID_MP2:
    case AV_CODEC_ID_MP3:
    case AV_CODEC_ID_AC3:
    case AV_CODEC_ID_EAC3:
    case AV_CODEC_ID_AAC:
        return true;
    default:
        return false;
    }
}


}  // namespace

AudioDecoder::AudioDecoder(const std::string& path, media::CancelFlag cancel) : cancel_(std::move(cancel))
{
    try {
        file_ = std::make_unique<media::SourceFile>(path);
        input_ = std::make_unique<media::SourceInput>(*file_, cancel_);
    } catch (const media::SourceError& error) {
        // The source's reader refused the data itself (Failed): whatever FFmpeg's code
        // says, the file is not audio that can be read.
        throw AudioDecoderError(RefusalText(error), error.kind() == media::SourceError::Kind::Failed);
    } catch (const std::bad_alloc&) {
        Fail(AVERROR(ENOMEM));
    }
    AVFormatContext* format = input_->get();
    const AVCodec* codec = nullptr;
    int ret = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (ret < 0)
        Fail(ret);
    streamIndex_ = ret;
    AVStream* stream = format->streams[streamIndex_];
    codec_.reset(avcodec_alloc_context3(codec));
    if (!codec_)
        Fail(AVERROR(ENOMEM));
    ret = avcodec_parameters_to_context(codec_.get(), stream->codecpar);
    if (ret < 0)
        Fail(ret);
    codec_->pkt_timebase = stream->time_base;
    ret = avcodec_open2(codec_.get(), codec, nullptr);
    if (ret < 0)
        Fail(ret);
    sourceRate_ = codec_->sample_rate;
    sourceChannels_ = codec_->ch_layout.nb_channels;
    if (sourceRate_ <= 0 || sourceChannels_ <= 0)
        Fail(AVERROR_INVALIDDATA);
    outputRate_ = sourceRate_;
    outputChannels_ = sourceChannels_;
    sourceBitRate_ = stream->codecpar->bit_rate > 0 ? stream->codecpar->bit_rate : std::max<int64_t>(format->bit_rate, 0);
    packet_.reset(av_packet_alloc());
    frame_.reset(av_frame_alloc());
    if (!packet_ || !frame_)
        Fail(AVERROR(ENOMEM));
    streamStart_ = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    origin_ = FirstFrameTimestamp();

    if (format->duration != AV_NOPTS_VALUE && format->duration > 0)
        durationMs_ = format->duration / (AV_TIME_BASE / 1000);
    else if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0)
        durationMs_ = av_rescale_q(stream->duration, stream->time_base, AVRational{1, 1000});
    else
        durationMs_ = CountFramesByDecoding() * 1000 / sourceRate_;
    if (cancel_ && cancel_->load())
        throw AudioDecoderError(kCancelledText);
}

AudioDecoder::~AudioDecoder() = default;

void AudioDecoder::SetOutputFormat(int sampleRate, int channels)
{
    if (sampleRate > 0)
        outputRate_ = sampleRate;
    if (channels > 0)
        outputChannels_ = channels;
}

int64_t AudioDecoder::MsToSourceFrames(int64_t ms) const
{
    return ms * sourceRate_ / 1000;
}

bool AudioDecoder::FarBeyondKnownPackets(int64_t ts) const
{
    AVFormatContext* format = input_->get();
    AVStream* stream = format->streams[streamIndex_];
    const int64_t bitRate = format->bit_rate > 0 ? format->bit_rate : stream->codecpar->bit_rate;
    if (bitRate <= 0)
        return false;
    // Exact seeking starts from the last packet seen at or before the target (the start
    // when there is none) and reads on from there.
    int64_t known = streamStart_;
    const int entry = av_index_search_timestamp(stream, ts, AVSEEK_FLAG_BACKWARD);
    if (entry >= 0)
        known = std::max(known, avformat_index_get_entry(stream, entry)->timestamp);
    if (ts <= known)
        return false;
    const int64_t ms = av_rescale_q(ts - known, stream->time_base, AVRational{1, 1000});
    return ms / 1000 * (bitRate / 8) > kFarSeekBytes;
}

void AudioDecoder::SeekToSourceFrame(int64_t frame)
{
    AVFormatContext* format = input_->get();
    const AVStream* stream = format->streams[streamIndex_];
    const int64_t target = std::max<int64_t>(0, frame);
    const int64_t ts = streamStart_ + av_rescale_q(target, AVRational{1, sourceRate_}, stream->time_base);
    // A stream without an index of its own (an MP3 file without a table of contents) is
    // sought exactly by reading every packet from the last one seen up to the target: in
    // a long file that is most of the file, and more than the read bound allows. Where the
    // target lies that far on, the demuxer places it by the bit rate instead, as the MPEG
    // reader measures the file's length, and only a few frames are read.
    const int flags = format->flags;
    if (FarBeyondKnownPackets(ts))
        format->flags |= AVFMT_FLAG_FAST_SEEK;
    int ret = av_seek_frame(format, streamIndex_, ts, AVSEEK_FLAG_BACKWARD);
    format->flags = flags;
    if (ret < 0)
        ret = avformat_seek_file(input_->get(), streamIndex_, std::numeric_limits<int64_t>::min(), ts, ts, 0);
    if (ret < 0 && target > 0) {
        // A stream that cannot seek to a time can usually still start again from the top;
        // the samples ahead of the wanted one are then decoded and dropped.
        ret = avformat_seek_file(input_->get(), streamIndex_, std::numeric_limits<int64_t>::min(), streamStart_,
                                 streamStart_, 0);
    }
    if (ret < 0)
        Fail(ret);
    avcodec_flush_buffers(codec_.get());
}

int64_t AudioDecoder::FirstFrameTimestamp()
{
    // Some decoders stamp their frames later than the packets they came from (FFmpeg's
    // WMA decoder by two frames). Time 0 is where the first decoded sample is, so that a
    // stretch found by seeking matches the same stretch heard from the top.
    SeekToSourceFrame(0);
    int64_t stamp = AV_NOPTS_VALUE;
    bool ended = false;
    while (stamp == AV_NOPTS_VALUE && !ended) {
        if (input_->readPacket(packet_.get()) < 0) {
            avcodec_send_packet(codec_.get(), nullptr);
            ended = true;
        } else if (packet_->stream_index == streamIndex_) {
            avcodec_send_packet(codec_.get(), packet_.get());
        }
        av_packet_unref(packet_.get());
        while (avcodec_receive_frame(codec_.get(), frame_.get()) == 0) {
            if (stamp == AV_NOPTS_VALUE && frame_->nb_samples > 0)
                stamp = frame_->best_effort_timestamp;
            av_frame_unref(frame_.get());
        }
    }
    return stamp != AV_NOPTS_VALUE ? stamp : streamStart_;
}

int64_t AudioDecoder::CountFramesByDecoding()
{
    // Runs while opening: the read bound ends it at junk that yields no packets, and the
    // cancel flag ends it between any two decoded pieces.
    int64_t frames = 0;
    DecodeRange(0, std::numeric_limits<int64_t>::max(), [this, &frames](const int16_t*, size_t count) {
        frames += int64_t(count);
        return !(cancel_ && cancel_->load(std::memory_order_relaxed));
    });
    return frames;
}

bool AudioDecoder::DecodeRange(int64_t startMs, int64_t endMs, const Sink& sink)
{
    constexpr int64_t kOpenEnd = std::numeric_limits<int64_t>::max();
    const int64_t startFrame = MsToSourceFrames(std::max<int64_t>(0, startMs));
    const int64_t endFrame = endMs == kOpenEnd ? kOpenEnd : MsToSourceFrames(endMs);
    if (endFrame <= startFrame)
        return true;
    // With a change of rate, the resampler's tail could run a few samples past the end.
    const int64_t outputLimit = endFrame == kOpenEnd ? kOpenEnd
                                                     : av_rescale_rnd(endFrame - startFrame, outputRate_, sourceRate_,
                                                                      AV_ROUND_UP);
    const AVRational timeBase = input_->get()->streams[streamIndex_]->time_base;

    media::ResamplerPtr resampler;
    AVChannelLayout resamplerLayout{};
    int resamplerFormat = -1;
    int resamplerRate = 0;
    AVChannelLayout outputLayout{};
    av_channel_layout_default(&outputLayout, outputChannels_);
    std::vector<int16_t> out;
    std::vector<const uint8_t*> planes;
    int64_t delivered = 0;  // output frames handed to the sink
    bool stopped = false;   // the sink asked to stop
    bool complete = false;  // the end frame was reached
    bool tooLate = false;   // the seek landed after the first wanted sample

    auto deliver = [&](int produced) {
        const int64_t count = std::min<int64_t>(produced, outputLimit - delivered);
        if (count <= 0)
            return;
        delivered += count;
        if (!sink(out.data(), size_t(count)))
            stopped = true;
    };

    // Hands the resampler's held-back samples to the sink.
    auto flushResampler = [&]() {
        while (resampler && !stopped && delivered < outputLimit) {
            const int room = std::max(swr_get_out_samples(resampler.get(), 0), 256);
            out.resize(size_t(room) * size_t(outputChannels_));
            uint8_t* target = reinterpret_cast<uint8_t*>(out.data());
            const int produced = swr_convert(resampler.get(), &target, room, nullptr, 0);
            if (produced <= 0)
                return;
            deliver(produced);
        }
    };

    auto makeResampler = [&](const AVFrame* frame) {
        flushResampler();
        resampler.reset();
        av_channel_layout_uninit(&resamplerLayout);
        resamplerLayout = media::NamedLayout(frame->ch_layout);
        resamplerFormat = frame->format;
        resamplerRate = frame->sample_rate;
        SwrContext* context = nullptr;
        int ret = swr_alloc_set_opts2(&context, &outputLayout, AV_SAMPLE_FMT_S16, outputRate_, &resamplerLayout,
                                      AVSampleFormat(frame->format), frame->sample_rate, 0, nullptr);
        if (ret < 0)
            Fail(ret);
        resampler.reset(context);
        ret = swr_init(context);
        if (ret < 0)
            Fail(ret);
    };

    int64_t seekFrame = std::max<int64_t>(0, startFrame - MsToSourceFrames(kPrerollMs));
    int64_t nextFrame = -1;  // where the next decoded frame starts, once known
    auto takeFrame = [&](AVFrame* frame) {
        int64_t position = nextFrame;
        if (position < 0) {
            // The first frame after the seek tells where decoding resumed; from then on the
            // samples are counted, which stays exact where time stamps are rounded (ASF's
            // milliseconds).
            const int64_t ts = frame->best_effort_timestamp;
            position = ts != AV_NOPTS_VALUE ? av_rescale_q(ts - origin_, timeBase, AVRational{1, sourceRate_})
                                            : seekFrame;
            // Time stamps coarser than a sample (ASF counts milliseconds) are rounded; where
            // the codec's frames all have the same length, the frame grid from time 0 gives
            // the exact place.
            const int64_t frameSize = HasFixedFrames(codec_->codec_id) ? frame->nb_samples : 0;
            if (ts != AV_NOPTS_VALUE && int64_t(timeBase.num) * sourceRate_ > timeBase.den && frameSize > 0)
                position = (position + frameSize / 2) / frameSize * frameSize;
            if (position > startFrame && seekFrame > 0) {
                tooLate = true;
                return;
            }
        }
        const int64_t count = frame->nb_samples;
        nextFrame = position + count;
        if (position >= endFrame) {
            complete = true;
            return;
        }
        if (position + count <= startFrame || count <= 0)
            return;
        if (!resampler || frame->format != resamplerFormat || frame->sample_rate != resamplerRate ||
            !media::SameNamedLayout(frame->ch_layout, resamplerLayout)) {
            makeResampler(frame);
            if (stopped)
                return;
        }
        const int64_t skip = std::max<int64_t>(0, startFrame - position);
        const int64_t take = std::min(position + count, endFrame) - position - skip;
        const AVSampleFormat format = AVSampleFormat(frame->format);
        const int bytesPerSample = av_get_bytes_per_sample(format);
        const int channels = frame->ch_layout.nb_channels;
        const bool planar = av_sample_fmt_is_planar(format) != 0;
        planes.assign(planar ? size_t(channels) : 1, nullptr);
        for (size_t p = 0; p < planes.size(); ++p)
            planes[p] = frame->extended_data[p] + skip * bytesPerSample * (planar ? 1 : channels);

        const int room = swr_get_out_samples(resampler.get(), int(take));
        if (room > 0) {
            out.resize(size_t(room) * size_t(outputChannels_));
            uint8_t* target = reinterpret_cast<uint8_t*>(out.data());
            const int produced = swr_convert(resampler.get(), &target, room, planes.data(), int(take));
            if (produced < 0)
                Fail(produced);
            deliver(produced);
        }
        if (position + count >= endFrame || delivered >= outputLimit)
            complete = true;
    };

    auto receiveFrames = [&]() {
        while (!stopped && !complete && !tooLate && avcodec_receive_frame(codec_.get(), frame_.get()) == 0) {
            takeFrame(frame_.get());
            av_frame_unref(frame_.get());
        }
    };

    try {
        for (;;) {
            SeekToSourceFrame(seekFrame);
            while (!stopped && !complete && !tooLate) {
                const int ret = input_->readPacket(packet_.get());
                if (ret < 0)
                    break;  // the end of the file, or a read error that ends it just the same
                if (packet_->stream_index == streamIndex_) {
                    // A packet the decoder rejects is damaged data: it is skipped.
                    avcodec_send_packet(codec_.get(), packet_.get());
                    receiveFrames();
                }
                av_packet_unref(packet_.get());
            }
            if (!stopped && !complete && !tooLate) {
                avcodec_send_packet(codec_.get(), nullptr);
                receiveFrames();
            }
            if (!tooLate)
                break;
            // The container put decoding after the first wanted sample: a second further back.
            tooLate = false;
            nextFrame = -1;
            seekFrame = std::max<int64_t>(0, seekFrame - sourceRate_);
        }
        flushResampler();
    } catch (...) {
        av_packet_unref(packet_.get());
        av_frame_unref(frame_.get());
        av_channel_layout_uninit(&resamplerLayout);
        av_channel_layout_uninit(&outputLayout);
        throw;
    }
    av_channel_layout_uninit(&resamplerLayout);
    av_channel_layout_uninit(&outputLayout);
    return !stopped;
}
