// Float and double sources that hold NaN, infinities or values far beyond full scale:
// the encoders are given finite samples within full scale, and the export succeeds.
#include "support/AvRun.h"
#include "encoder/SampleGuard.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// --- the sample guard ----------------------------------------------------------------------

struct LimitCase {
    double in;
    double out;
};

TEST(SampleGuard, MakesEverySampleFiniteAndWithinFullScale)
{
    const std::vector<LimitCase> cases = {{kNaN, 0},   {-kNaN, 0},  {kInf, 1},     {-kInf, -1},  {1e30, 1},
                                          {-1e30, -1}, {1.0001, 1}, {-1.0001, -1}, {1, 1},       {-1, -1},
                                          {0.5, 0.5},  {0, 0},      {-0.25, -0.25}, {1e-30, 1e-30}};
    std::vector<float> floats;
    std::vector<double> doubles;
    for (const LimitCase& c : cases) {
        floats.push_back(float(c.in));
        doubles.push_back(c.in);
    }
    EXPECT_TRUE(av::LimitToFullScale(floats.data(), floats.size()));
    EXPECT_TRUE(av::LimitToFullScale(doubles.data(), doubles.size()));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(floats[i], float(cases[i].out)) << "float " << cases[i].in;
        EXPECT_EQ(doubles[i], cases[i].out) << "double " << cases[i].in;
    }
    // Samples that are already fine are left as they are.
    std::vector<float> fine = {0.5f, -1.0f, 1.0f, 0.0f};
    EXPECT_FALSE(av::LimitToFullScale(fine.data(), fine.size()));
    EXPECT_EQ(fine, (std::vector<float>{0.5f, -1.0f, 1.0f, 0.0f}));
}

// A decoded block of float samples, planar or packed, with two channels.
av::FramePtr FloatBlock(AVSampleFormat format, const std::vector<float>& left, const std::vector<float>& right)
{
    av::FramePtr block = av::NewFrame();
    block->format = format;
    block->nb_samples = int(left.size());
    block->sample_rate = 44100;
    av_channel_layout_default(&block->ch_layout, 2);
    av_frame_get_buffer(block.get(), 0);
    auto* l = reinterpret_cast<float*>(block->extended_data[0]);
    for (std::size_t i = 0; i < left.size(); ++i) {
        if (format == AV_SAMPLE_FMT_FLTP) {
            l[i] = left[i];
            reinterpret_cast<float*>(block->extended_data[1])[i] = right[i];
        } else {
            l[2 * i] = left[i];
            l[2 * i + 1] = right[i];
        }
    }
    return block;
}

TEST(SampleGuard, CopiesABlockOnlyWhenASampleMustChange)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    av::SampleGuard guard;

    av::FramePtr planar = FloatBlock(AV_SAMPLE_FMT_FLTP, {0.1f, nan, 0.3f, 0.4f}, {0.5f, 0.6f, 7.0f, 0.8f});
    const auto& planes = guard.Planes(*planar, 1, 2);
    ASSERT_EQ(planes.size(), 2u);
    const auto* left = reinterpret_cast<const float*>(planes[0]);
    const auto* right = reinterpret_cast<const float*>(planes[1]);
    EXPECT_EQ(left[0], 0.0f);
    EXPECT_EQ(left[1], 0.3f);
    EXPECT_EQ(right[0], 0.6f);
    EXPECT_EQ(right[1], 1.0f);
    // The decoder's own buffer is not touched.
    EXPECT_TRUE(std::isnan(reinterpret_cast<const float*>(planar->extended_data[0])[1]));
    EXPECT_EQ(reinterpret_cast<const float*>(planar->extended_data[1])[2], 7.0f);

    av::FramePtr packed = FloatBlock(AV_SAMPLE_FMT_FLT, {0.1f, 0.2f, 0.3f}, {-0.1f, -0.2f, -0.3f});
    const auto& fine = guard.Planes(*packed, 1, 2);
    ASSERT_EQ(fine.size(), 1u);
    EXPECT_EQ(fine[0], packed->extended_data[0] + 2 * sizeof(float));
    EXPECT_EQ(reinterpret_cast<const float*>(fine[0])[3], -0.3f);

    av::FramePtr wild = FloatBlock(AV_SAMPLE_FMT_FLT, {0.1f, -1e30f, 0.3f}, {nan, 0.2f, 0.3f});
    const auto& mended = guard.Planes(*wild, 0, 2);
    const auto* samples = reinterpret_cast<const float*>(mended[0]);
    EXPECT_EQ(std::vector<float>(samples, samples + 4), (std::vector<float>{0.1f, 0.0f, -1.0f, 0.2f}));
}

