// The strip's wave from levels: the height of a peak, and levels shown over the
// pseudo-random wave as they arrive, switched off and on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "strip/LevelWave.h"
#include "strip/StripRandom.h"
#include "strip/WaveRender.h"

namespace {

std::int16_t PeakAt(double dbfs)
{
    return std::int16_t(std::lround(32767.0 * std::pow(10.0, dbfs / 20.0)));
}

}  // namespace

TEST(LevelWave, PeakHeightsFromSilenceToFullScale)
{
    struct Case {
        int peak;
        int height;
    };
    const int tallest = 44;
    const Case cases[] = {
        {0, 0},                  // silence: no bar
        {-5, 0},                 // nothing below silence
        {PeakAt(-60), 0},        // below the range
        {PeakAt(-54), 0},        // the bottom of the range
        {PeakAt(-27), 22},       // half way in decibels
        {PeakAt(-30), 20},
        {PeakAt(-3), 42},
        {32767, 44},             // full scale: the tallest bar
        {40000, 44},             // beyond full scale stays at the top
    };
    for (const Case& c : cases)
        EXPECT_EQ(BarHeightOfPeak(c.peak, tallest), c.height) << c.peak;
    // Louder is never lower.
    for (int peak = 1; peak < 32767; peak += 7)
        ASSERT_LE(BarHeightOfPeak(peak, tallest), BarHeightOfPeak(peak + 7, tallest)) << peak;
}

TEST(LevelWave, LevelsReplaceThePseudoWaveFromTheLeft)
{
    ResetStripRandomForTesting();
    TWaveRender render(nullptr, 10, 152);
    render.SetWaveWidth(10);
    const std::vector<int32_t> pseudo = render.Wave();
    LevelWave wave(render);
    wave.Restart();
    int changes = 0;
    render.OnChange = [&changes] { ++changes; };

    wave.Append({0, 32767, PeakAt(-27)});
    std::vector<int32_t> expected = pseudo;
    expected[0] = 0;
    expected[1] = 44;
    expected[2] = 22;
    EXPECT_EQ(render.Wave(), expected);
    EXPECT_EQ(changes, 1) << "the view redraws";

    // More levels than columns: the strip's columns only.
    wave.Append(std::vector<std::int16_t>(12, 32767));
    EXPECT_EQ(wave.LevelCount(), 10u);
    EXPECT_EQ(render.Wave(), (std::vector<int32_t>{0, 44, 22, 44, 44, 44, 44, 44, 44, 44}));

    // Off: the pseudo-random wave; on: the levels again.
    wave.SetShown(false);
    EXPECT_EQ(render.Wave(), pseudo);
    wave.SetShown(true);
    EXPECT_EQ(render.Wave(), (std::vector<int32_t>{0, 44, 22, 44, 44, 44, 44, 44, 44, 44}));

    // Levels that arrive while it is off are kept, not shown.
    render.SetWaveWidth(4);
    const std::vector<int32_t> nextPseudo = render.Wave();
    wave.Restart();
    wave.SetShown(false);
    wave.Append({0, 0});
    EXPECT_EQ(render.Wave(), nextPseudo);
    wave.SetShown(true);
    EXPECT_EQ(render.Wave(), (std::vector<int32_t>{0, 0, nextPseudo[2], nextPseudo[3]}));
}

TEST(LevelWave, TallestBarIsTheLimitOfTheRandomWalk)
{
    // A walk never climbs past the limit by more than one step (at most 9).
    ResetStripRandomForTesting();
    TWaveRender render(nullptr, 18000, 152);
    render.SetWaveWidth(18000);
    EXPECT_EQ(render.TallestBar(), 44);
    const int32_t highest = *std::max_element(render.Wave().begin(), render.Wave().end());
    EXPECT_GT(highest, render.TallestBar());
    EXPECT_LE(highest, render.TallestBar() + 9);
}
