#pragma once
// Samples handed to an encoder must be finite and within full scale. A float or double
// source (a WAV file, say) may hold NaN, infinities or values far beyond full scale;
// LAME aborts on them, and the resampler would spread a NaN over its neighbours. So
// NaN becomes 0 and everything else is clamped to [-1, 1]; integer samples are within
// their range by their nature.
#include "encoder/FfmpegPtr.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace av {

// Makes each sample finite and within [-1, 1]. Returns whether any had to change.
bool LimitToFullScale(float* samples, std::size_t count);
bool LimitToFullScale(double* samples, std::size_t count);

// The same for count samples of every channel of a block from offset, in place.
void LimitToFullScale(AVFrame& block, int offset, int count);

// Hands over the samples of a decoded block, made safe without touching the decoder's
// own buffers: they are copied only when a sample needs to change.
class SampleGuard {
public:
    // Pointers to count samples from offset, one per plane (one for packed formats).
    // They point into the block, or into a cleaned copy kept until the next call.
    const std::vector<const std::uint8_t*>& Planes(const AVFrame& block, int offset, int count);

private:
    std::vector<const std::uint8_t*> planes_;
    std::vector<std::vector<std::uint8_t>> copies_;
};

}  // namespace av
