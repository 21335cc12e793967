#pragma once
// The user's settings file of the program: <config>/Tallowick.conf.
#include <QCoreApplication>
#include <QSettings>

inline QSettings UserSettings()
{
    return QSettings(QSettings::UserScope, QCoreApplication::applicationName());
}
