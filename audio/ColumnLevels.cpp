#include "audio/ColumnLevels.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/intreadwrite.h>
}

#include <algorithm>
#include <cmath>
#include <deque>
#include <new>
#include <optional>

#include "media/FfmpegPtr.h"
#include "media/Layer3SideInfo.h"
#include "media/MpegHeader.h"

namespace {

using Level = ColumnLevels::Level;

// Frames kept from earlier columns, enough for the bit reservoir of any frame (511 bytes
// back, in frames of 24 bytes of main data and more).
constexpr std::size_t kKeptFrames = 24;

// The largest magnitude of a run of a frame's samples over all its channels, on the scale
// of 16-bit samples; values beyond full scale count as full scale, and values that are not
// numbers as silence.
template <typename Sample, typename Magnitude>
float RunPeak(const AVFrame& frame, int first, int count, Magnitude magnitude)
{
    const int channels = frame.ch_layout.nb_channels;
    const bool planar = av_sample_fmt_is_planar(AVSampleFormat(frame.format)) != 0;
    float peak = 0;
    const int planes = planar ? channels : 1;
    const int stride = planar ? 1 : channels;
    for (int plane = 0; plane < planes; ++plane) {
        const Sample* samples = reinterpret_cast<const Sample*>(frame.extended_data[plane]) + first * stride;
        const int values = count * stride;
        for (int i = 0; i < values; ++i)
            peak = std::max(peak, magnitude(samples[i]));
    }
    return peak;
}

Level PeakOf(const AVFrame& frame, int first, int count)
{
    float peak = 0;   // in 16-bit steps
    switch (av_get_packed_sample_fmt(AVSampleFormat(frame.format))) {
    case AV_SAMPLE_FMT_U8:
        peak = RunPeak<std::uint8_t>(frame, first, count, [](std::uint8_t v) { return std::fabs(float(v) - 128.0f) * 256.0f; });
        break;
    case AV_SAMPLE_FMT_S16:
        peak = RunPeak<std::int16_t>(frame, first, count, [](std::int16_t v) { return std::fabs(float(v)); });
        break;
    case AV_SAMPLE_FMT_S32:
        peak = RunPeak<std::int32_t>(frame, first, count, [](std::int32_t v) { return std::fabs(float(v)) / 65536.0f; });
        break;
    case AV_SAMPLE_FMT_FLT:
        peak = RunPeak<float>(frame, first, count, [](float v) { return std::fabs(v) * 32767.0f; });
        break;
    case AV_SAMPLE_FMT_DBL:
        peak = RunPeak<double>(frame, first, count, [](double v) { return float(std::fabs(v) * 32767.0); });
        break;
    default:
        break;
    }
    return Level(std::min(peak + 0.5f, float(ColumnLevels::kFullScale)));
}

// Gathers peaks by column and hands each column to the sink once a later one begins.
class ColumnPeaks {
public:
    explicit ColumnPeaks(const ColumnLevels::Sink& sink) : sink_(sink) {}

    // Raises the peak of a column at or after the current one; the columns between get
    // nothing and are silent.
    void Add(std::int64_t column, Level peak)
    {
        for (; current_ < column; ++current_) {
            sink_(&peak_, 1);
            peak_ = 0;
        }
        peak_ = std::max(peak_, peak);
        any_ = true;
    }
    // Hands over the last column; false when there was none.
    bool Finish()
    {
        if (any_)
            sink_(&peak_, 1);
        return any_;
    }

private:
    const ColumnLevels::Sink& sink_;
    std::int64_t current_ = 0;
    Level peak_ = 0;
    bool any_ = false;
};

// Where samples fall among columns of a fixed share of a second.
class ColumnGrid {
public:
    ColumnGrid(int sampleRate, int columnsPerSecond) : rate_(sampleRate), perSecond_(columnsPerSecond) {}
    std::int64_t ColumnOf(std::int64_t sample) const { return std::max<std::int64_t>(0, sample) * perSecond_ / rate_; }
    std::int64_t FirstSampleOf(std::int64_t column) const { return (column * rate_ + perSecond_ - 1) / perSecond_; }

