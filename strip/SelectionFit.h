#pragma once
// Where the selection goes when a file of a given length (in strip columns) is opened:
// markers that lie within the file stay where they are; a selection that reaches past the
// file's end moves to the file's start, keeping its length where the file is long enough
// and taking the whole file where it is not. So an export never starts or ends beyond the
// end of the file it is cut from.
#include <algorithm>
#include <cstdint>
#include <optional>

struct MarkerColumns {
    int32_t begin = 0;
    int32_t end = 0;
    bool operator==(const MarkerColumns& other) const { return begin == other.begin && end == other.end; }
};

// The markers' new columns, or nothing when they fit the file as they are.
inline std::optional<MarkerColumns> SelectionMovedIntoFile(MarkerColumns markers, int32_t fileColumns)
{
    const int64_t left = std::min(markers.begin, markers.end);
    const int64_t right = std::max(markers.begin, markers.end);
    if (right <= fileColumns)
        return std::nullopt;
    const int64_t length = right - left;
    return MarkerColumns{0, int32_t(std::min<int64_t>(length, std::max(fileColumns, 0)))};
}
