#include "encoder/Selection.h"

#include "encoder/ToolError.h"

#include <algorithm>
#include <limits>

namespace av {

namespace {

// seconds * sampleRate, or kBeyondAnyFile when the product reaches it (seconds >= 0).
std::int64_t SamplesAt(std::int64_t seconds, int sampleRate)
{
    std::int64_t samples = 0;
    if (__builtin_mul_overflow(seconds, std::int64_t(sampleRate), &samples) || samples > Selection::kBeyondAnyFile)
        return Selection::kBeyondAnyFile;
    return samples;
}

}  // namespace

Selection SelectionFor(std::int64_t startSeconds, std::optional<std::int64_t> lengthSeconds,
                       int sampleRate)
{
    // Decided in seconds, where nothing can overflow: the products below may be cut
    // short at the far end, which must not turn a real selection into an empty one.
    Selection selection;
    const std::int64_t beginSeconds = std::max<std::int64_t>(startSeconds, 0);
    selection.begin = SamplesAt(beginSeconds, sampleRate);
    if (lengthSeconds) {
        std::int64_t endSeconds = 0;
        if (*lengthSeconds <= 0)
            throw ToolError("The selection is empty");
        if (__builtin_add_overflow(startSeconds, *lengthSeconds, &endSeconds))
            endSeconds = std::numeric_limits<std::int64_t>::max();
        if (endSeconds <= beginSeconds)
            throw ToolError("The selection is empty");
        const std::int64_t end = SamplesAt(endSeconds, sampleRate);
        selection.end = end >= Selection::kBeyondAnyFile ? Selection::kToTheEnd : end;
    }
    return selection;
}

Selection MovedLater(const Selection& selection, std::int64_t samples)
{
    Selection moved = selection;
    moved.begin += samples;
    if (moved.end != Selection::kToTheEnd)
        moved.end += samples;
    return moved;
}

BlockPart PartInSelection(const Selection& selection, std::int64_t blockBegin, std::int64_t count)
{
    const std::int64_t blockEnd = blockBegin + count;
    const std::int64_t from = std::max(selection.begin, blockBegin);
    const std::int64_t to = std::min(selection.end, blockEnd);
    if (from >= to)
        return {};
    return {from - blockBegin, to - blockBegin};
}

}  // namespace av
