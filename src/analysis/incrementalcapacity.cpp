#include "incrementalcapacity.h"

#include <algorithm>
#include <cmath>

namespace {

// Centred triangular average over 2·half+1 bins (weights 1, 2, …, half+1,
// …, 2, 1), cut short and renormalised at the ends. Unlike a flat average it
// keeps a one-bin peak a peak at its own voltage.
std::vector<double> Smoothed(const std::vector<double>& values, int half) {
  if (half <= 0) {
    return values;
  }
  const qsizetype n = qsizetype(values.size());
  std::vector<double> out(values.size());
  for (qsizetype i = 0; i < n; ++i) {
    double sum = 0;
    double weights = 0;
    for (qsizetype j = std::max<qsizetype>(0, i - half); j <= std::min(n - 1, i + half); ++j) {
      const double w = double(half + 1 - std::abs(j - i));
      sum += w * values[size_t(j)];
      weights += w;
    }
    out[size_t(i)] = sum / weights;
  }
  return out;
}

}  // namespace

std::vector<IncrementalCapacityPoint> IncrementalCapacity(
    std::span<const ChannelSample> cycle, const IncrementalCapacityOptions& options) {
  if (cycle.size() < 2) {
    return {};
  }
  const double step = std::max<qint32>(options.stepMv, 1);
  qint32 minMv = cycle.front().voltage;
  qint32 maxMv = minMv;
  for (const ChannelSample& s : cycle) {
    minMv = std::min(minMv, s.voltage);
    maxMv = std::max(maxMv, s.voltage);
  }
  const qint64 firstBin = qint64(std::floor(minMv / step));
  const qint64 lastBin = qint64(std::floor(maxMv / step));
  const qint64 count = lastBin - firstBin + 1;
  if (count > kMaxVoltageBins) {
    return {};
  }
  // Charge per bin, in mA·s until the end.
  std::vector<double> charge(size_t(count), 0.0);
  auto binOf = [&](double mv) {
    return std::clamp<qint64>(qint64(std::floor(mv / step)) - firstBin, 0, count - 1);
  };
  for (size_t i = 1; i < cycle.size(); ++i) {
    const ChannelSample& a = cycle[i - 1];
    const ChannelSample& b = cycle[i];
    const qint64 dt = qint64(b.time) - qint64(a.time);
    if (dt <= 0) {
      continue;
    }
    const double dq = double(dt) * (double(a.current) + double(b.current)) / 2;
    const double lo = std::min(a.voltage, b.voltage);
    const double hi = std::max(a.voltage, b.voltage);
    if (lo == hi) {
      charge[size_t(binOf(lo))] += dq;
      continue;
    }
    const qint64 from = binOf(lo);
    const qint64 to = binOf(hi);
    for (qint64 k = from; k <= to; ++k) {
      const double binLo = double(firstBin + k) * step;
      const double overlap = std::min(hi, binLo + step) - std::max(lo, binLo);
      if (overlap > 0) {
        charge[size_t(k)] += dq * overlap / (hi - lo);
      }
    }
  }
  // mA·s in a bin of `step` mV: /3600 gives mAh, ×1000/step per volt.
  std::vector<double> perVolt(charge.size());
  for (size_t k = 0; k < charge.size(); ++k) {
    perVolt[k] = std::abs(charge[k]) / 3600 * 1000 / step;
  }
  perVolt = Smoothed(perVolt, options.smoothing);
  std::vector<IncrementalCapacityPoint> points(perVolt.size());
  for (size_t k = 0; k < perVolt.size(); ++k) {
    points[k].voltageMv = (double(firstBin) + double(k) + 0.5) * step;
    points[k].mahPerV = perVolt[k];
  }
  return points;
}