    // Adds a decoded frame that starts at the given sample, split at column boundaries.
    void AddFrame(const AVFrame& frame, std::int64_t start, ColumnPeaks& peaks) const
    {
        const std::int64_t end = start + frame.nb_samples;
        for (std::int64_t at = std::max<std::int64_t>(start, 0); at < end;) {
            const std::int64_t column = ColumnOf(at);
            const std::int64_t runEnd = std::min(end, FirstSampleOf(column + 1));
            peaks.Add(column, PeakOf(frame, int(at - start), int(runEnd - at)));
            at = runEnd;
        }
    }

private:
    std::int64_t rate_;
    std::int64_t perSecond_;
};

// An open source and the decoder of its audio stream.
struct Source {
    explicit Source(const std::string& path, media::CancelFlag cancel)
        : file(path), input(file, std::move(cancel)), packet(media::NewPacket()), frame(media::NewFrame())
    {
    }
    // False when the file has no audio stream that can be decoded.
    bool OpenDecoder()
    {
        const AVCodec* codec = nullptr;
        stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream < 0)
            return false;
        // Other streams (a cover picture) need not be read.
        for (unsigned i = 0; i < input->nb_streams; ++i)
            if (int(i) != stream)
                input->streams[i]->discard = AVDISCARD_ALL;
        decoder.reset(avcodec_alloc_context3(codec));
        if (!decoder)
            throw std::bad_alloc();
        AVStream* audio = input->streams[stream];
        if (avcodec_parameters_to_context(decoder.get(), audio->codecpar) < 0)
            return false;
        decoder->pkt_timebase = audio->time_base;
        if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
            return false;
        return decoder->sample_rate > 0;
    }

    media::SourceFile file;
    media::SourceInput input;
    media::PacketPtr packet;
    media::FramePtr frame;
    media::CodecPtr decoder;
    int stream = -1;
};

