#include "audio/SongDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cmath>
#include <new>

#include "media/FfmpegPtr.h"

namespace {

bool Cancelled(const media::CancelFlag& cancel)
{
    return cancel && cancel->load(std::memory_order_relaxed);
}

// Mixes decoded frames to mono floats at the target rate; made anew when the decoder's
// format changes within the stream.
class MonoResampler {
public:
    explicit MonoResampler(int rate) : rate_(rate) {}
    ~MonoResampler() { av_channel_layout_uninit(&layout_); }
    MonoResampler(const MonoResampler&) = delete;
    MonoResampler& operator=(const MonoResampler&) = delete;

    // Appends the converted samples of a frame; false when the converter cannot be made.
    bool Add(const AVFrame& frame, std::vector<float>& out)
    {
        if (!Matches(frame)) {
            Flush(out);
            if (!Configure(frame))
                return false;
        }
        return Convert(frame.extended_data, frame.nb_samples, out);
    }
    // Appends what the converter still holds.
    void Flush(std::vector<float>& out)
    {
        if (resampler_)
            Convert(nullptr, 0, out);
    }

private:
    bool Matches(const AVFrame& frame) const
    {
        return resampler_ && frame.format == format_ && frame.sample_rate == inRate_ &&
               av_channel_layout_compare(&frame.ch_layout, &layout_) == 0;
    }
    bool Configure(const AVFrame& frame)
    {
        resampler_.reset();
        av_channel_layout_uninit(&layout_);
        if (frame.sample_rate <= 0 || av_channel_layout_copy(&layout_, &frame.ch_layout) < 0)
            return false;
        format_ = frame.format;
        inRate_ = frame.sample_rate;
        AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
        SwrContext* made = nullptr;
        if (swr_alloc_set_opts2(&made, &mono, AV_SAMPLE_FMT_FLT, rate_, &layout_, AVSampleFormat(format_), inRate_, 0,
                                nullptr) < 0)
            return false;
        resampler_.reset(made);
        return swr_init(resampler_.get()) >= 0;
    }
    bool Convert(const std::uint8_t* const* in, int count, std::vector<float>& out)
    {
        const int room = swr_get_out_samples(resampler_.get(), count);
        if (room < 0)
            return false;
        const std::size_t at = out.size();
        out.resize(at + std::size_t(room));
        auto* target = reinterpret_cast<std::uint8_t*>(out.data() + at);
        const int made = swr_convert(resampler_.get(), &target, room, const_cast<const std::uint8_t**>(in), count);
        out.resize(at + std::size_t(std::max(made, 0)));
        for (std::size_t i = at; i < out.size(); ++i)
            out[i] = std::isfinite(out[i]) ? std::clamp(out[i], -1.0f, 1.0f) : 0.0f;
        return made >= 0;
    }

    int rate_;
    media::ResamplerPtr resampler_;
    AVChannelLayout layout_{};
    int format_ = -1;
    int inRate_ = 0;
};

}  // namespace

SongDecoder::SongDecoder(std::string path, int sampleRate, media::CancelFlag cancel)
    : path_(std::move(path)), sampleRate_(std::max(sampleRate, 1)), cancel_(std::move(cancel))
{
}

SongDecoder::Outcome SongDecoder::Run(std::vector<float>& samples)
{
    samples.clear();
    try {
        media::SourceFile file(path_);
        media::SourceInput input(file, cancel_);
        const AVCodec* codec = nullptr;
        const int stream = av_find_best_stream(input.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
        if (stream < 0)
            return Outcome::Failed;
        // Other streams (a cover picture) need not be read.
        for (unsigned i = 0; i < input->nb_streams; ++i)
            if (int(i) != stream)
                input->streams[i]->discard = AVDISCARD_ALL;
        media::CodecPtr decoder(avcodec_alloc_context3(codec));
        if (!decoder)
            throw std::bad_alloc();
        AVStream* audio = input->streams[stream];
        if (avcodec_parameters_to_context(decoder.get(), audio->codecpar) < 0)
            return Outcome::Failed;
        decoder->pkt_timebase = audio->time_base;
        if (avcodec_open2(decoder.get(), codec, nullptr) < 0)
            return Outcome::Failed;

        const std::size_t limit = std::size_t(kMaxSeconds * sampleRate_);
        media::PacketPtr packet = media::NewPacket();
        media::FramePtr frame = media::NewFrame();
        MonoResampler resampler(sampleRate_);
        bool decoded = false;
        auto receive = [&] {
            while (avcodec_receive_frame(decoder.get(), frame.get()) == 0) {
                // A frame the converter cannot take is left out, as a damaged packet is.
                decoded = resampler.Add(*frame, samples) || decoded;
                av_frame_unref(frame.get());
            }
        };
        while (samples.size() < limit && input.readPacket(packet.get()) >= 0) {
            if (Cancelled(cancel_)) {
                av_packet_unref(packet.get());
                return Outcome::Cancelled;
            }
            // A packet the decoder refuses is damaged data: it is left out.
            if (packet->stream_index == stream)
                avcodec_send_packet(decoder.get(), packet.get());
            av_packet_unref(packet.get());
            receive();
        }
        if (Cancelled(cancel_))
            return Outcome::Cancelled;
        avcodec_send_packet(decoder.get(), nullptr);
        receive();
        resampler.Flush(samples);
        if (samples.size() > limit)
            samples.resize(limit);
        return decoded && !samples.empty() ? Outcome::Complete : Outcome::Failed;
    } catch (const media::SourceError& error) {
        samples.clear();
        return error.kind() == media::SourceError::Kind::Cancelled ? Outcome::Cancelled : Outcome::Failed;
    } catch (const std::bad_alloc&) {
        samples.clear();
        return Outcome::Failed;
    }
}
