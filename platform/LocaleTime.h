#pragma once
// A time of day in the long time format of the user's locale (hours, minutes and
// seconds; a twelve-hour locale shows its AM/PM designator and 12 for zero hours),
// without the time-zone part that Qt's long format carries.
#include <QLocale>
#include <QString>
#include <QTime>

QString LongTimeText(const QTime& time, const QLocale& locale = QLocale());
