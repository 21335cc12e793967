#include "encoder/TimeText.h"

#include <array>

namespace av {

namespace {

// Fields longer than this are refused: nine digits of hours are already far beyond any
// audio file, and the limit keeps the arithmetic well inside 64 bits.
constexpr std::size_t kMaxFieldDigits = 9;

// Reads one field from text[pos] up to the next ':' or the end; advances pos past it.
std::optional<std::int64_t> ReadField(const std::string& text, std::size_t& pos)
{
    bool negative = false;
    if (pos < text.size() && text[pos] == '-') {
        negative = true;
        ++pos;
    }
    std::int64_t value = 0;
    std::size_t digits = 0;
    while (pos < text.size() && text[pos] != ':') {
        char c = text[pos];
        if (c < '0' || c > '9' || digits == kMaxFieldDigits)
            return std::nullopt;
        value = value * 10 + (c - '0');
        ++digits;
        ++pos;
    }
    if (digits == 0)
        return std::nullopt;
    return negative ? -value : value;
}

}  // namespace

std::optional<std::int64_t> ParseTimeText(const std::string& text)
{
    std::array<std::int64_t, 3> fields{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != ':')
                return std::nullopt;
            ++pos;
        }
        auto field = ReadField(text, pos);
        if (!field)
            return std::nullopt;
        fields[i] = *field;
    }
    if (pos != text.size())
        return std::nullopt;
    return fields[0] * 3600 + fields[1] * 60 + fields[2];
}

}  // namespace av
