// The hook of synthesised songs whose structure is known: the first suggestion begins at
// a chorus on every song of the table (tempos, keys, timbres, with and without drums, a
// song that starts with its chorus, silence around the music), further suggestions are
// other places, and a song without repetition gets its loudest part.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "audio/HookFinder.h"
#include "support/SongSynth.h"

using songs::Section;
using songs::SongPlan;

namespace {

constexpr int kRate = HookFinder::kSampleRate;

double DistanceToNearest(double t, const std::vector<double>& starts)
{
    double best = 1e9;
    for (double s : starts)
        best = std::min(best, std::fabs(t - s));
    return best;
}

std::vector<SongPlan> ChorusSongs()
{
    const auto pop = songs::PopStructure();
    const std::vector<Section> chorusFirst = {Section::Chorus, Section::Verse,  Section::Chorus,
                                              Section::Verse,  Section::Bridge, Section::Chorus, Section::Outro};
    return {
        {"slow_ballad_c", 70, 0, 0, false, pop, 0, 0, 0},
        {"mid_d_drums", 92, 2, 1, true, pop, 0, 0, 0},
        {"f_bright_drums", 110, 5, 3, true, pop, 0, 0, 0},
        {"a_dance", 128, 9, 2, true, pop, 0, 0, 0},
        {"e_no_drums", 140, 4, 1, false, pop, 0, 0, 0},
        {"fast_g", 160, 7, 2, true, pop, 0, 0, 0},
        {"chorus_first_bb", 100, 10, 1, true, chorusFirst, 0, 0, 0},
        {"silence_around_eb", 120, 3, 0, true, pop, 0, 4, 6},
    };
}

class HookOfSong : public ::testing::TestWithParam<SongPlan> {};

}  // namespace

TEST_P(HookOfSong, FirstSuggestionBeginsAtAChorus)
{
    const songs::Song song = songs::Synthesise(GetParam(), kRate);
    const HookFinder finder(song.samples, kRate);
    const auto suggestions = finder.Suggestions(30);
    ASSERT_FALSE(suggestions.empty());
    const auto& first = suggestions.front();
    const std::vector<double> choruses = song.StartsOf(Section::Chorus);
    EXPECT_LE(DistanceToNearest(first.begin, choruses), 1.0) << "begins at " << first.begin;
    EXPECT_EQ(first.reason, HookFinder::Reason::Chorus);
    EXPECT_EQ(first.heard, 3);
    EXPECT_NEAR(first.end - first.begin, 30.0, 0.01);
    // Not the song's opening when the chorus comes back later.
    EXPECT_GE(first.begin, 0.1 * song.Duration());
    // Never silence: the music's own span.
    EXPECT_GE(first.begin, song.starts.front() - 0.05);
    EXPECT_LE(first.end, song.ends.back() + 0.05);
    // Cycling offers other places.
    ASSERT_GE(suggestions.size(), 2u);
    for (std::size_t i = 1; i < suggestions.size(); ++i)
        EXPECT_GT(std::fabs(suggestions[i].begin - first.begin), 1.0);
}

INSTANTIATE_TEST_SUITE_P(Songs, HookOfSong, ::testing::ValuesIn(ChorusSongs()),
                         [](const auto& info) { return info.param.name; });

TEST(HookFinder, SongWithoutRepetitionGetsItsLoudestPart)
{
    SongPlan plan{"unique", 120, 2, 1, true, {}, 0, 0, 0};
    plan.sections = {Section::Unique, Section::Unique, Section::Unique, Section::LoudUnique,
                     Section::Unique, Section::Unique, Section::Unique};
    plan.bars = 17;   // 34 s a section at 120 BPM: a 30 s window fits the loud one
    const songs::Song song = songs::Synthesise(plan, kRate);
    const HookFinder finder(song.samples, kRate);
    const auto suggestions = finder.Suggestions(30);
    ASSERT_FALSE(suggestions.empty());
    const auto& first = suggestions.front();
    EXPECT_EQ(first.reason, HookFinder::Reason::Loudest);
    EXPECT_GE(first.begin, song.starts[3] - 1.0);
    EXPECT_LE(first.end, song.ends[3] + 1.0);
}

TEST(HookFinder, LengthFollowsTheRequestAndShortSongsGetAllTheirSound)
{
    const songs::Song song = songs::Synthesise(ChorusSongs()[3], kRate);
    const HookFinder finder(song.samples, kRate);
    for (double length : {20.0, 40.0}) {
        const auto s = finder.Suggestions(length);
        ASSERT_FALSE(s.empty());
        EXPECT_NEAR(s.front().end - s.front().begin, length, 0.01);
    }
    // Twelve seconds of music between two seconds of silence on each side.
    std::vector<float> shortSong(std::size_t(16 * kRate), 0.0f);
    for (std::size_t i = 2 * kRate; i < std::size_t(14 * kRate); ++i)
        shortSong[i] = 0.5f * float(std::sin(2 * 3.14159265 * 440 * double(i) / kRate));
    const auto whole = HookFinder(shortSong, kRate).Suggestions(30);
    ASSERT_EQ(whole.size(), 1u);
    EXPECT_NEAR(whole.front().begin, 2.0, 0.02);
    EXPECT_NEAR(whole.front().end, 14.0, 0.02);
}

TEST(HookFinder, SilenceAndNothingGiveNoSuggestion)
{
    EXPECT_TRUE(HookFinder({}, kRate).Suggestions(30).empty());
    EXPECT_TRUE(HookFinder(std::vector<float>(std::size_t(60 * kRate), 0.0f), kRate).Suggestions(30).empty());
}

TEST(HookFinder, CancelledAnalysisFindsNothing)
{
    const songs::Song song = songs::Synthesise(ChorusSongs()[1], kRate);
    std::atomic<bool> cancel{true};
    EXPECT_TRUE(HookFinder(song.samples, kRate, &cancel).Suggestions(30).empty());
}

TEST(HookFinder, SteadyToneHasNoChorus)
{
    // A minute of one tone: every block is like every other, which is no repetition of a
    // part; rounding noise in its features must not make one.
    std::vector<float> tone(std::size_t(60 * kRate));
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5f * float(std::sin(2 * 3.14159265 * 440 * double(i) / kRate));
    const auto suggestions = HookFinder(tone, kRate).Suggestions(30);
    ASSERT_FALSE(suggestions.empty());
    EXPECT_EQ(suggestions.front().reason, HookFinder::Reason::Loudest);
}
