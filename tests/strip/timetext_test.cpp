#include <gtest/gtest.h>

#include "strip/TimeText.h"

TEST(TimeText, FieldsPaddedWithSignBeforeDigits)
{
    const std::pair<int64_t, const char*> cases[] = {
        {0, "00:00:00"},        {20, "00:00:20"},         {10, "00:00:10"},     {3600, "01:00:00"},
        {3661, "01:01:01"},     {-1, "00:00:-01"},        {-59, "00:00:-59"},   {-61, "00:-01:-01"},
        {-3661, "-01:-01:-01"}, {360000, "100:00:00"},    {65535, "18:12:15"},
        {int64_t(2147483647), "596523:14:07"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(FormatTimeText(seconds), text) << seconds;
}
