#include "media/MpegHeader.h"

namespace media {

namespace {

// ---- Field layout: bit 31 is the top bit of the first byte ----------------------------
constexpr std::uint32_t kSyncMask = 0xFFE00000u;  // bits 31..21
constexpr int kVersionShift = 19;                  // bits 20..19
constexpr int kLayerShift = 17;                    // bits 18..17
constexpr int kProtectionBit = 16;
constexpr int kBitRateShift = 12;                  // bits 15..12
constexpr int kSampleRateShift = 10;               // bits 11..10
constexpr int kPaddingBit = 9;
constexpr int kChannelModeShift = 6;               // bits 7..6
constexpr int kModeExtensionShift = 4;             // bits 5..4
constexpr int kCopyrightBit = 3;
constexpr int kOriginalBit = 2;
constexpr int kEmphasisShift = 0;                  // bits 1..0
constexpr std::uint32_t kTwoBits = 3u;
constexpr std::uint32_t kFourBits = 15u;

constexpr int kLayerCodes = 4;             // layer = 4 - code; code 0 is reserved
constexpr unsigned kForbiddenBitRate = 15;
constexpr unsigned kFreeFormat = 0;
constexpr unsigned kReservedSampleRate = 3;

// Bit rates in kbit/s by [isMpeg1][layer - 1][bit-rate index]; index 0 is the free format.
// The first block serves MPEG 2 and 2.5 (the lower sampling frequencies), the second MPEG 1.
constexpr std::int16_t kBitRates[2][3][kForbiddenBitRate] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}}};

// MPEG 1 sample rates by index; MPEG 2 halves them and MPEG 2.5 quarters them.
constexpr std::int32_t kMpeg1SampleRates[kReservedSampleRate] = {44100, 48000, 32000};

constexpr int kLayer1Samples = 384;
constexpr int kSamples = 1152;             // Layer II, and Layer III of MPEG 1
constexpr int kLowRateLayer3Samples = 576; // Layer III of MPEG 2 and 2.5: one granule

constexpr int kLayer1SlotBytes = 4;
constexpr int kBitsPerByte = 8;
constexpr int kBitsPerKbit = 1000;

// Layer III side information in bytes by [isMpeg1][isMono].
constexpr int kSideInfoBytes[2][2] = {{17, 9}, {32, 17}};

unsigned Field(std::uint32_t word, int shift, std::uint32_t mask) { return (word >> shift) & mask; }
bool Flag(std::uint32_t word, int bit) { return (word >> bit) & 1u; }

}  // namespace

MpegHeader MpegHeader::fromBytes(const std::uint8_t* p)
{
    return MpegHeader(std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]);
}

bool MpegHeader::hasSync() const { return (word_ & kSyncMask) == kSyncMask; }

MpegVersion MpegHeader::version() const { return MpegVersion(Field(word_, kVersionShift, kTwoBits)); }

int MpegHeader::layer() const
{
    const int code = int(Field(word_, kLayerShift, kTwoBits));
    return code == 0 ? 0 : kLayerCodes - code;
}

bool MpegHeader::protectionBit() const { return Flag(word_, kProtectionBit); }
unsigned MpegHeader::bitRateIndex() const { return Field(word_, kBitRateShift, kFourBits); }
unsigned MpegHeader::sampleRateIndex() const { return Field(word_, kSampleRateShift, kTwoBits); }
bool MpegHeader::padding() const { return Flag(word_, kPaddingBit); }

MpegChannelMode MpegHeader::channelMode() const
{
    return MpegChannelMode(Field(word_, kChannelModeShift, kTwoBits));
}

unsigned MpegHeader::modeExtension() const { return Field(word_, kModeExtensionShift, kTwoBits); }
bool MpegHeader::copyright() const { return Flag(word_, kCopyrightBit); }
bool MpegHeader::original() const { return Flag(word_, kOriginalBit); }
unsigned MpegHeader::emphasis() const { return Field(word_, kEmphasisShift, kTwoBits); }

int MpegHeader::bitRateKbps() const
{
    const unsigned index = bitRateIndex();
    if (version() == MpegVersion::Reserved || layer() == 0 || index == kForbiddenBitRate)
        return 0;
    return kBitRates[isMpeg1()][layer() - 1][index];
}

int MpegHeader::sampleRateHz() const
{
    const unsigned index = sampleRateIndex();
    if (version() == MpegVersion::Reserved || index == kReservedSampleRate)
        return 0;
    const int halvings = version() == MpegVersion::Mpeg1 ? 0 : version() == MpegVersion::Mpeg2 ? 1 : 2;
    return kMpeg1SampleRates[index] >> halvings;
}

int MpegHeader::samplesPerFrame() const
{
    switch (layer()) {
    case 1:
        return kLayer1Samples;
    case 3:
        return isMpeg1() ? kSamples : kLowRateLayer3Samples;
    case 2:
        return kSamples;
    default:
        return 0;
    }
}

int MpegHeader::paddingBytes() const
{
    if (!padding())
        return 0;
    return layer() == 1 ? kLayer1SlotBytes : 1;
}

int MpegHeader::frameBytes() const
{
    const int sampleRate = sampleRateHz();
    if (sampleRate == 0)
        return 0;
    const int slotBytes = layer() == 1 ? kLayer1SlotBytes : 1;
    const int slots = samplesPerFrame() / kBitsPerByte * bitRateKbps() * kBitsPerKbit / sampleRate / slotBytes;
    return slots * slotBytes + paddingBytes();
}

int MpegHeader::sideInfoBytes() const { return kSideInfoBytes[isMpeg1()][isMono()]; }

bool MpegHeader::isValid() const
{
    return hasSync() && version() != MpegVersion::Reserved && layer() != 0 &&
           bitRateIndex() != kFreeFormat && bitRateIndex() != kForbiddenBitRate &&
           sampleRateIndex() != kReservedSampleRate;
}

}  // namespace media