// --- the tool on a float or double WAV file ---------------------------------------------------

// A sine of amplitude 0.5 at 440 Hz, 44100 Hz mono, 1.5 s, in which every 441st sample
// is NaN, +inf, -inf, 1e30 or -1e30 in turn, and 10 ms from 0.5 s on are all NaN.
std::vector<double> WildSine()
{
    constexpr int kRate = 44100;
    const double wild[] = {kNaN, kInf, -kInf, 1e30, -1e30};
    std::vector<double> samples(std::size_t(kRate * 3 / 2));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.5 * std::sin(2 * M_PI * 440 * double(i) / kRate);
    for (std::size_t i = 0, k = 0; i < samples.size(); i += 441, ++k)
        samples[i] = wild[k % 5];
    for (std::size_t i = kRate / 2; i < kRate / 2 + kRate / 100; ++i)
        samples[i] = kNaN;
    return samples;
}

std::string FloatWav(const std::vector<double>& samples, bool doubles)
{
    const std::uint16_t bits = doubles ? 64 : 32;
    std::string bytes = avrun::WavHeader(3, bits, 44100, 1, std::uint32_t(samples.size() * bits / 8));
    for (double s : samples) {
        if (doubles)
            avrun::AppendLittleEndian(bytes, s);
        else
            avrun::AppendLittleEndian(bytes, float(s));
    }
    return bytes;
}

struct OddCase {
    bool doubles;
    bool amr;
};

class OddSamplesTest : public ::testing::TestWithParam<OddCase> {};

TEST_P(OddSamplesTest, ExportSucceedsAndSoundsLikeTheSine)
{
    const OddCase& c = GetParam();
    fixtures::ScratchDir dir;
    const std::string source = dir.file("wild.wav");
    fixtures::WriteFile(source, FloatWav(WildSine(), c.doubles));
    const std::string target = dir.file(c.amr ? "ring.amr" : "ring.mp3");
    const fixtures::ToolResult r = avrun::RunAv(c.amr ? avrun::AmrLine(source, "00:00:00", "00:00:01", target)
                                                      : avrun::Mp3Line(source, "00:00:00", "00:00:01", target));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;
    EXPECT_EQ(r.standardError, "");
    EXPECT_EQ(avrun::FolderEntries(dir.path()), (std::vector<std::string>{c.amr ? "ring.amr" : "ring.mp3", "wild.wav"}));

    // One second of the sine (both channels of the MP3 file), without bursts: a NaN
    // taken as anything but silence, or spread by the resampler, would show as samples
    // at full scale and a louder signal.
    const std::vector<std::int16_t> output = avrun::DecodeToSamples(target);
    const double expected = c.amr ? 8000 : 2 * 44100;
    ASSERT_NEAR(double(output.size()), expected, expected * 0.05);
    double peak = 0, energy = 0;
    for (std::int16_t s : output) {
        peak = std::max(peak, std::abs(s / 32768.0));
        energy += (s / 32768.0) * (s / 32768.0);
    }
    const double rms = std::sqrt(energy / double(output.size()));
    // The mono source is spread over the MP3 file's two channels at -3 dB each.
    const double amplitude = c.amr ? 0.5 : 0.5 / std::sqrt(2.0);
    EXPECT_LT(peak, 0.8);
    EXPECT_NEAR(rms, amplitude / std::sqrt(2.0), 0.05);
}

INSTANTIATE_TEST_SUITE_P(Sources, OddSamplesTest,
                         ::testing::Values(OddCase{false, false}, OddCase{false, true}, OddCase{true, false},
                                           OddCase{true, true}),
                         [](const auto& info) {
                             return std::string(info.param.doubles ? "Double" : "Float") +
                                    (info.param.amr ? "ToAmr" : "ToMp3");
                         });

}  // namespace
