#include "strip/RulerNumbers.h"

#include <QFontMetrics>
#include <QString>
#include <algorithm>

namespace {

// At least one empty column between a number and the next one.
constexpr int32_t kGap = 1;

}  // namespace

RulerNumbers::RulerNumbers(const QFont& font) : font_(font)
{
    const QFontMetrics metrics(font_);
    for (char digit = '0'; digit <= '9'; ++digit)
        digitWidth_ = std::max(digitWidth_, int32_t(metrics.horizontalAdvance(QChar(digit))));
    // Powers of two, so that where the digit count grows the numbers still shown with
    // fewer digits fall on the same ticks as those shown with more.
    for (int digits = 1; digits <= kMaxDigits; ++digits) {
        int32_t step = 1;
        while (Width(digits) + kGap > step * kColumnsPerLabel)
            step *= 2;
        steps_[std::size_t(digits)] = step;
    }
}

int32_t RulerNumbers::Width(int digits) const
{
    return digitWidth_ * std::clamp(digits, 1, kMaxDigits);
}

int32_t RulerNumbers::Step(int digits) const
{
    return steps_[std::size_t(std::clamp(digits, 1, kMaxDigits))];
}

bool RulerNumbers::Shows(int64_t labelIndex, int digits) const
{
    return labelIndex % Step(digits) == 0;
}
