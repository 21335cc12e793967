#include "encoder/AudioSource.h"

#include "encoder/Mp3Stream.h"
#include "encoder/MpegFrames.h"
#include "encoder/ToolError.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

extern "C" {
#include <libavutil/intreadwrite.h>
}

namespace av {

namespace {

// How far before the start decoding begins. An MP3 frame may take its data from up
// to 511 bytes of earlier frames and its first half overlaps the frame before, so the
// first frames after a jump come out wrong; half a second covers that at any bit rate
// and costs a few milliseconds of decoding.
constexpr int kPreRollDivisor = 2;

// The MP3 decoder's filter bank delays its output by 529 samples; FFmpeg removes them
// with the encoder delay that a LAME tag declares, and counts the tag's end padding
// from the same point.
constexpr std::int64_t kMp3DecoderDelay = 529;

std::string CannotRead(const std::string& path, const std::string& why)
{
    return "Cannot read the source file " + Quoted(path) + ": " + why;
}

// The message for a source that media::SourceInput refused. A file that could be opened
// but not read as media is almost always its content; only a failing disk is told as such.
std::string OpenFailure(const std::string& path, const media::SourceError& error)
{
    switch (error.kind()) {
    case media::SourceError::Kind::CannotOpen:
        return CannotRead(path, ErrorText(error.averror()));
    case media::SourceError::Kind::NotRegularFile:
        return CannotRead(path, "It is not a regular file");
    case media::SourceError::Kind::NoLibraries:
        return CannotRead(path, error.what());
    case media::SourceError::Kind::Failed:
        if (error.averror() == AVERROR(EIO))
            return CannotRead(path, ErrorText(error.averror()));
        break;
    case media::SourceError::Kind::NotAudioFormat:
    case media::SourceError::Kind::Cancelled:
        break;
    }
    return "The source file " + Quoted(path) + " is not an audio file that can be read";
}

}  // namespace

AudioSource::AudioSource(const std::string& path) : path_(path)
{
    try {
        file_ = std::make_unique<media::SourceFile>(path_);
    } catch (const media::SourceError& error) {
        throw ToolError(OpenFailure(path_, error));
    }
    Open();
}

AudioSource::AudioSource(std::unique_ptr<media::SourceFile> file, const std::string& path)
    : path_(path), file_(std::move(file))
{
    Open();
}

std::int64_t AudioSource::lengthSamples() const
{
    const std::int64_t duration = input_->get()->duration;
    if (duration == AV_NOPTS_VALUE || duration <= 0)
        return 0;
    return av_rescale(duration, sampleRate_, AV_TIME_BASE);
}

void AudioSource::Open()
{
    decoder_.reset();
    input_.reset();
    mp3FramePositions_ = false;

    // The source is read through the descriptor opened above: the path is never opened
    // again, so a file swapped in under its name meanwhile is never read.
    try {
        input_ = std::make_unique<media::SourceInput>(*file_);
    } catch (const media::SourceError& error) {
        throw ToolError(OpenFailure(path_, error));
    }
    AVFormatContext* context = input_->get();

    streamIndex_ = -1;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        AVStream* stream = context->streams[i];
        const bool audio = stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO &&
                           !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
        if (audio && streamIndex_ < 0)
            streamIndex_ = int(i);
        else
            stream->discard = AVDISCARD_ALL;
    }
    if (streamIndex_ < 0)
        throw ToolError("The source has no audio");

    AVStream* stream = context->streams[streamIndex_];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (!codec)
        throw ToolError(std::string("The source's audio format (") +
                        avcodec_get_name(stream->codecpar->codec_id) + ") cannot be decoded");
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_)
        throw std::bad_alloc();
    int rc = avcodec_parameters_to_context(decoder_.get(), stream->codecpar);
    if (rc >= 0) {
        decoder_->pkt_timebase = stream->time_base;
        decoder_->thread_count = 1;
        rc = avcodec_open2(decoder_.get(), codec, nullptr);
    }
    if (rc < 0)
        throw ToolError(std::string("The source's audio (") + codec->name + ") cannot be decoded: " +
                        ErrorText(rc));
    sampleRate_ = decoder_->sample_rate;
    channels_ = decoder_->ch_layout.nb_channels;
    if (sampleRate_ <= 0 || channels_ <= 0)
        throw ToolError("The source's audio has no sample rate or no channels");
}

