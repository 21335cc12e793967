// The parts of av's common path between source and encoder: the rate and channel
// converter (exact length, no shift in time, the channel mixes) and the shaped feed
// (gain and fades that end on the output's last sample, whatever the block sizes).
#include "encoder/FrameEncoder.h"
#include "encoder/LevelShape.h"
#include "encoder/RateConverter.h"
#include "encoder/ShapedFeed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

namespace {

// --- the rate converter ----------------------------------------------------------------

struct RateCase {
    int inRate;
    int outRate;
    int inChannels;
    int outChannels;
    int frames;
    int block;   // frames pushed at a time
};

std::ostream& operator<<(std::ostream& out, const RateCase& c)
{
    return out << c.inRate << "->" << c.outRate << " " << c.inChannels << "->" << c.outChannels << " "
               << c.frames << " in blocks of " << c.block;
}

// A 440 Hz sine at rate, the same on every channel, from t = 0.
std::vector<float> Sine(int rate, int channels, int frames)
{
    std::vector<float> samples(std::size_t(frames) * std::size_t(channels));
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c)
            samples[std::size_t(i) * std::size_t(channels) + std::size_t(c)] = float(0.5 * std::sin(2 * M_PI * 440 * i / rate));
    }
    return samples;
}

std::vector<float> Convert(const RateCase& c, std::vector<float> input)
{
    av::RateConverter converter(c.inRate, c.inChannels, c.outRate, c.outChannels);
    std::vector<float> output;
    const av::RateConverter::Sink sink = [&](const float* samples, int frames) {
        output.insert(output.end(), samples, samples + std::size_t(frames) * std::size_t(c.outChannels));
    };
    for (int at = 0; at < c.frames; at += c.block) {
        const int frames = std::min(c.block, c.frames - at);
        av::SampleBlock block{input.data() + std::size_t(at) * std::size_t(c.inChannels), c.inChannels, frames};
        converter.Push(block, sink);
    }
    converter.Flush(sink);
    return output;
}

class RateConverterTest : public ::testing::TestWithParam<RateCase> {};

// The output has exactly the input's length at the new rate, and each of its samples
// lies where the input's sine puts it: no delay, no shift, the channels mixed as FFmpeg
// mixes them (one over two at -3 dB each, two into one as their mean).
TEST_P(RateConverterTest, ExactLengthNoShiftAndTheChannelMixes)
{
    const RateCase& c = GetParam();
    const std::vector<float> output = Convert(c, Sine(c.inRate, c.inChannels, c.frames));
    const std::int64_t expected = std::llround(double(c.frames) * c.outRate / c.inRate);
    ASSERT_EQ(output.size(), std::size_t(expected) * std::size_t(c.outChannels));

    const double level = c.inChannels == 1 && c.outChannels == 2 ? std::sqrt(0.5) : 1.0;
    double largest = 0;
    // Away from both ends, where the filter sees the sine's start or end.
    for (std::int64_t i = c.outRate / 50; i < expected - c.outRate / 50; ++i) {
        const double wanted = level * 0.5 * std::sin(2 * M_PI * 440 * double(i) / c.outRate);
        for (int ch = 0; ch < c.outChannels; ++ch)
            largest = std::max(largest, std::fabs(output[std::size_t(i) * std::size_t(c.outChannels) + std::size_t(ch)] - wanted));
    }
    EXPECT_LT(largest, 1e-3);
}

INSTANTIATE_TEST_SUITE_P(Cases, RateConverterTest,
                         ::testing::Values(RateCase{44100, 8000, 2, 1, 44100, 1152},
                                           RateCase{48000, 8000, 1, 1, 48013, 4096},
                                           RateCase{22050, 44100, 1, 2, 22051, 576},
                                           RateCase{96000, 48000, 2, 2, 96001, 1000},
                                           RateCase{11025, 8000, 2, 1, 33075, 7},
                                           RateCase{44100, 44100, 1, 2, 4410, 333},
                                           RateCase{44100, 44100, 2, 1, 4410, 4410}));

// --- the shaped feed ---------------------------------------------------------------------

class CapturingEncoder : public av::FrameEncoder {
public:
    void Encode(float* interleaved, int frames) override { samples.insert(samples.end(), interleaved, interleaved + frames); }
    void Finish() override { finished = true; }
    std::vector<float> samples;
    bool finished = false;
};

std::vector<float> Feed(const av::LevelShape& shape, const std::vector<float>& input, int block)
{
    CapturingEncoder encoder;
    av::ShapedFeed feed(encoder, shape, 1);
    for (std::size_t at = 0; at < input.size(); at += std::size_t(block))
        feed.Write(input.data() + at, int(std::min<std::size_t>(std::size_t(block), input.size() - at)));
    EXPECT_FALSE(encoder.finished);
    feed.Finish();
    EXPECT_TRUE(encoder.finished);
    return encoder.samples;
}

// A constant 0.4 made twice as loud with fades of 100 samples: silence on the first and
// the last sample, 0.8 in the middle, the same whatever sizes the blocks have, and never
// beyond full scale.
TEST(ShapedFeed, FadesEndOnTheLastSampleWhateverTheBlocks)
{
    const std::vector<float> input(1000, 0.4f);
    const av::LevelShape shape(2.0, 100);
    const std::vector<float> whole = Feed(shape, input, 1000);
    ASSERT_EQ(whole.size(), input.size());
    EXPECT_EQ(whole.front(), 0.0f);
    EXPECT_EQ(whole.back(), 0.0f);
    EXPECT_FLOAT_EQ(whole[500], 0.8f);
    EXPECT_FLOAT_EQ(whole[50], float(0.8 * shape.FactorAt(50, 1000) / 2.0));
    EXPECT_FLOAT_EQ(whole[949], float(0.8 * shape.FactorAt(949, 1000) / 2.0));
    for (int block : {1, 7, 99, 100, 101, 999})
        EXPECT_EQ(Feed(shape, input, block), whole) << "blocks of " << block;

    // Made louder than full scale, the samples are limited to it.
    const std::vector<float> loud = Feed(av::LevelShape(4.0, 0), input, 64);
    for (float s : loud)
        ASSERT_EQ(s, 1.0f);
}

}  // namespace
