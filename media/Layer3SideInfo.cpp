#include "media/Layer3SideInfo.h"

#include <algorithm>
#include <cmath>

#include "media/MpegHeader.h"

namespace media {

namespace {

constexpr int kCrcBytes = 2;

// Reads fields of the side information, most significant bit first.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t bytes) : data_(data), bits_(bytes * 8) {}
    unsigned Read(int count)
    {
        unsigned value = 0;
        for (int i = 0; i < count; ++i, ++position_) {
            const unsigned bit = position_ < bits_ ? (data_[position_ / 8] >> (7 - position_ % 8)) & 1u : 0u;
            value = value << 1 | bit;
        }
        return value;
    }
    void Skip(int count) { position_ += std::size_t(count); }

private:
    const std::uint8_t* data_;
    std::size_t bits_;
    std::size_t position_ = 0;
};

// The largest value each of the 32 Huffman tables can code: tables 16 to 31 add linbits
// to 15.
int TableMaximum(unsigned table)
{
    static constexpr int kSmall[16] = {0, 1, 2, 2, 0, 3, 3, 5, 5, 5, 7, 7, 7, 15, 0, 15};
    static constexpr int kLinbits[16] = {1, 2, 3, 4, 6, 8, 10, 13, 4, 5, 6, 7, 8, 9, 11, 13};
    if (table < 16)
        return kSmall[table];
    return 15 + (1 << kLinbits[table - 16]) - 1;
}

}  // namespace

std::optional<Layer3SideInfo> Layer3SideInfo::Read(const std::uint8_t* frame, std::size_t bytes)
{
    if (bytes < std::size_t(MpegHeader::kBytes))
        return std::nullopt;
    const MpegHeader header = MpegHeader::fromBytes(frame);
    if (!header.isValid() || header.layer() != 3)
        return std::nullopt;
    const std::size_t sideStart = MpegHeader::kBytes + (header.protectionBit() ? 0 : kCrcBytes);
    const std::size_t sideBytes = std::size_t(header.sideInfoBytes());
    if (bytes < sideStart + sideBytes)
        return std::nullopt;

    const bool mpeg1 = header.isMpeg1();
    const int channels = header.isMono() ? 1 : 2;
    const int granules = mpeg1 ? 2 : 1;
    BitReader bits(frame + sideStart, sideBytes);
    Layer3SideInfo info;
    info.mainDataBegin = int(bits.Read(mpeg1 ? 9 : 8));
    info.dataBytes = int(bytes - sideStart - sideBytes);
    bits.Skip(mpeg1 ? (channels == 1 ? 5 : 3) : (channels == 1 ? 1 : 2));  // private bits
    if (mpeg1)
        bits.Skip(4 * channels);  // scale factor selection
    info.granules = granules;
    for (int granule = 0; granule < granules; ++granule) {
        for (int channel = 0; channel < channels; ++channel) {
            const unsigned part23Length = bits.Read(12);
            const unsigned bigValues = bits.Read(9);
            const int globalGain = int(bits.Read(8));
            bits.Skip(mpeg1 ? 4 : 9);  // scale factor compression
            int largest = 1;           // the count1 region codes values up to 1
            if (bits.Read(1) != 0) {   // window switching: two tables
                bits.Skip(2 + 1);
                for (int region = 0; region < 2; ++region)
                    largest = std::max(largest, TableMaximum(bits.Read(5)));
                bits.Skip(3 * 3);
            } else {
                for (int region = 0; region < 3; ++region)
                    largest = std::max(largest, TableMaximum(bits.Read(5)));
                bits.Skip(4 + 3);
            }
            bits.Skip(mpeg1 ? 3 : 2);  // pre-emphasis, scale factor scale, count1 table
            if (part23Length == 0)
                continue;
            if (bigValues == 0)
                largest = 1;
            // A value q is heard as q^(4/3) times the step 2^(gain/4): in quarter steps,
            // gain + 16/3 log2(q).
            const int loudness = globalGain + int(std::lround(16.0 / 3.0 * std::log2(double(largest))));
            info.loudness = info.silent ? loudness : std::max(info.loudness, loudness);
            info.silent = false;
        }
    }
    return info;
}

}  // namespace media
