#pragma once
// Which of the ruler's labelled ticks show their number. A number stands with its left
// edge on its tick, one every five seconds (25 columns). Where a number is too wide for
// that, as from 1000 seconds on in the usual font, only every second (or fourth, ...)
// labelled tick of that many digits shows its number, so that numbers never run into one
// another. The choice depends only on a number's digit count and the font, so that any
// stretch of the strip draws the same numbers as the whole strip.
#include <QFont>
#include <array>
#include <cstdint>

class RulerNumbers {
public:
    static constexpr int32_t kColumnsPerLabel = 25;   // a labelled tick every five seconds
    static constexpr int32_t kMaxDigits = 10;         // a column's second has at most this many

    explicit RulerNumbers(const QFont& font);

    const QFont& Font() const { return font_; }
    // Columns that a number of this many digits may take at most (1 to kMaxDigits).
    int32_t Width(int digits) const;
    // Columns that any number may take at most.
    int32_t WidestNumber() const { return Width(kMaxDigits); }
    // Labelled ticks between two numbers of this many digits: 1, 2, 4, ...
    int32_t Step(int digits) const;
    // Whether the labelled tick with this index (1 for 5 s, 2 for 10 s, ...) shows its
    // number, which has the given digit count.
    bool Shows(int64_t labelIndex, int digits) const;

private:
    QFont font_;
    int32_t digitWidth_ = 0;
    std::array<int32_t, kMaxDigits + 1> steps_{};
};
