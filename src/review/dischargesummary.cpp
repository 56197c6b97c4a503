#include "dischargesummary.h"

#include <algorithm>

#include "stepsums.h"

DischargeSummary SummarizeChannel(int channel, const std::vector<ChannelSample>& samples,
                                  bool notice) {
  DischargeSummary s;
  s.channel = channel;
  s.notice = notice;
  s.frames = qint64(samples.size());
  if (samples.empty()) {
    return s;
  }
  s.minMv = samples.front().voltage;
  s.maxTemp = samples.front().temperature;
  for (const ChannelSample& b : samples) {
    s.minMv = std::min(s.minMv, b.voltage);
    s.maxTemp = std::max(s.maxTemp, b.temperature);
  }
  const StepSums sums = SumSteps(samples);
  s.durationS = sums.durationS;
  s.energyMwh = sums.energyMwh;
  s.chargeMah = sums.chargeMah;
  s.avgMv = sums.avgMv;
  s.capacityMah = samples.back().capacity;
  s.endMv = samples.back().voltage;
  return s;
}

QString FixedNumber(double value, int decimals) {
  QString text = QString::number(value, 'f', decimals);
  if (text.startsWith(u'-') && text.count(u'0') == text.size() - 2) {
    text.remove(0, 1);
  }
  return text;
}

QString OptionalNumber(const std::optional<double>& value, int decimals) {
  return value ? FixedNumber(*value, decimals) : QStringLiteral("-");
}

QString SummaryLine(const DischargeSummary& s) {
  // QString::number is locale-free.
  return QStringLiteral(
             "channel=%1 frames=%2 duration_s=%3 capacity_mah=%4 energy_mwh=%5 avg_mv=%6 "
             "min_mv=%7 end_mv=%8 max_temp=%9 ended=%10")
      .arg(QString::number(s.channel), QString::number(s.frames), QString::number(s.durationS),
           QString::number(s.capacityMah), FixedNumber(s.energyMwh, 3), FixedNumber(s.avgMv, 1),
           QString::number(s.minMv), QString::number(s.endMv), QString::number(s.maxTemp))
      .arg(s.notice ? QStringLiteral("notice") : QStringLiteral("stopped"));
}

std::vector<DischargeSummary> SummarizeSource(const ReviewSource& source) {
  return {SummarizeChannel(1, source.Channel(1), source.notice),
          SummarizeChannel(2, source.Channel(2), source.notice)};
}
