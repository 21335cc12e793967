#include "platform/LocaleTime.h"

#include <QRegularExpression>

QString LongTimeText(const QTime& time, const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    // Drop the time-zone fields ("t", "tt", ...) together with the blanks or brackets
    // around them; quoted literal text is left alone.
    static const QRegularExpression zone(QStringLiteral("\\s*[(\\[]?\\bt+\\b[)\\]]?"));
    QString result;
    bool quoted = false;
    QString pending;
    for (const QChar c : format) {
        if (c == '\'') {
            if (!quoted) {
                result += pending.remove(zone);
                pending.clear();
            }
            quoted = !quoted;
            result += c;
        } else if (quoted) {
            result += c;
        } else {
            pending += c;
        }
    }
    result += pending.remove(zone);
    return locale.toString(time, result.trimmed());
}
