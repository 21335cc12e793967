#pragma once
// Time texts as the export writes them: "HH:MM:SS".
#include <cstdint>
#include <optional>
#include <string>

namespace av {

// Reads "HH:MM:SS" into seconds (hours * 3600 + minutes * 60 + seconds). Each field is
// an optional minus sign followed by one or more decimal digits; fields may exceed two
// digits ("100:00:00") and may be negative ("00:00:-01"), so the value may be negative.
// Returns nothing for any other text, including a field too large to count in seconds.
std::optional<std::int64_t> ParseTimeText(const std::string& text);

}  // namespace av
