// The selection's arithmetic at the extremes: every rate a file can claim (any positive
// int) and every time the command line accepts.
#include "support/AvRun.h"
#include "encoder/Selection.h"
#include "encoder/TimeText.h"
#include "encoder/ToolError.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <optional>
#include <string>

namespace {

using av::Selection;

// The longest time the command line accepts: nine digits in every field.
const std::int64_t kLongest = *av::ParseTimeText("999999999:999999999:999999999");

struct LimitCase {
    const char* name;
    int rate;
    std::int64_t start;
    std::optional<std::int64_t> length;
    std::int64_t begin;   // expected
    std::int64_t end;
};

std::ostream& operator<<(std::ostream& out, const LimitCase& c) { return out << c.name; }

class SelectionLimitsTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(SelectionLimitsTest, StaysInsideTheSamplesAndNeverEmpty)
{
    const LimitCase& c = GetParam();
    Selection selection;
    ASSERT_NO_THROW(selection = av::SelectionFor(c.start, c.length, c.rate));
    EXPECT_EQ(selection.begin, c.begin);
    EXPECT_EQ(selection.end, c.end);
    EXPECT_LT(selection.begin, selection.end);
    // Moving it by the AMR encoder's lead at that rate stays inside 64 bits.
    const std::int64_t lead = std::int64_t(c.rate) * 5 / 1000;
    const Selection moved = av::MovedLater(selection, lead);
    EXPECT_EQ(moved.begin, selection.begin + lead);
    EXPECT_EQ(moved.end, selection.end == Selection::kToTheEnd ? Selection::kToTheEnd : selection.end + lead);
}

constexpr std::int64_t kEnd = Selection::kToTheEnd;
constexpr std::int64_t kFar = Selection::kBeyondAnyFile;

INSTANTIATE_TEST_SUITE_P(
    Extremes, SelectionLimitsTest,
    ::testing::Values(
        LimitCase{"Ordinary", 44100, 20, 10, 20 * 44100, 30 * 44100},
        LimitCase{"TwoGigahertzLongLength", 2000000000, 0, 1300000 * 3600LL, 0, kEnd},
        LimitCase{"TwoGigahertzLateStart", 2000000000, 1300000 * 3600LL, 1, kFar, kEnd},
        LimitCase{"TwoGigahertzOneSecond", 2000000000, 1, 1, 2000000000, 4000000000},
        LimitCase{"HighestRateLongest", INT_MAX, kLongest, kLongest, kFar, kEnd},
        LimitCase{"HighestRateToTheEnd", INT_MAX, kLongest, std::nullopt, kFar, kEnd},
        LimitCase{"HighestRateNegativeStart", INT_MAX, -kLongest, kLongest + 1, 0, INT_MAX},
        LimitCase{"LowestRateLongest", 1, kLongest, kLongest, kLongest, 2 * kLongest},
        LimitCase{"JustBelowTheFarEnd", 1 << 30, (kFar >> 30) - 1, 1, kFar - (1 << 30), kEnd},
        LimitCase{"EndsJustBeforeTheFarEnd", 1 << 30, (kFar >> 30) - 2, 1, kFar - 2 * (1LL << 30),
                  kFar - (1 << 30)},
        LimitCase{"CommonRateLongest", 48000, kLongest, kLongest, kLongest * 48000, 2 * kLongest * 48000}),
    [](const auto& info) { return std::string(info.param.name); });

struct EmptyCase {
    const char* name;
    int rate;
    std::int64_t start;
    std::int64_t length;
};

std::ostream& operator<<(std::ostream& out, const EmptyCase& c) { return out << c.name; }

class EmptySelectionTest : public ::testing::TestWithParam<EmptyCase> {};

TEST_P(EmptySelectionTest, IsRefused)
{
    const EmptyCase& c = GetParam();
    try {
        av::SelectionFor(c.start, c.length, c.rate);
        FAIL() << "accepted";
    } catch (const av::ToolError& error) {
        EXPECT_STREQ(error.what(), "The selection is empty");
    }
}

INSTANTIATE_TEST_SUITE_P(Extremes, EmptySelectionTest,
                         ::testing::Values(EmptyCase{"ZeroLength", INT_MAX, kLongest, 0},
                                           EmptyCase{"NegativeLength", INT_MAX, kLongest, -kLongest},
                                           EmptyCase{"EndsBeforeZero", INT_MAX, -kLongest, kLongest},
                                           EmptyCase{"LongestNegative", 1, -kLongest, -kLongest}),
                         [](const auto& info) { return std::string(info.param.name); });

// A WAV header that claims 2 GHz: a selection of 1 300 000 hours from the start runs
// past the end of the file and simply ends there.
TEST(SelectionLimits, ToolTakesAHugeClaimedRate)
{
    fixtures::ScratchDir dir;
    const std::string source = dir.file("fast.wav");
    constexpr std::uint32_t kSamples = 48000;
    std::string bytes = avrun::WavHeader(1, 16, 2000000000, 1, kSamples * 2);
    for (std::uint32_t i = 0; i < kSamples; ++i)
        avrun::AppendLittleEndian<std::int16_t>(bytes, std::int16_t((i % 100) * 100));
    fixtures::WriteFile(source, bytes);

    const std::string target = dir.file("ring.mp3");
    const fixtures::ToolResult r = avrun::RunAv(avrun::Mp3Line(source, "00:00:00", "1300000:00:00", target));
    ASSERT_EQ(r.exitCode, 0) << r.standardError;
    EXPECT_EQ(r.standardError, "");
    EXPECT_GT(fixtures::ReadFile(target).size(), 0u);

    // Started that late, the selection lies beyond the end of the file.
    const fixtures::ToolResult late = avrun::RunAv(avrun::Mp3Line(source, "1300000:00:00", "00:00:01", target));
    EXPECT_EQ(late.exitCode, 1);
    EXPECT_EQ(late.standardError, "The selection is empty: the start lies beyond the end of the source\n");
}

}  // namespace
