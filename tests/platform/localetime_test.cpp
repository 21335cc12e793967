#include <gtest/gtest.h>

#include "platform/LocaleTime.h"

TEST(LocaleTime, LongFormatWithoutTimeZone)
{
    struct Case {
        const char* locale;
        QTime time;
        QString expected;
    };
    const Case cases[] = {
        {"C", QTime(0, 4, 10), "00:04:10"},
        {"de_DE", QTime(18, 12, 15), "18:12:15"},
        {"en_GB", QTime(0, 3, 25), "00:03:25"},
        {"en_US", QTime(0, 3, 25), "12:03:25\u202fAM"},
        {"en_US", QTime(13, 0, 5), "1:00:05\u202fPM"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        QString text = LongTimeText(c.time, QLocale(c.locale));
        // Locales differ in the blank before AM/PM between Qt versions.
        text.replace(' ', QChar(0x202f));
        QString expected = c.expected;
        EXPECT_EQ(text, expected.replace(' ', QChar(0x202f)));
    }
}
