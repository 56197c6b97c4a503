#pragma once

#include <QSettings>

// The user's own settings of the program, one INI file shared by the command
// line and the windows (on Linux ~/.config/orvanta/orvanta.ini): [ports]
// maps the port list's entries to devices, [review] keeps the review
// window's size. It lives with the chart library because every window and
// the program build on it.
inline QSettings UserSettings() {
  return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("orvanta"),
                   QStringLiteral("orvanta"));
}
