// media::MpegHeader: the fields of the four header bytes and what follows from them, on
// header words written here and on real files made by ffmpeg and lame, against ffprobe.
#include "media/MpegHeader.h"
#include "support/Fixtures.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

using fixtures::RunTool;
using fixtures::ScratchDir;
using media::MpegChannelMode;
using media::MpegHeader;
using media::MpegVersion;

namespace {

// The header's fields as codes, each put at its place in the word.
struct Codes {
    unsigned version = 3;  // 3 MPEG 1, 2 MPEG 2, 0 MPEG 2.5, 1 reserved
    unsigned layer = 1;    // 3 Layer I, 2 Layer II, 1 Layer III, 0 reserved
    unsigned protection = 1;
    unsigned bitRate = 9;
    unsigned sampleRate = 0;
    unsigned padding = 0;
    unsigned privateBit = 0;
    unsigned mode = 0;
    unsigned modeExtension = 0;
    unsigned copyright = 0;
    unsigned original = 0;
    unsigned emphasis = 0;
};

std::uint32_t Word(const Codes& c)
{
    return 0xFFE00000u | c.version << 19 | c.layer << 17 | c.protection << 16 | c.bitRate << 12 |
           c.sampleRate << 10 | c.padding << 9 | c.privateBit << 8 | c.mode << 6 | c.modeExtension << 4 |
           c.copyright << 3 | c.original << 2 | c.emphasis;
}

TEST(MpegHeaderFields, EachFieldReadsItsOwnBits)
{
    // Every field set to each of its values, once with all other bits clear and once with
    // all other bits set: a field that reads a neighbour's bit shows up.
    struct Field { const char* name; unsigned Codes::*code; unsigned values; unsigned (*read)(const MpegHeader&); };
    const Field fields[] = {
        {"version", &Codes::version, 4, [](const MpegHeader& h) { return unsigned(h.version()); }},
        {"layer", &Codes::layer, 4, [](const MpegHeader& h) { return unsigned(h.layer() == 0 ? 0 : 4 - h.layer()); }},
        {"protection", &Codes::protection, 2, [](const MpegHeader& h) { return unsigned(h.protectionBit()); }},
        {"bit rate", &Codes::bitRate, 16, [](const MpegHeader& h) { return h.bitRateIndex(); }},
        {"sample rate", &Codes::sampleRate, 4, [](const MpegHeader& h) { return h.sampleRateIndex(); }},
        {"padding", &Codes::padding, 2, [](const MpegHeader& h) { return unsigned(h.padding()); }},
        {"mode", &Codes::mode, 4, [](const MpegHeader& h) { return unsigned(h.channelMode()); }},
        {"mode extension", &Codes::modeExtension, 4, [](const MpegHeader& h) { return h.modeExtension(); }},
        {"copyright", &Codes::copyright, 2, [](const MpegHeader& h) { return unsigned(h.copyright()); }},
        {"original", &Codes::original, 2, [](const MpegHeader& h) { return unsigned(h.original()); }},
        {"emphasis", &Codes::emphasis, 4, [](const MpegHeader& h) { return h.emphasis(); }},
    };
    for (const Field& field : fields) {
        for (unsigned value = 0; value < field.values; ++value) {
            SCOPED_TRACE(std::string(field.name) + " " + std::to_string(value));
            const unsigned mask = field.values - 1;
            Codes clear{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
            clear.*field.code = value;
            Codes set{3, 3, 1, 15, 3, 1, 1, 3, 3, 1, 1, 3};
            set.*field.code = value;
            EXPECT_EQ(field.read(MpegHeader(Word(clear))), value & mask);
            EXPECT_EQ(field.read(MpegHeader(Word(set))), value & mask);
        }
    }
}

TEST(MpegHeaderFields, SyncNeedsElevenBitsAndBytesAreReadBigEndian)
{
    EXPECT_TRUE(MpegHeader(0xFFE00000u).hasSync());
    EXPECT_FALSE(MpegHeader(0xFFC00000u).hasSync());
    EXPECT_FALSE(MpegHeader(0x7FE00000u).hasSync());
    const std::uint8_t bytes[4] = {0xFF, 0xFB, 0x92, 0x64};
    EXPECT_EQ(MpegHeader::fromBytes(bytes).word(), 0xFFFB9264u);
    EXPECT_TRUE(MpegHeader::fromBytes(bytes).padding());
    EXPECT_EQ(MpegHeader::fromBytes(bytes).channelMode(), MpegChannelMode::JointStereo);
}

TEST(MpegHeaderTables, BitRatesOfEveryVersionAndLayer)
{
    struct Row { unsigned version, layer; std::vector<int> kbps; };
    const Row rows[] = {
        {3, 3, {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0}},
        {3, 2, {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0}},
        {3, 1, {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
        {2, 3, {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
        {2, 2, {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
        {2, 1, {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
        {0, 3, {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0}},
        {0, 2, {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
        {0, 1, {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
        {1, 1, std::vector<int>(16, 0)},  // reserved version
        {3, 0, std::vector<int>(16, 0)},  // reserved layer
    };
    for (const Row& row : rows) {
        for (unsigned index = 0; index < 16; ++index) {
            SCOPED_TRACE("version code " + std::to_string(row.version) + ", layer code " +
                         std::to_string(row.layer) + ", index " + std::to_string(index));
            Codes codes;
            codes.version = row.version;
            codes.layer = row.layer;
            codes.bitRate = index;
            EXPECT_EQ(MpegHeader(Word(codes)).bitRateKbps(), row.kbps[index]);
        }
    }
}

TEST(MpegHeaderTables, SampleRatesAndSamplesPerFrame)
{
    struct Case { unsigned version; std::vector<int> hz; int layer1, layer2, layer3; };
    const Case cases[] = {
        {3, {44100, 48000, 32000, 0}, 384, 1152, 1152},
        {2, {22050, 24000, 16000, 0}, 384, 1152, 576},
        {0, {11025, 12000, 8000, 0}, 384, 1152, 576},
        {1, {0, 0, 0, 0}, 384, 1152, 576},  // reserved version: no sample rate
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("version code " + std::to_string(c.version));
        Codes codes;
        codes.version = c.version;
        for (unsigned index = 0; index < 4; ++index) {
            codes.sampleRate = index;
            EXPECT_EQ(MpegHeader(Word(codes)).sampleRateHz(), c.hz[index]) << index;
        }
        const int byLayerCode[4] = {0, c.layer3, c.layer2, c.layer1};
        for (unsigned layer = 0; layer < 4; ++layer) {
            codes.layer = layer;
            EXPECT_EQ(MpegHeader(Word(codes)).samplesPerFrame(), byLayerCode[layer]) << "layer code " << layer;
        }
    }
}

TEST(MpegHeaderSizes, FrameBytes)
{
    struct Case { const char* name; Codes codes; int bytes; };
    auto codes = [](unsigned version, unsigned layer, unsigned bitRate, unsigned sampleRate, unsigned padding) {
        Codes c;
        c.version = version;
        c.layer = layer;
        c.bitRate = bitRate;
        c.sampleRate = sampleRate;
        c.padding = padding;
        return c;
    };
    const Case cases[] = {
        {"MPEG 1 Layer III 128k 44100", codes(3, 1, 9, 0, 0), 417},
        {"MPEG 1 Layer III 128k 44100 padded", codes(3, 1, 9, 0, 1), 418},
        {"MPEG 1 Layer III 320k 32000", codes(3, 1, 14, 2, 0), 1440},
        {"MPEG 1 Layer II 384k 32000", codes(3, 2, 14, 2, 0), 1728},
        // Layer III of MPEG 2 and 2.5 holds 576 samples: 72000 × kbit/s / Hz.
        {"MPEG 2 Layer III 64k 22050", codes(2, 1, 8, 0, 0), 208},
        {"MPEG 2 Layer III 64k 22050 padded", codes(2, 1, 8, 0, 1), 209},
        {"MPEG 2 Layer III 32k 24000", codes(2, 1, 4, 1, 0), 96},
        {"MPEG 2 Layer III 160k 16000", codes(2, 1, 14, 2, 0), 720},
        {"MPEG 2.5 Layer III 16k 11025", codes(0, 1, 2, 0, 0), 104},
        {"MPEG 2.5 Layer III 8k 12000 padded", codes(0, 1, 1, 1, 1), 49},
        {"MPEG 2.5 Layer III 160k 8000", codes(0, 1, 14, 2, 0), 1440},
        // Layer II keeps 1152 samples in every version.
        {"MPEG 2 Layer II 64k 22050", codes(2, 2, 8, 0, 0), 417},
        {"MPEG 2.5 Layer II 8k 11025", codes(0, 2, 1, 0, 0), 104},
        // Layer I counts whole 4-byte slots, the padding slot included.
        {"MPEG 1 Layer I 384k 48000", codes(3, 3, 12, 1, 0), 384},
        {"MPEG 1 Layer I 32k 44100 padded", codes(3, 3, 1, 0, 1), 4 * (12000 * 32 / 44100) + 4},
        {"MPEG 2 Layer I 256k 24000 padded", codes(2, 3, 14, 1, 1), 516},
        // No bit rate: the padding slot alone; no sample rate: nothing.
        {"free format padded", codes(3, 1, 0, 0, 1), 1},
        {"forbidden bit rate, Layer I padded", codes(3, 3, 15, 0, 1), 4},
        {"reserved sample rate", codes(3, 1, 9, 3, 1), 0},
        {"reserved version", codes(1, 1, 9, 0, 1), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MpegHeader(Word(c.codes)).frameBytes(), c.bytes);
    }
}

TEST(MpegHeaderSizes, SideInformationByVersionAndChannels)
{
    struct Case { unsigned version, mode; int bytes; };
    const Case cases[] = {{3, 0, 32}, {3, 1, 32}, {3, 2, 32}, {3, 3, 17},
                          {2, 0, 17}, {2, 3, 9}, {0, 1, 17}, {0, 3, 9}};
    for (const Case& c : cases) {
        Codes codes;
        codes.version = c.version;
        codes.mode = c.mode;
        EXPECT_EQ(MpegHeader(Word(codes)).sideInfoBytes(), c.bytes) << c.version << "/" << c.mode;
    }
}

TEST(MpegHeaderValidity, OnlyAFrameThatCanBeMeasuredIsValid)
{
    Codes good;
    EXPECT_TRUE(MpegHeader(Word(good)).isValid());
    struct Case { const char* name; unsigned Codes::*code; unsigned value; };
    const Case refused[] = {
        {"reserved version", &Codes::version, 1}, {"reserved layer", &Codes::layer, 0},
        {"free format", &Codes::bitRate, 0},      {"forbidden bit rate", &Codes::bitRate, 15},
        {"reserved sample rate", &Codes::sampleRate, 3}};
    for (const Case& c : refused) {
        Codes codes;
        codes.*c.code = c.value;
        EXPECT_FALSE(MpegHeader(Word(codes)).isValid()) << c.name;
    }
    EXPECT_FALSE(MpegHeader(Word(good) & ~0x00200000u).isValid());  // one sync bit missing
    // Protection, padding, mode and the flags do not matter.
    EXPECT_TRUE(MpegHeader(Word(Codes{3, 1, 0, 9, 0, 1, 1, 3, 3, 1, 1, 3})).isValid());
}

// ---- Real files ------------------------------------------------------------------------------

// One number per line of an ffprobe csv answer; other lines (side data) are passed over.
std::vector<std::int64_t> Numbers(const std::string& text)
{
    std::vector<std::int64_t> numbers;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty() && line[0] >= '0' && line[0] <= '9')
            numbers.push_back(std::stoll(line));
    return numbers;
}

std::vector<std::int64_t> Probe(const std::string& path, const std::string& entries)
{
    return Numbers(RunTool({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries", entries,
                            "-of", "csv=p=0", path})
                       .standardOutput);
}

struct RealCase {
    const char* file;
    int sampleRate, channels;
    std::vector<std::string> encoder;  // ffmpeg's encoder arguments
    MpegVersion version;
};

class MpegHeaderRealFiles : public ::testing::TestWithParam<RealCase> {
protected:
    static void SetUpTestSuite() { dir = std::make_unique<ScratchDir>(); }
    static void TearDownTestSuite() { dir.reset(); }
    static std::unique_ptr<ScratchDir> dir;
};

std::unique_ptr<ScratchDir> MpegHeaderRealFiles::dir;

// Stepping from the first audio frame by frameBytes() lands on every packet ffprobe's
// demuxer finds, to the end of the file; each frame decodes to samplesPerFrame() samples
// (all but the first and the last, which lose the encoder's delay and padding).
TEST_P(MpegHeaderRealFiles, FrameWalkMeetsEveryPacketOfTheDemuxer)
{
    const RealCase& c = GetParam();
    const std::string path = dir->file(c.file);
    ASSERT_TRUE(fixtures::MakeTone(path, 3.3, c.sampleRate, c.channels, c.encoder));
    const std::string bytes = fixtures::ReadFile(path);
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const std::vector<std::int64_t> positions = Probe(path, "packet=pos");
    const std::vector<std::int64_t> samples = Probe(path, "frame=nb_samples");
    ASSERT_GT(positions.size(), 20u);
    ASSERT_GT(samples.size(), 2u);
    const std::int64_t fullFrame = samples[samples.size() / 2];
    for (std::size_t n = 1; n + 1 < samples.size(); ++n)
        ASSERT_EQ(samples[n], fullFrame) << "frame " << n;

    std::int64_t pos = positions[0];
    std::size_t packet = 0;
    while (pos + MpegHeader::kBytes <= std::int64_t(bytes.size())) {
        const MpegHeader header = MpegHeader::fromBytes(data + pos);
        ASSERT_TRUE(header.isValid()) << "no header at " << pos;
        ASSERT_LT(packet, positions.size());
        ASSERT_EQ(pos, positions[packet]) << "packet " << packet;
        EXPECT_EQ(header.version(), c.version);
        EXPECT_EQ(header.layer(), 3);
        EXPECT_EQ(header.sampleRateHz(), c.sampleRate);
        EXPECT_EQ(header.isMono(), c.channels == 1);
        EXPECT_EQ(header.samplesPerFrame(), fullFrame);
        pos += header.frameBytes();
        ++packet;
    }
    EXPECT_EQ(pos, std::int64_t(bytes.size()));
    EXPECT_EQ(packet, positions.size());
}

const RealCase kRealCases[] = {
    {"mpeg1_cbr_stereo.mp3", 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"}, MpegVersion::Mpeg1},
    {"mpeg2_cbr_stereo_22050.mp3", 22050, 2, {"-c:a", "libmp3lame", "-b:a", "32k"}, MpegVersion::Mpeg2},
    {"mpeg2_vbr_mono_24000.mp3", 24000, 1, {"-c:a", "libmp3lame", "-q:a", "5"}, MpegVersion::Mpeg2},
    {"mpeg2_vbr_stereo_16000.mp3", 16000, 2, {"-c:a", "libmp3lame", "-q:a", "5"}, MpegVersion::Mpeg2},
    {"mpeg25_vbr_stereo_11025.mp3", 11025, 2, {"-c:a", "libmp3lame", "-q:a", "5"}, MpegVersion::Mpeg25},
    {"mpeg25_cbr_mono_12000.mp3", 12000, 1, {"-c:a", "libmp3lame", "-b:a", "16k"}, MpegVersion::Mpeg25},
    {"mpeg25_cbr_stereo_8000.mp3", 8000, 2, {"-c:a", "libmp3lame", "-b:a", "24k"}, MpegVersion::Mpeg25},
};

INSTANTIATE_TEST_SUITE_P(Rates, MpegHeaderRealFiles, ::testing::ValuesIn(kRealCases),
                         [](const ::testing::TestParamInfo<RealCase>& info) {
                             std::string name = info.param.file;
                             return name.substr(0, name.find('.'));
                         });

}  // namespace
