#include "datetime.h"

#include <cmath>

namespace {

const QDate kEpoch(1899, 12, 30);
constexpr double kMsPerDay = 86'400'000.0;
constexpr qint64 kSecondsPerDay = 86'400;
// About the year 9999: beyond it a value is no date the program shows.
constexpr double kLargestDays = 3'000'000.0;

}  // namespace

double ToDateTimeValue(const QDateTime& local) {
  if (!local.isValid()) {
    return 0.0;  // the epoch: a clock shows midnight rather than garbage
  }
  const qint64 days = kEpoch.daysTo(local.date());
  const double fraction = local.time().msecsSinceStartOfDay() / kMsPerDay;
  return static_cast<double>(days) + fraction;
}

QDateTime FromDateTimeValue(double value) {
  if (!std::isfinite(value) || std::fabs(value) > kLargestDays) {
    return {};
  }
  // Round to the second first, so 23:59:59.6 becomes midnight of the next day.
  const qint64 seconds = std::llround(value * kSecondsPerDay);
  const qint64 days =
      seconds >= 0 ? seconds / kSecondsPerDay : -((-seconds + kSecondsPerDay - 1) / kSecondsPerDay);
  const qint64 secondOfDay = seconds - days * kSecondsPerDay;
  return QDateTime(kEpoch.addDays(days), QTime(0, 0).addSecs(int(secondOfDay)));
}

QTime TimeOfDayOf(double value) {
  if (!std::isfinite(value) || std::fabs(value) > kLargestDays) {
    return QTime(0, 0);
  }
  return FromDateTimeValue(value).time();
}
