#pragma once
// Channel layouts as a resampler is given them. A source that names no channels (a WAV
// file tells only how many it has) gets the usual layout for its count, and a block in
// such a layout is the same as the resampler's as long as its count is.
extern "C" {
#include <libavutil/channel_layout.h>
}

namespace media {

// The layout itself, or the usual one for its channel count when it names no channels
// (or is not valid). The caller uninits the result.
AVChannelLayout NamedLayout(const AVChannelLayout& layout);

// Whether a block in layout block can go to a resampler made for named (a NamedLayout).
bool SameNamedLayout(const AVChannelLayout& block, const AVChannelLayout& named);

}  // namespace media
