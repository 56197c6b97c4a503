#include "datetime.h"

#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86'400'000.0;

}  // namespace

double ToDateTimeValue(const QDateTime& local) {
  const qint64 days = kEpoch.daysTo(local.date());
  const double fraction = local.time().msecsSinceStartOfDay() / kMsPerDay;
  return static_cast<double>(days) + fraction;
}

QDateTime FromDateTimeValue(double value) {
  const double whole = std::floor(value);
  const QDate date = kEpoch.addDays(static_cast<qint64>(whole));
  return QDateTime(date, TimeOfDayOf(value));
}

QTime TimeOfDayOf(double value) {
  if (!std::isfinite(value)) {
    return QTime(0, 0);
  }
  const double fraction = value - std::floor(value);
  qint64 seconds = std::llround(fraction * 86'400.0);
  if (seconds >= 86'400) {
    seconds = 0;  // 23:59:59.6 rounds onto the next midnight
  }
  return QTime(0, 0).addSecs(static_cast<int>(seconds));
}
