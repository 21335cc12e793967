#pragma once
// The four-byte header in front of every MPEG audio frame (MPEG 1, 2 and 2.5, Layers I to
// III): its fields, and what follows from them: bit rate, sample rate, samples per frame,
// the frame's length in bytes and the size of the Layer III side information.
//
// A header is a value: the 32-bit word with the first file byte in bits 31..24. Nothing is
// checked on construction; each field reads its bits, and the derived values give 0 where a
// reserved or forbidden code leaves them unknown. isValid() says whether a frame can start
// with the header.
#include <cstdint>

namespace media {

// The version field's codes.
enum class MpegVersion : std::uint8_t { Mpeg25 = 0, Reserved = 1, Mpeg2 = 2, Mpeg1 = 3 };

// The channel mode field's codes.
enum class MpegChannelMode : std::uint8_t { Stereo = 0, JointStereo = 1, DualChannel = 2, SingleChannel = 3 };

class MpegHeader {
public:
    static constexpr int kBytes = 4;

    constexpr explicit MpegHeader(std::uint32_t word) : word_(word) {}
    // The header in the kBytes bytes at p.
    static MpegHeader fromBytes(const std::uint8_t* p);

    std::uint32_t word() const { return word_; }

    // The eleven frame-sync bits are all set.
    bool hasSync() const;
    MpegVersion version() const;
    bool isMpeg1() const { return version() == MpegVersion::Mpeg1; }
    // 1, 2 or 3; 0 for the reserved code.
    int layer() const;
    // The protection bit as stored: set when no CRC follows the header.
    bool protectionBit() const;
    unsigned bitRateIndex() const;
    unsigned sampleRateIndex() const;
    bool padding() const;
    MpegChannelMode channelMode() const;
    bool isMono() const { return channelMode() == MpegChannelMode::SingleChannel; }
    unsigned modeExtension() const;
    bool copyright() const;
    bool original() const;
    unsigned emphasis() const;

    // In kbit/s; 0 for the free format, the forbidden index, and a reserved version or layer.
    int bitRateKbps() const;
    // In Hz; 0 for the reserved index or version.
    int sampleRateHz() const;
    // Samples per channel in the frame: 384 (Layer I), 1152 (Layer II, MPEG 1 Layer III),
    // 576 (MPEG 2 and 2.5 Layer III); 0 for the reserved layer.
    int samplesPerFrame() const;
    // The padding slot: 4 bytes in Layer I, 1 byte otherwise; 0 without padding.
    int paddingBytes() const;
    // The whole frame, header included: samples × bit rate / 8 / sample rate, rounded down
    // (to whole 4-byte slots in Layer I), plus the padding slot. Without a bit rate (free
    // format, forbidden index) only the padding slot; 0 without a sample rate.
    int frameBytes() const;
    // The Layer III side information that follows the header (and its CRC): it depends
    // on the version and on one channel against two.
    int sideInfoBytes() const;

    // Sync, a known version and layer, a bit-rate index other than free format and the
    // forbidden one, and a known sample rate: a frame of frameBytes() starts here.
    bool isValid() const;

private:
    std::uint32_t word_;
};

}  // namespace media
