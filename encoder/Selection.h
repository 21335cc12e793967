#pragma once
// The part of the source to encode, in samples of the source's own rate.
#include <cstdint>
#include <limits>
#include <optional>

namespace av {

struct Selection {
    static constexpr std::int64_t kToTheEnd = std::numeric_limits<std::int64_t>::max();
    // No file holds this many samples (at the highest rate a file can claim, 2^31 - 1 Hz,
    // it would last 68 years). A later start is taken as this one, and a later end as
    // the end of the source, so that moving a selection by a lead or a pre-roll stays
    // far inside 64 bits.
    static constexpr std::int64_t kBeyondAnyFile = std::int64_t(1) << 62;
    std::int64_t begin = 0;       // first sample taken
    std::int64_t end = kToTheEnd; // first sample not taken
};

// Turns start and length in seconds into samples of a rate > 0. A negative start is
// taken as 0 with the same end (start + length); no length means up to the end of the
// source, and so does an end beyond any file. Throws ToolError("The selection is
// empty") when nothing would remain.
Selection SelectionFor(std::int64_t startSeconds, std::optional<std::int64_t> lengthSeconds,
                       int sampleRate);

// The selection moved later by samples (0 <= samples <= kBeyondAnyFile); an end at the
// end of the source stays there.
Selection MovedLater(const Selection& selection, std::int64_t samples);

// Which samples of a block [blockBegin, blockBegin + count) lie inside the selection,
// as offsets into the block: [first, last). first == last when none do.
struct BlockPart {
    std::int64_t first = 0;
    std::int64_t last = 0;
};
BlockPart PartInSelection(const Selection& selection, std::int64_t blockBegin, std::int64_t count);

}  // namespace av
