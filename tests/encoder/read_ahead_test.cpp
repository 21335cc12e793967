// Reading beside encoding: every sample arrives once and in order, and a failure on
// either side reaches the caller without leaving a thread waiting.
#include "encoder/ReadAhead.h"
#include "encoder/ToolError.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

// Produces `frames` frames counting up (the second channel counting down), in blocks of
// the given sizes in turn.
std::int64_t CountUp(const av::SampleSink& sink, int frames, const std::vector<int>& blockSizes, int channels = 2)
{
    int sent = 0;
    for (std::size_t i = 0; sent < frames; ++i) {
        const int count = std::min(blockSizes[i % blockSizes.size()], frames - sent);
        std::vector<float> block;
        for (int f = 0; f < count; ++f) {
            block.push_back(float(sent + f));
            if (channels == 2)
                block.push_back(-float(sent + f));
        }
        sink(block.data(), count);
        sent += count;
    }
    return sent;
}

TEST(ReadAheadTest, EverySampleArrivesOnceAndInOrder)
{
    for (const std::vector<int>& sizes : {std::vector<int>{1}, {0, 7, 4096, 1}, {100000}, {4095, 4097}}) {
        std::vector<float> received;
        const std::int64_t produced = av::ReadAhead(
            2, [&](const av::SampleSink& sink) { return CountUp(sink, 50000, sizes); },
            [&](const float* samples, int frames) { received.insert(received.end(), samples, samples + 2 * frames); });
        ASSERT_EQ(produced, 50000);
        ASSERT_EQ(received.size(), 100000u);
        for (int f = 0; f < 50000; ++f) {
            ASSERT_EQ(received[std::size_t(2 * f)], float(f));
            ASSERT_EQ(received[std::size_t(2 * f + 1)], -float(f));
        }
    }
}

TEST(ReadAheadTest, AReadingFailureComesAfterWhatWasReadBeforeIt)
{
    std::int64_t consumed = 0;
    try {
        av::ReadAhead(
            2,
            [&](const av::SampleSink& sink) -> std::int64_t {
                CountUp(sink, 10000, {1000});
                throw av::ToolError("Cannot read the source file");
            },
            [&](const float*, int frames) { consumed += frames; });
        FAIL() << "no failure";
    } catch (const av::ToolError& error) {
        EXPECT_STREQ(error.what(), "Cannot read the source file");
    }
    EXPECT_EQ(consumed, 10000);
}

TEST(ReadAheadTest, AnEncodingFailureStopsTheReading)
{
    bool readingEnded = false;
    std::int64_t offered = 0;
    EXPECT_THROW(av::ReadAhead(
                     1,
                     [&](const av::SampleSink& sink) {
                         // Far more than the hand-over holds: the reader must be stopped.
                         const std::int64_t n = CountUp(
                             [&](const float* s, int f) {
                                 offered += f;
                                 sink(s, f);
                             },
                             100000000, {4096}, 1);
                         readingEnded = true;
                         return n;
                     },
                     [&](const float*, int) { throw std::runtime_error("The disk is full."); }),
                 std::runtime_error);
    EXPECT_FALSE(readingEnded);
    EXPECT_LT(offered, 100000);
}

}  // namespace
