#include "stepsums.h"

void StepAccumulator::Add(const ChannelSample& a, const ChannelSample& b) {
  const qint64 dt = qint64(b.time) - qint64(a.time);
  if (dt <= 0) {
    return;
  }
  m_durationS += dt;
  m_energy += double(dt) *
              (double(a.voltage) * double(a.current) + double(b.voltage) * double(b.current)) / 2;
  m_charge += double(dt) * (double(a.current) + double(b.current)) / 2;
}

StepSums StepAccumulator::Sums() const {
  StepSums s;
  s.durationS = m_durationS;
  s.energyMwh = m_energy / 3'600'000;
  s.chargeMah = m_charge / 3600;
  s.avgMv = s.chargeMah != 0 ? 1000 * s.energyMwh / s.chargeMah : 0;
  return s;
}

StepSums SumSteps(std::span<const ChannelSample> samples) {
  StepAccumulator acc;
  for (size_t i = 1; i < samples.size(); ++i) {
    acc.Add(samples[i - 1], samples[i]);
  }
  return acc.Sums();
}

std::optional<CutoffFigures> ToCutoff(std::span<const ChannelSample> samples, qint32 cutoffMv) {
  StepAccumulator acc;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (i > 0) {
      acc.Add(samples[i - 1], samples[i]);
    }
    if (samples[i].voltage <= cutoffMv) {
      const StepSums s = acc.Sums();
      return CutoffFigures{qsizetype(i), s.durationS, s.chargeMah, s.energyMwh};
    }
  }
  return std::nullopt;
}
