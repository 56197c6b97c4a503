#include "internalresistance.h"

#include <algorithm>
#include <cstdlib>

std::vector<ResistanceStep> ResistanceSteps(std::span<const ChannelSample> cycle,
                                            qint32 thresholdMa) {
  const qint64 threshold = std::max<qint64>(thresholdMa, 1);
  std::vector<ResistanceStep> steps;
  for (size_t i = 1; i < cycle.size(); ++i) {
    const ChannelSample& a = cycle[i - 1];
    const ChannelSample& b = cycle[i];
    // 64-bit differences: two 32-bit readings of opposite signs can differ
    // by more than a 32-bit number holds.
    const qint64 di = qint64(b.current) - qint64(a.current);
    if (std::llabs(di) < threshold) {
      continue;
    }
    const qint64 dv = qint64(b.voltage) - qint64(a.voltage);
    ResistanceStep step;
    step.timeS = b.time;
    step.deltaMv = qint32(std::clamp<qint64>(dv, INT32_MIN, INT32_MAX));
    step.deltaMa = qint32(std::clamp<qint64>(di, INT32_MIN, INT32_MAX));
    step.mohm = -1000.0 * double(dv) / double(di);
    steps.push_back(step);
  }
  return steps;
}

std::optional<double> MedianResistance(const std::vector<ResistanceStep>& steps) {
  if (steps.empty()) {
    return std::nullopt;
  }
  std::vector<double> r;
  r.reserve(steps.size());
  for (const ResistanceStep& s : steps) {
    r.push_back(s.mohm);
  }
  std::sort(r.begin(), r.end());
  const size_t mid = r.size() / 2;
  return r.size() % 2 != 0 ? r[mid] : (r[mid - 1] + r[mid]) / 2;
}
