#include "encoder/SampleGuard.h"

#include <cmath>
#include <cstring>

namespace av {

namespace {

template <typename Sample>
bool Limit(Sample* samples, std::size_t count)
{
    bool changed = false;
    for (std::size_t i = 0; i < count; ++i) {
        const Sample s = samples[i];
        if (std::fabs(s) <= Sample(1))
            continue;   // the usual case; false for NaN
        samples[i] = std::isnan(s) ? Sample(0) : (s > 0 ? Sample(1) : Sample(-1));
        changed = true;
    }
    return changed;
}

template <typename Sample>
bool AllWithinFullScale(const Sample* samples, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        if (!(std::fabs(samples[i]) <= Sample(1)))
            return false;
    }
    return true;
}

bool IsFloat(AVSampleFormat format)
{
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    return packed == AV_SAMPLE_FMT_FLT || packed == AV_SAMPLE_FMT_DBL;
}

bool IsDouble(AVSampleFormat format) { return av_get_packed_sample_fmt(format) == AV_SAMPLE_FMT_DBL; }

// Where the part of a block lies: one pointer per plane and the samples in each.
struct BlockPlanes {
    std::vector<std::uint8_t*> starts;
    std::size_t samplesPerPlane = 0;
    std::size_t bytesPerPlane = 0;
};

BlockPlanes PlanesOf(const AVFrame& block, int offset, int count)
{
    const auto format = AVSampleFormat(block.format);
    const std::size_t sampleBytes = std::size_t(av_get_bytes_per_sample(format));
    const int channels = block.ch_layout.nb_channels;
    BlockPlanes planes;
    if (av_sample_fmt_is_planar(format)) {
        for (int ch = 0; ch < channels; ++ch)
            planes.starts.push_back(block.extended_data[ch] + std::size_t(offset) * sampleBytes);
        planes.samplesPerPlane = std::size_t(count);
    } else {
        planes.starts.push_back(block.extended_data[0] + std::size_t(offset) * sampleBytes * std::size_t(channels));
        planes.samplesPerPlane = std::size_t(count) * std::size_t(channels);
    }
    planes.bytesPerPlane = planes.samplesPerPlane * sampleBytes;
    return planes;
}

bool PlaneWithinFullScale(const std::uint8_t* plane, std::size_t samples, bool isDouble)
{
    return isDouble ? AllWithinFullScale(reinterpret_cast<const double*>(plane), samples)
                    : AllWithinFullScale(reinterpret_cast<const float*>(plane), samples);
}

void LimitPlane(std::uint8_t* plane, std::size_t samples, bool isDouble)
{
    if (isDouble)
        Limit(reinterpret_cast<double*>(plane), samples);
    else
        Limit(reinterpret_cast<float*>(plane), samples);
}

}  // namespace

bool LimitToFullScale(float* samples, std::size_t count) { return Limit(samples, count); }
bool LimitToFullScale(double* samples, std::size_t count) { return Limit(samples, count); }

void LimitToFullScale(AVFrame& block, int offset, int count)
{
    const auto format = AVSampleFormat(block.format);
    if (!IsFloat(format))
        return;
    const BlockPlanes planes = PlanesOf(block, offset, count);
    for (std::uint8_t* plane : planes.starts)
        LimitPlane(plane, planes.samplesPerPlane, IsDouble(format));
}

const std::vector<const std::uint8_t*>& SampleGuard::Planes(const AVFrame& block, int offset, int count)
{
    const auto format = AVSampleFormat(block.format);
    const BlockPlanes planes = PlanesOf(block, offset, count);
    planes_.assign(planes.starts.begin(), planes.starts.end());
    if (!IsFloat(format))
        return planes_;
    copies_.resize(planes_.size());
    for (std::size_t i = 0; i < planes_.size(); ++i) {
        if (PlaneWithinFullScale(planes_[i], planes.samplesPerPlane, IsDouble(format)))
            continue;
        std::vector<std::uint8_t>& copy = copies_[i];
        copy.assign(planes_[i], planes_[i] + planes.bytesPerPlane);
        LimitPlane(copy.data(), planes.samplesPerPlane, IsDouble(format));
        planes_[i] = copy.data();
    }
    return planes_;
}

}  // namespace av
