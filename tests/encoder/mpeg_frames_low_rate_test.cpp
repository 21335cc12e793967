// The tool's frame walk on MPEG 2 and 2.5 Layer III files, whose frames hold 576 samples:
// it must land where FFmpeg's demuxer puts each frame, and read the LAME tag of one and
// of two channels.
#include "encoder/MpegFrames.h"

#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct LowRateCase {
    const char* file;
    int sampleRate, channels;
    std::vector<std::string> encoder;
    int version;  // as MpegFrameHeader gives it
};

class MpegFramesLowRate : public ::testing::TestWithParam<LowRateCase> {};

TEST_P(MpegFramesLowRate, FindsFramesWhereTheDemuxerPutsThemAndReadsTheLameTag)
{
    const LowRateCase& c = GetParam();
    fixtures::ScratchDir dir;
    const std::string file = dir.file(c.file);
    ASSERT_TRUE(fixtures::MakeTone(file, 4, c.sampleRate, c.channels, c.encoder));
    const std::vector<std::int64_t> positions = fixtures::AudioPacketPositions(file);
    ASSERT_GT(positions.size(), 50u);

    const std::string bytes = fixtures::ReadFile(file);
    const auto header = av::ParseMpegFrameHeader(reinterpret_cast<const std::uint8_t*>(bytes.data()) + positions[0]);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->version, c.version);
    EXPECT_EQ(header->sampleRate, c.sampleRate);
    EXPECT_EQ(header->samples, 576);

    for (std::size_t n : {std::size_t(0), std::size_t(1), positions.size() / 2, positions.size() - 1}) {
        const av::MpegFrameSearch search = av::FindMpegFrame(file, positions[0], std::int64_t(n));
        EXPECT_EQ(search.result, av::MpegFrameSearch::Found) << n;
        EXPECT_EQ(search.position, positions[n]) << n;
    }
    EXPECT_EQ(av::FindMpegFrame(file, positions[0], std::int64_t(positions.size())).result,
              av::MpegFrameSearch::PastTheEnd);

    const auto tag = av::ReadLameTag(file, positions[0]);
    ASSERT_TRUE(tag);
    EXPECT_EQ(tag->frames, std::int64_t(positions.size()));
    EXPECT_GT(tag->encoderDelay, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, MpegFramesLowRate,
    ::testing::Values(LowRateCase{"mpeg2_vbr_stereo_22050.mp3", 22050, 2, {"-c:a", "libmp3lame", "-q:a", "5"}, 20},
                      LowRateCase{"mpeg2_cbr_mono_16000.mp3", 16000, 1, {"-c:a", "libmp3lame", "-b:a", "24k"}, 20},
                      LowRateCase{"mpeg25_vbr_mono_8000.mp3", 8000, 1, {"-c:a", "libmp3lame", "-q:a", "5"}, 25},
                      LowRateCase{"mpeg25_cbr_stereo_11025.mp3", 11025, 2, {"-c:a", "libmp3lame", "-b:a", "32k"}, 25}),
    [](const ::testing::TestParamInfo<LowRateCase>& info) {
        const std::string name = info.param.file;
        return name.substr(0, name.find('.'));
    });

}  // namespace
