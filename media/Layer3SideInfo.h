#pragma once
// What the side information of an MPEG audio Layer III frame tells about the frame without
// decoding it: where its main data starts (the bit reservoir), how many bytes of main data
// the frame itself carries, and a loudness estimate for comparing frames. The estimate is
// the largest, over granules and channels, of the global gain (a quantiser step of
// 2^(1/4), 1.5 dB) plus the step size that the largest quantised value its Huffman tables
// allow would add; a granule without spectral data is silent.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace media {

struct Layer3SideInfo {
    // Bytes of main data that lie in earlier frames.
    int mainDataBegin = 0;
    // Bytes of main data after this frame's side information.
    int dataBytes = 0;
    // Granules of 576 samples: 2 in MPEG 1, 1 in MPEG 2 and 2.5.
    int granules = 0;
    // No granule of any channel holds spectral data.
    bool silent = true;
    // Larger is louder, in quarter steps of the quantiser (1.5 dB each); meaningful only
    // between frames that are not silent.
    int loudness = 0;

    // Reads a frame that starts with its header; nothing when it is no Layer III frame or
    // is cut short.
    static std::optional<Layer3SideInfo> Read(const std::uint8_t* frame, std::size_t bytes);
};

}  // namespace media
