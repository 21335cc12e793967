#include "encoder/LevelShape.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace av {

namespace {

// Rises from 0 at position 0 to 1 at position 1 with no corner at either end.
double RaisedCosine(double position) { return 0.5 - 0.5 * std::cos(M_PI * position); }

template <typename Sample, typename Shape>
void ShapePlane(Sample* samples, int count, int step, const Shape& factorOf)
{
    for (int i = 0; i < count; ++i) {
        const double factor = factorOf(i);
        Sample& s = samples[i * step];
        if constexpr (std::is_floating_point_v<Sample>) {
            s = Sample(s * factor);
        } else {
            s = Sample(std::clamp(std::lround(s * factor), -32768L, 32767L));
        }
    }
}

}  // namespace

LevelShape::LevelShape(double gain, std::int64_t fadeSamples) : gain_(gain), fadeSamples_(std::max<std::int64_t>(fadeSamples, 0))
{
}

double LevelShape::FactorAt(std::int64_t index, std::int64_t length) const
{
    double factor = gain_;
    if (fadeSamples_ > 0) {
        if (index < fadeSamples_)
            factor *= RaisedCosine(double(index) / double(fadeSamples_));
        if (length != kLengthUnknown) {
            const std::int64_t fromEnd = length - 1 - index;
            if (fromEnd < fadeSamples_)
                factor *= RaisedCosine(double(std::max<std::int64_t>(fromEnd, 0)) / double(fadeSamples_));
        }
    }
    return factor;
}

void LevelShape::Apply(float* interleaved, int channels, int count, std::int64_t first, std::int64_t length) const
{
    if (gain_ == 1.0 && fadeSamples_ == 0)
        return;
    for (int channel = 0; channel < channels; ++channel)
        ShapePlane(interleaved + channel, count, channels, [&](int i) { return FactorAt(first + i, length); });
}

void LevelShape::Apply(AVFrame& block, int count, std::int64_t first, std::int64_t length) const
{
    if (gain_ == 1.0 && fadeSamples_ == 0)
        return;
    const auto format = AVSampleFormat(block.format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int channels = block.ch_layout.nb_channels;
    const int planes = planar ? channels : 1;
    const int step = planar ? 1 : channels;
    for (int plane = 0; plane < planes; ++plane) {
        for (int channel = 0; channel < step; ++channel) {
            const auto factorOf = [&](int i) { return FactorAt(first + i, length); };
            switch (format) {
            case AV_SAMPLE_FMT_FLT:
            case AV_SAMPLE_FMT_FLTP:
                ShapePlane(reinterpret_cast<float*>(block.extended_data[plane]) + channel, count, step, factorOf);
                break;
            case AV_SAMPLE_FMT_S16:
            case AV_SAMPLE_FMT_S16P:
                ShapePlane(reinterpret_cast<std::int16_t*>(block.extended_data[plane]) + channel, count, step,
                           factorOf);
                break;
            default:
                break;   // no encoder of ours takes another format
            }
        }
    }
}

}  // namespace av
