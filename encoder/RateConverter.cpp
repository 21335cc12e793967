#include "encoder/RateConverter.h"

#include <soxr.h>

#include <algorithm>
#include <cmath>
#include <new>

namespace av {

namespace {

constexpr float kMonoToStereo = float(M_SQRT1_2);
constexpr std::size_t kFlushFrames = 4096;

}  // namespace

RateConverter::RateConverter(int inRate, int inChannels, int outRate, int outChannels)
    : inRate_(inRate), inChannels_(inChannels), outRate_(outRate), outChannels_(outChannels)
{
    if (inRate_ != outRate_) {
        soxr_error_t error = nullptr;
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        resampler_ = soxr_create(inRate_, outRate_, unsigned(outChannels_), &error, &io, &quality, &runtime);
        if (!resampler_ || error)
            throw std::bad_alloc();
    }
}

RateConverter::~RateConverter()
{
    if (resampler_)
        soxr_delete(resampler_);
}

void RateConverter::Push(const SampleBlock& block, const Sink& sink)
{
    const std::size_t frames = std::size_t(block.frames);
    if (frames == 0)
        return;
    inputFrames_ += block.frames;
    const float* input = block.samples;
    if (inChannels_ != outChannels_) {
        mixed_.resize(frames * std::size_t(outChannels_));
        if (outChannels_ == 2) {
            for (std::size_t i = 0; i < frames; ++i)
                mixed_[2 * i] = mixed_[2 * i + 1] = block.samples[i] * kMonoToStereo;
        } else {
            for (std::size_t i = 0; i < frames; ++i)
                mixed_[i] = (block.samples[2 * i] + block.samples[2 * i + 1]) * 0.5f;
        }
        input = mixed_.data();
    }
    if (!resampler_) {
        Emit(input, block.frames, sink);
        return;
    }
    const std::size_t room = std::size_t(double(frames) * outRate_ / inRate_) + 64;
    converted_.resize(room * std::size_t(outChannels_));
    std::size_t used = 0;
    while (used < frames) {
        std::size_t took = 0, made = 0;
        const soxr_error_t error = soxr_process(resampler_, input + used * std::size_t(outChannels_), frames - used,
                                                &took, converted_.data(), room, &made);
        if (error)
            throw std::bad_alloc();
        used += took;
        Emit(converted_.data(), std::int64_t(made), sink);
        if (took == 0 && made == 0)
            break;
    }
}

void RateConverter::Flush(const Sink& sink)
{
    if (resampler_) {
        converted_.resize(kFlushFrames * std::size_t(outChannels_));
        for (;;) {
            std::size_t made = 0;
            if (soxr_process(resampler_, nullptr, 0, nullptr, converted_.data(), kFlushFrames, &made) || made == 0)
                break;
            Emit(converted_.data(), std::int64_t(made), sink);
        }
    }
    // The resampler's last samples may fall short of the exact length by a sample or two.
    const std::int64_t wanted = std::llround(double(inputFrames_) * outRate_ / inRate_);
    std::vector<float> silence(kFlushFrames * std::size_t(outChannels_), 0.0f);
    while (outputFrames_ < wanted)
        Emit(silence.data(), std::min<std::int64_t>(std::int64_t(kFlushFrames), wanted - outputFrames_), sink);
}

void RateConverter::Emit(const float* samples, std::int64_t frames, const Sink& sink)
{
    // Nothing beyond the exact length is passed on.
    const std::int64_t wanted = std::llround(double(inputFrames_) * outRate_ / inRate_);
    const std::int64_t take = resampler_ ? std::min(frames, std::max<std::int64_t>(wanted - outputFrames_, 0)) : frames;
    if (take <= 0)
        return;
    outputFrames_ += take;
    sink(samples, int(take));
}

}  // namespace av
