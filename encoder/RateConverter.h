#pragma once
// Brings float blocks from the source's rate and channel count to the encoder's, without
// the FFmpeg libraries: one channel is spread over two at -3 dB each, two are mixed to
// one as (L + R) / 2 (as FFmpeg's resampler mixes them), and the rate is converted with
// libsoxr, whose output is phase-aligned with its input. After Flush exactly
// round(input × outRate / inRate) samples have come out, so that the output's length and
// the place of every sample on it are those of the input.
#include "encoder/SampleBlock.h"

#include <cstdint>
#include <functional>
#include <vector>

struct soxr;

namespace av {

class RateConverter {
public:
    RateConverter(int inRate, int inChannels, int outRate, int outChannels);
    ~RateConverter();
    RateConverter(const RateConverter&) = delete;
    RateConverter& operator=(const RateConverter&) = delete;

    using Sink = std::function<void(const float* interleaved, int frames)>;

    // Converts the block; the converted samples go to sink (perhaps later, in pieces).
    void Push(const SampleBlock& block, const Sink& sink);
    // Passes on what is left, up to the exact length of the output.
    void Flush(const Sink& sink);

private:
    void Emit(const float* samples, std::int64_t frames, const Sink& sink);

    int inRate_;
    int inChannels_;
    int outRate_;
    int outChannels_;
    soxr* resampler_ = nullptr;
    std::int64_t inputFrames_ = 0;
    std::int64_t outputFrames_ = 0;
    std::vector<float> mixed_;
    std::vector<float> converted_;
};

}  // namespace av
