#include "Selection.h"

#include "ToolError.h"

#include <algorithm>

namespace av {

Selection SelectionFor(std::int64_t startSeconds, std::optional<std::int64_t> lengthSeconds,
                       int sampleRate)
{
    // Time texts are limited to nine digits a field, so these products stay far inside
    // 64 bits even at the highest sample rate the command line accepts.
    Selection selection;
    selection.begin = std::max<std::int64_t>(startSeconds, 0) * sampleRate;
    if (lengthSeconds) {
        selection.end = (startSeconds + *lengthSeconds) * sampleRate;
        if (*lengthSeconds <= 0 || selection.end <= selection.begin)
            throw ToolError("The selection is empty");
    }
    return selection;
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