std::int64_t AudioSource::ReadSelection(const Selection& selection, const Sink& sink)
{
    const std::int64_t preRoll = sampleRate_ / kPreRollDivisor;
    if (selection.begin > preRoll) {
        const std::int64_t from = selection.begin - preRoll;
        const bool mp3 = std::strcmp(input_->get()->iformat->name, "mp3") == 0;
        const Start start = mp3 ? PositionMp3(from) : PositionByTime(from);
        if (start == Start::PastTheEnd) {
            metAudio_ = true;   // frames were there, all before the start
            return 0;
        }
        if (start == Start::Found) {
            const std::int64_t passed = Decode(selection, sink, true);
            if (passed >= 0)
                return passed;
        }
        Open();  // positioning failed before anything was passed on: start over
    }
    return Decode(selection, sink, false);
}

AudioSource::Start AudioSource::PositionMp3(std::int64_t sample)
{
    // The first packet gives the byte position of the first audio frame (after any
    // ID3v2 tag and the Xing/LAME frame) and the delay that decoding from the start
    // removes (encoder delay plus the decoder's own, from the LAME tag).
    auto packet = NewPacket();
    for (;;) {
        if (input_->readPacket(packet.get()) < 0)
            return Start::Unknown;
        if (packet->stream_index == streamIndex_)
            break;
        av_packet_unref(packet.get());
    }
    std::size_t sideSize = 0;
    const std::uint8_t* skip = av_packet_get_side_data(packet.get(), AV_PKT_DATA_SKIP_SAMPLES, &sideSize);
    const std::int64_t delay = (skip && sideSize >= 4) ? std::int64_t(AV_RL32(skip)) : 0;
    if (packet->pos < 0 || packet->size < 4)
        return Start::Unknown;
    auto header = ParseMpegFrameHeader(packet->data);
    if (!header)
        return Start::Unknown;

    const std::int64_t frame = (sample + delay) / header->samples;
    // The locator jumps to the frame where the file's layout proves where it lies;
    // where it cannot be sure, every header up to the frame is stepped over.
    const MpegFrameSearch search = LocateFrame(file_->descriptorPath(), packet->pos, frame);
    if (search.result != MpegFrameSearch::Found)
        return search.result == MpegFrameSearch::PastTheEnd ? Start::PastTheEnd : Start::Unknown;
    if (av_seek_frame(input_->get(), -1, search.position, AVSEEK_FLAG_BYTE) < 0)
        return Start::Unknown;
    avcodec_flush_buffers(decoder_.get());

    // Decoding from the start stops where the LAME tag's padding begins; a read that
    // starts midway must stop there too.
    mp3EndSample_ = Selection::kToTheEnd;
    if (auto tag = ReadLameTag(file_->descriptorPath(), packet->pos); tag && tag->frames > 0)
        mp3EndSample_ = tag->frames * header->samples - tag->endPadding + kMp3DecoderDelay - delay;

    mp3FramePositions_ = true;
    mp3FirstFrameSample_ = frame * header->samples;
    mp3ExpectedPos_ = search.position;
    mp3DelaySamples_ = delay;
    mp3FrameSamples_ = header->samples;
    return Start::Found;
}

AudioSource::Start AudioSource::PositionByTime(std::int64_t sample)
{
    // Timestamps and the count of decoded samples need not agree: a decoder may need
    // a few packets before its first block (WMA needs two), whose timestamp is then
    // where the count starts. That timestamp is the origin of the timeline.
    auto origin = FirstBlockTimestamp();
    if (!origin)
        return Start::Unknown;
    timestampOrigin_ = *origin;
    AVStream* stream = input_->get()->streams[streamIndex_];
    const std::int64_t ts = *origin + av_rescale_q(sample, AVRational{1, sampleRate_}, stream->time_base);
    if (avformat_seek_file(input_->get(), streamIndex_, INT64_MIN, ts, ts, 0) < 0)
        return Start::Unknown;
    avcodec_flush_buffers(decoder_.get());
    return Start::Found;
}

