#include "encoder/ShapedFeed.h"

#include "encoder/SampleGuard.h"

namespace av {

ShapedFeed::ShapedFeed(FrameEncoder& encoder, const LevelShape& shape, int channels)
    : encoder_(encoder), shape_(shape), channels_(channels)
{
}

void ShapedFeed::Write(const float* interleaved, int frames)
{
    pending_.insert(pending_.end(), interleaved, interleaved + std::size_t(frames) * std::size_t(channels_));
    const std::size_t held = std::size_t(shape_.fadeSamples());
    const std::size_t buffered = pending_.size() / std::size_t(channels_);
    if (buffered > held)
        Pass(buffered - held, LevelShape::kLengthUnknown);
}

void ShapedFeed::Finish()
{
    const std::size_t buffered = pending_.size() / std::size_t(channels_);
    if (buffered > 0)
        Pass(buffered, passed_ + std::int64_t(buffered));
    encoder_.Finish();
}

void ShapedFeed::Pass(std::size_t frames, std::int64_t length)
{
    const std::size_t values = frames * std::size_t(channels_);
    shape_.Apply(pending_.data(), channels_, int(frames), passed_, length);
    // Resampling and gain may overshoot full scale a little; the encoder is given none of it.
    LimitToFullScale(pending_.data(), values);
    encoder_.Encode(pending_.data(), int(frames));
    passed_ += std::int64_t(frames);
    pending_.erase(pending_.begin(), pending_.begin() + std::ptrdiff_t(values));
}

}  // namespace av
