// The player's decoder converting a source to the sound device's format: a WAV file tells
// only its channel count, and its sine must come out whole when its rate is changed.
#include "audio/AudioDecoder.h"
#include "support/Fixtures.h"
#include "support/SineFit.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Conversion {
    int sourceRate;
    int channels;
    int outputRate;
};

class AudioDecoderConversionTest : public ::testing::TestWithParam<Conversion> {};

TEST_P(AudioDecoderConversionTest, SineStaysWholeAcrossDecodedBlocks)
{
    const Conversion c = GetParam();
    fixtures::ScratchDir dir;
    const std::string source = dir.file("sine.wav");
    ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i",
                                  "sine=frequency=500:sample_rate=" + std::to_string(c.sourceRate) + ":duration=4",
                                  "-ac", std::to_string(c.channels), "-c:a", "pcm_s16le", source}));
    AudioDecoder decoder(source);
    decoder.SetOutputFormat(c.outputRate, 2);
    std::vector<std::int16_t> left;
    ASSERT_TRUE(decoder.DecodeRange(1000, 3000, [&](const int16_t* samples, size_t frames) {
        for (size_t i = 0; i < frames; ++i)
            left.push_back(samples[2 * i]);
        return true;
    }));
    ASSERT_GT(left.size(), std::size_t(c.outputRate));
    const std::size_t margin = std::size_t(c.outputRate / 10);
    const fixtures::SineFit fit = fixtures::FitSine(left.data(), margin, left.size() - margin, 500, c.outputRate);
    ASSERT_GT(fit.amplitude, 1000);
    EXPECT_LT(fit.worstDeviation, 0.05);
}

INSTANTIATE_TEST_SUITE_P(Rates, AudioDecoderConversionTest,
                         ::testing::Values(Conversion{48000, 2, 44100}, Conversion{44100, 2, 48000},
                                           Conversion{22050, 1, 48000}, Conversion{44100, 2, 44100}));

}  // namespace
