#pragma once
// Gain and fades, applied to the samples just before they are encoded. A fade follows a
// raised cosine, from silence on the first sample of the output and back to silence on
// its last one, so that a ringtone neither starts nor ends with a click.
#include "encoder/FfmpegPtr.h"

#include <cstdint>

namespace av {

class LevelShape {
public:
    // The output's length is not known yet (the block lies before its last fade).
    static constexpr std::int64_t kLengthUnknown = -1;

    LevelShape() = default;
    // gain is a factor (1: unchanged); each end fades over fadeSamples (0: no fades).
    LevelShape(double gain, std::int64_t fadeSamples);

    std::int64_t fadeSamples() const { return fadeSamples_; }

    // The factor for output sample index of an output of length samples (or
    // kLengthUnknown while index lies at least fadeSamples before the end).
    double FactorAt(std::int64_t index, std::int64_t length) const;

    // Shapes the first count samples of every channel of block, whose first sample is
    // output sample first. Planar and packed float and 16-bit blocks are shaped.
    void Apply(AVFrame& block, int count, std::int64_t first, std::int64_t length) const;
    // The same for count frames of interleaved float samples of channels channels.
    void Apply(float* interleaved, int channels, int count, std::int64_t first, std::int64_t length) const;

private:
    double gain_ = 1.0;
    std::int64_t fadeSamples_ = 0;
};

}  // namespace av
