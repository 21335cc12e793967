// The hook finder's samples of real files made at test time: each kind of file and rate
// comes out mono at 11025 Hz with its length and pitch kept, channels are mixed (not one
// of them taken), and bad files and breaking off end as such.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>

#include "audio/HookFinder.h"
#include "audio/SongDecoder.h"
#include "support/Fixtures.h"

namespace {

constexpr int kRate = HookFinder::kSampleRate;

// Crossings of zero upwards, a second: the pitch of a pure tone.
double UpwardCrossingsPerSecond(const std::vector<float>& samples)
{
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i)
        crossings += samples[i - 1] < 0 && samples[i] >= 0 ? 1 : 0;
    return crossings / (double(samples.size()) / kRate);
}

float Peak(const std::vector<float>& samples)
{
    float peak = 0;
    for (float v : samples)
        peak = std::max(peak, std::fabs(v));
    return peak;
}

}  // namespace

TEST(SongDecoder, EachKindOfFileComesOutMonoAtTheAnalysisRate)
{
    fixtures::ScratchDir dir;
    struct Case {
        std::string name;
        int rate;
        int channels;
    };
    for (const Case& c : {Case{"tone.wav", 44100, 2}, Case{"tone.mp3", 48000, 2}, Case{"tone.flac", 22050, 1},
                          Case{"tone.ogg", 44100, 2}}) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file(c.name);
        ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:duration=3:sample_rate=" + std::to_string(c.rate),
                                      "-ac", std::to_string(c.channels), path}));
        std::vector<float> samples;
        EXPECT_EQ(SongDecoder(path, kRate).Run(samples), SongDecoder::Outcome::Complete);
        // Three seconds; encoders add a little padding.
        EXPECT_NEAR(double(samples.size()) / kRate, 3.0, 0.1);
        EXPECT_NEAR(UpwardCrossingsPerSecond(samples), 440.0, 5.0);
        EXPECT_GT(Peak(samples), 0.05f);
        EXPECT_LE(Peak(samples), 1.0f);
    }
}

TEST(SongDecoder, ChannelsAreMixedNotOneTaken)
{
    fixtures::ScratchDir dir;
    // The right channel is the left one upside down: their mix is silent, either one alone
    // is a loud tone.
    const std::string path = dir.file("opposite.wav");
    ASSERT_TRUE(fixtures::Ffmpeg({"-f", "lavfi", "-i", "aevalsrc=exprs=0.8*sin(2*PI*440*t)|-0.8*sin(2*PI*440*t):d=2:s=44100", path}));
    std::vector<float> samples;
    ASSERT_EQ(SongDecoder(path, kRate).Run(samples), SongDecoder::Outcome::Complete);
    EXPECT_NEAR(double(samples.size()) / kRate, 2.0, 0.05);
    EXPECT_LT(Peak(samples), 0.01f);
}

TEST(SongDecoder, BadFilesFailAndACancelEndsTheDecoding)
{
    fixtures::ScratchDir dir;
    fixtures::WriteFile(dir.file("text.mp3"), std::string(20000, 'x'));
    std::vector<float> samples{1.0f};
    EXPECT_EQ(SongDecoder(dir.file("text.mp3"), kRate).Run(samples), SongDecoder::Outcome::Failed);
    EXPECT_TRUE(samples.empty());
    EXPECT_EQ(SongDecoder(dir.file("missing.wav"), kRate).Run(samples), SongDecoder::Outcome::Failed);

    const std::string path = dir.file("tone.wav");
    ASSERT_TRUE(fixtures::MakeTone(path, 5));
    auto cancel = std::make_shared<std::atomic<bool>>(true);
    EXPECT_EQ(SongDecoder(path, kRate, cancel).Run(samples), SongDecoder::Outcome::Cancelled);
    EXPECT_TRUE(samples.empty());
}