bool Cancelled(const media::CancelFlag& cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// Decodes everything, in order.
ColumnLevels::Outcome DecodeWhole(Source& source, const ColumnGrid& grid, const media::CancelFlag& cancel,
                                  ColumnPeaks& peaks)
{
    std::int64_t position = 0;   // the first sample of the next decoded frame
    auto receive = [&] {
        while (avcodec_receive_frame(source.decoder.get(), source.frame.get()) == 0) {
            grid.AddFrame(*source.frame, position, peaks);
            position += source.frame->nb_samples;
            av_frame_unref(source.frame.get());
        }
    };
    while (source.input.readPacket(source.packet.get()) >= 0) {
        if (Cancelled(cancel)) {
            av_packet_unref(source.packet.get());
            return ColumnLevels::Outcome::Cancelled;
        }
        // A packet the decoder refuses is damaged data: it is left out.
        if (source.packet->stream_index == source.stream)
            avcodec_send_packet(source.decoder.get(), source.packet.get());
        av_packet_unref(source.packet.get());
        receive();
    }
    if (Cancelled(cancel))
        return ColumnLevels::Outcome::Cancelled;
    avcodec_send_packet(source.decoder.get(), nullptr);
    receive();
    return ColumnLevels::Outcome::Complete;
}

// MP3: decodes one frame a column, the loudest by its side information.
class Mp3Columns {
public:
    Mp3Columns(Source& source, const ColumnGrid& grid, ColumnPeaks& peaks)
        : source_(source), grid_(grid), peaks_(peaks)
    {
    }

    ColumnLevels::Outcome Run(const media::CancelFlag& cancel)
    {
        AVPacket* packet = source_.packet.get();
        while (source_.input.readPacket(packet) >= 0) {
            if (Cancelled(cancel)) {
                av_packet_unref(packet);
                return ColumnLevels::Outcome::Cancelled;
            }
            if (packet->stream_index == source_.stream)
                Take(packet);
            av_packet_unref(packet);
        }
        if (Cancelled(cancel))
            return ColumnLevels::Outcome::Cancelled;
        if (!frames_.empty())
            FinishColumn(frames_.back().column);
        return ColumnLevels::Outcome::Complete;
    }

private:
    struct Frame {
        media::PacketPtr packet;
        std::optional<media::Layer3SideInfo> info;   // none: not understood, so decoded
        std::int64_t column = 0;
    };

    void Take(AVPacket* packet)
    {
        if (nextIndex_ == 0) {
            // The decoder leaves out the encoder's delay at the start: time 0 is after it.
            std::size_t size = 0;
            if (const std::uint8_t* skip = av_packet_get_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
                skip && size >= 4)
                nextStart_ = -std::int64_t(AV_RL32(skip));
        }
        Frame frame{media::NewPacket(), media::Layer3SideInfo::Read(packet->data, std::size_t(packet->size)), 0};
        if (av_packet_ref(frame.packet.get(), packet) < 0)
            throw std::bad_alloc();
        const int samples = packet->size >= 4 ? media::MpegHeader::fromBytes(packet->data).samplesPerFrame() : 0;
        constexpr int kLayer3Samples = 1152;
        const int length = samples > 0 ? samples
                           : source_.decoder->frame_size > 0 ? source_.decoder->frame_size
                                                              : kLayer3Samples;
        frame.column = grid_.ColumnOf(nextStart_ + length / 2);
        nextStart_ += length;
        if (!frames_.empty() && frame.column > frames_.back().column)
            FinishColumn(frames_.back().column);
        frames_.push_back(std::move(frame));
        ++nextIndex_;
        // Frames of finished columns are kept only for the reservoir of later ones.
        while (frames_.size() > kKeptFrames && frames_.front().column < frames_.back().column)
            frames_.pop_front();
    }

    std::int64_t FirstIndex() const { return nextIndex_ - std::int64_t(frames_.size()); }
    Frame& At(std::int64_t index) { return frames_[std::size_t(index - FirstIndex())]; }

    void FinishColumn(std::int64_t column)
    {
        std::optional<std::int64_t> loudest;
        for (std::int64_t i = FirstIndex(); i < nextIndex_; ++i) {
            const Frame& frame = At(i);
            if (frame.column != column || (frame.info && frame.info->silent))
                continue;
            if (!frame.info) {
                loudest = i;
                break;
            }
            if (!loudest || frame.info->loudness > At(*loudest).info->loudness)
                loudest = i;
        }
        peaks_.Add(column, loudest ? DecodeFrame(*loudest) : Level(0));
    }

    // The first of the frames whose main data the frame's reservoir reaches into.
    std::int64_t ReservoirStart(std::int64_t index)
    {
        std::int64_t first = index;
        int needed = At(index).info ? At(index).info->mainDataBegin : 0;
        while (needed > 0 && first > FirstIndex()) {
            --first;
            needed -= At(first).info ? At(first).info->dataBytes : 0;
        }
        return first;
    }

    // Decodes the frame, after the frames that hold its bit reservoir; returns its peak.
    Level DecodeFrame(std::int64_t index)
    {
        // A granule's output overlaps half of the granule before it. A frame of two
        // granules (MPEG 1) shows its peak well enough without the frame before: leaving
        // that out changed a column's level by 0.05 dB on average, for a third less
        // work. A frame of one granule (MPEG 2 and 2.5) needs the frame before decoded too.
        std::int64_t first = ReservoirStart(index);
        const bool oneGranule = At(index).info && At(index).info->granules == 1;
        if (oneGranule && index > FirstIndex())
            first = std::min(first, ReservoirStart(index - 1));
        if (lastDecoded_ >= first - 1 && lastDecoded_ < index) {
            first = lastDecoded_ + 1;   // the decoder is already where it should be
        } else {
            avcodec_flush_buffers(source_.decoder.get());
        }
        Level peak = 0;
        for (std::int64_t i = first; i <= index; ++i) {
            avcodec_send_packet(source_.decoder.get(), At(i).packet.get());
            AVFrame* frame = source_.frame.get();
            while (avcodec_receive_frame(source_.decoder.get(), frame) == 0) {
                if (i == index)
                    peak = std::max(peak, PeakOf(*frame, 0, frame->nb_samples));
                av_frame_unref(frame);
            }
        }
        lastDecoded_ = index;
        return peak;
    }

    Source& source_;
    const ColumnGrid& grid_;
    ColumnPeaks& peaks_;
    std::deque<Frame> frames_;   // the latest frames, by index
    std::int64_t nextIndex_ = 0;
    std::int64_t nextStart_ = 0;   // the first sample of the next frame
    std::int64_t lastDecoded_ = -2;
};

}  // namespace

ColumnLevels::ColumnLevels(std::string path, int columnsPerSecond, media::CancelFlag cancel)
    : path_(std::move(path)), columnsPerSecond_(columnsPerSecond), cancel_(std::move(cancel))
{
}

ColumnLevels::Outcome ColumnLevels::Run(const Sink& sink)
{
    try {
        Source source(path_, cancel_);
        if (!source.OpenDecoder())
            return Outcome::Failed;
        const ColumnGrid grid(source.decoder->sample_rate, columnsPerSecond_);
        ColumnPeaks peaks(sink);
        Outcome outcome = Outcome::Complete;
        if (source.decoder->codec_id == AV_CODEC_ID_MP3) {
            Mp3Columns mp3(source, grid, peaks);
            outcome = mp3.Run(cancel_);
        } else {
            outcome = DecodeWhole(source, grid, cancel_, peaks);
        }
        if (outcome != Outcome::Complete)
            return outcome;
        return peaks.Finish() ? Outcome::Complete : Outcome::Failed;
    } catch (const media::SourceError& error) {
        return error.kind() == media::SourceError::Kind::Cancelled ? Outcome::Cancelled : Outcome::Failed;
    } catch (const std::bad_alloc&) {
        return Outcome::Failed;
    }
}