std::optional<std::int64_t> AudioSource::FirstBlockTimestamp()
{
    auto packet = NewPacket();
    auto block = NewFrame();
    for (;;) {
        const int rc = input_->readPacket(packet.get());
        if (rc < 0)
            return std::nullopt;
        if (packet->stream_index == streamIndex_) {
            const int sent = avcodec_send_packet(decoder_.get(), packet.get());
            av_packet_unref(packet.get());
            if (sent == AVERROR(ENOMEM))
                throw std::bad_alloc();
            if (avcodec_receive_frame(decoder_.get(), block.get()) == 0) {
                const std::int64_t ts = block->best_effort_timestamp;
                if (ts == AV_NOPTS_VALUE)
                    return std::nullopt;
                return ts;
            }
        } else {
            av_packet_unref(packet.get());
        }
    }
}

std::int64_t AudioSource::Decode(const Selection& wanted, const Sink& sink, bool positioned)
{
    Selection selection = wanted;
    if (mp3FramePositions_)
        selection.end = std::min(selection.end, mp3EndSample_);
    AVStream* stream = input_->get()->streams[streamIndex_];
    auto packet = NewPacket();
    auto block = NewFrame();
    std::int64_t cursor = 0;         // timeline position of the next decoded sample
    bool placed = !positioned;       // from the beginning, the timeline starts at 0
    std::int64_t passed = 0;
    std::int64_t mp3Packets = 0;
    bool draining = false;

    for (;;) {
        if (!draining) {
            int rc = input_->readPacket(packet.get());
            if (rc == AVERROR(EAGAIN))
                continue;
            if (rc == AVERROR_EOF || rc == AVERROR_INVALIDDATA) {
                // The end of the stream (or junk after it): flush the decoder.
                draining = true;
                rc = avcodec_send_packet(decoder_.get(), nullptr);
            } else if (rc < 0) {
                throw ToolError(CannotRead(path_, ErrorText(rc)));
            } else if (packet->stream_index != streamIndex_) {
                av_packet_unref(packet.get());
                continue;
            } else {
                if (mp3FramePositions_) {
                    if (mp3Packets == 0 && packet->pos != mp3ExpectedPos_)
                        return -1;
                    // Each packet is one frame; its timestamp is its frame number in
                    // samples. The demuxer's delay marks belong to the start of the
                    // stream, which this read did not pass through.
                    packet->pts = packet->dts = mp3FirstFrameSample_ + mp3Packets * mp3FrameSamples_;
                    av_packet_free_side_data(packet.get());
                    ++mp3Packets;
                }
                rc = avcodec_send_packet(decoder_.get(), packet.get());
                av_packet_unref(packet.get());
            }
            if (rc == AVERROR(ENOMEM))
                throw std::bad_alloc();
            // Any other refusal is a damaged packet: it is left out, as players do.
        }

        for (;;) {
            int rc = avcodec_receive_frame(decoder_.get(), block.get());
            if (rc == AVERROR(EAGAIN) && !draining)
                break;
            if (rc == AVERROR_EOF || rc == AVERROR(EAGAIN))
                return (positioned && !placed) ? -1 : passed;
            if (rc == AVERROR(ENOMEM))
                throw std::bad_alloc();
            if (rc < 0)
                continue;  // a damaged packet; the next call moves on

            if (mp3FramePositions_) {
                if (block->pts == AV_NOPTS_VALUE) {
                    if (!placed)
                        return -1;
                } else {
                    cursor = block->pts - mp3DelaySamples_;
                }
            } else if (!placed) {
                const std::int64_t ts = block->best_effort_timestamp;
                if (ts == AV_NOPTS_VALUE)
                    return -1;
                cursor = av_rescale_q(ts - timestampOrigin_, stream->time_base, AVRational{1, sampleRate_});
            }
            if (!placed && cursor > selection.begin)
                return -1;  // the jump landed after the start
            placed = true;

            metAudio_ = true;
            const std::int64_t blockBegin = cursor;
            cursor += block->nb_samples;
            passed += DeliverBlock(*block, blockBegin, selection, sink);
            av_frame_unref(block.get());
            if (cursor >= selection.end)
                return passed;
        }
    }
}

std::int64_t AudioSource::DeliverBlock(const AVFrame& block, std::int64_t begin,
                                       const Selection& selection, const Sink& sink)
{
    const BlockPart part = PartInSelection(selection, begin, block.nb_samples);
    if (part.last <= part.first)
        return 0;
    sink(block, int(part.first), int(part.last - part.first));
    return part.last - part.first;
}

}  // namespace av
