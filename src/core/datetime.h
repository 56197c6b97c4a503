#pragma once

#include <QDateTime>

// Date-time values as the window's clock and snapshot use them: a double
// counting days since 30 December 1899 (local time), the fraction being the
// time of day.
double ToDateTimeValue(const QDateTime& local);
QDateTime FromDateTimeValue(double value);

// The time of day of a date-time value, rounded to the nearest second
// (so 0.5 is 12:00:00 whatever the day). Negative values count their
// fraction from the start of their own day, as a calendar would.
QTime TimeOfDayOf(double value);
