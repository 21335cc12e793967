#include "encoder/LoudnessMeter.h"

#include "encoder/ToolError.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include <ebur128.h>

namespace av {

void LoudnessMeter::StateDeleter::operator()(ebur128_state* state) const { ebur128_destroy(&state); }

LoudnessMeter::LoudnessMeter(int sampleRate, int channels)
    : sampleRate_(sampleRate), channels_(channels),
      state_(ebur128_init(unsigned(channels), static_cast<unsigned long>(sampleRate),
                          EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK))
{
    if (!state_)
        throw std::bad_alloc();
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::StartResampler(const AVFrame& block)
{
    if (resampler_)
        Drain();
    AVChannelLayout in{};
    if (block.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&in, block.ch_layout.nb_channels);
    else if (av_channel_layout_copy(&in, &block.ch_layout) < 0)
        throw std::bad_alloc();
    AVChannelLayout out{};
    av_channel_layout_default(&out, channels_);
    SwrContext* swr = nullptr;
    int rc = swr_alloc_set_opts2(&swr, &out, AV_SAMPLE_FMT_FLT, sampleRate_, &in, AVSampleFormat(block.format),
                                 block.sample_rate, 0, nullptr);
    av_channel_layout_uninit(&in);
    av_channel_layout_uninit(&out);
    resampler_.reset(swr);
    if (rc >= 0)
        rc = swr_init(swr);
    if (rc < 0)
        throw ToolError("Measuring the loudness failed: " + ErrorText(rc));
    inRate_ = block.sample_rate;
    inFormat_ = block.format;
    inChannels_ = block.ch_layout.nb_channels;
    drained_ = false;
}

void LoudnessMeter::Add(const AVFrame& block, int offset, int count)
{
    if (!resampler_ || block.sample_rate != inRate_ || block.format != inFormat_ ||
        block.ch_layout.nb_channels != inChannels_)
        StartResampler(block);
    std::vector<const std::uint8_t*> input = sampleGuard_.Planes(block, offset, count);
    Push(count, input.data());
}

void LoudnessMeter::Add(const float* interleaved, int frames)
{
    if (frames > 0 && ebur128_add_frames_float(state_.get(), interleaved, std::size_t(frames)) != EBUR128_SUCCESS)
        throw std::bad_alloc();
}

void LoudnessMeter::Push(int count, const std::uint8_t** input)
{
    const int room = swr_get_out_samples(resampler_.get(), count);
    if (room <= 0)
        return;
    std::vector<float> converted(std::size_t(room) * std::size_t(channels_));
    std::uint8_t* out[1] = {reinterpret_cast<std::uint8_t*>(converted.data())};
    const int got = swr_convert(resampler_.get(), out, room, input, count);
    if (got < 0)
        throw ToolError("Measuring the loudness failed: " + ErrorText(got));
    if (got > 0 && ebur128_add_frames_float(state_.get(), converted.data(), std::size_t(got)) != EBUR128_SUCCESS)
        throw std::bad_alloc();
}

void LoudnessMeter::Drain()
{
    if (resampler_ && !drained_)
        Push(0, nullptr);
    drained_ = true;
}

double LoudnessMeter::IntegratedLoudness()
{
    Drain();
    double loudness = -HUGE_VAL;
    if (ebur128_loudness_global(state_.get(), &loudness) != EBUR128_SUCCESS)
        return -HUGE_VAL;
    return loudness;
}

double LoudnessMeter::TruePeakDb()
{
    Drain();
    double highest = 0;
    for (int channel = 0; channel < channels_; ++channel) {
        double peak = 0;
        if (ebur128_true_peak(state_.get(), unsigned(channel), &peak) == EBUR128_SUCCESS)
            highest = std::max(highest, peak);
    }
    return highest > 0 ? 20 * std::log10(highest) : -HUGE_VAL;
}

double LoudnessGainDb(double loudness, double truePeakDb, double target, double ceiling)
{
    if (!std::isfinite(loudness) || !std::isfinite(truePeakDb))
        return 0;
    return std::min(target - loudness, ceiling - truePeakDb);
}

}  // namespace av
