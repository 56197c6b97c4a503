#include "dischargesummary.h"

#include <algorithm>

namespace {

// The field a quantity names, for reading and for writing alike.
template <class Sample>
auto& FieldOf(Sample& sample, Quantity q) {
  switch (q) {
    case Quantity::Time:
      break;
    case Quantity::Voltage:
      return sample.voltage;
    case Quantity::Current:
      return sample.current;
    case Quantity::Capacity:
      return sample.capacity;
    case Quantity::Temperature:
      return sample.temperature;
  }
  return sample.time;
}

}  // namespace

qint32 ChannelSample::Value(Quantity q) const {
  return FieldOf(*this, q);
}

qint32& ChannelSample::Field(Quantity q) {
  return FieldOf(*this, q);
}

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
  // Products of two 32-bit readings overflow 64-bit sums only in theory, but
  // doubles keep every realistic figure exact and never wrap.
  double energy = 0;  // mV * mA * s
  double charge = 0;  // mA * s
  for (size_t i = 0; i < samples.size(); ++i) {
    const ChannelSample& b = samples[i];
    s.minMv = std::min(s.minMv, b.voltage);
    s.maxTemp = std::max(s.maxTemp, b.temperature);
    if (i == 0) {
      continue;
    }
    const ChannelSample& a = samples[i - 1];
    const qint64 dt = qint64(b.time) - qint64(a.time);
    if (dt <= 0) {
      continue;
    }
    s.durationS += dt;
    energy += double(dt) *
              (double(a.voltage) * double(a.current) + double(b.voltage) * double(b.current)) / 2;
    charge += double(dt) * (double(a.current) + double(b.current)) / 2;
  }
  s.capacityMah = samples.back().capacity;
  s.endMv = samples.back().voltage;
  s.energyMwh = energy / 3'600'000;
  s.chargeMah = charge / 3600;
  s.avgMv = s.chargeMah != 0 ? 1000 * s.energyMwh / s.chargeMah : 0;
  return s;
}

QString FixedNumber(double value, int decimals) {
  QString text = QString::number(value, 'f', decimals);
  if (text.startsWith(u'-') && text.count(u'0') == text.size() - 2) {
    text.remove(0, 1);
  }
  return text;
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
