#pragma once

#include <QtGlobal>
#include <span>
#include <vector>

#include "channelsample.h"

inline constexpr qint32 kDefaultVoltageStepMv = 5;
// A cycle whose voltage spans more steps than this (a wild reading, or a
// step far too fine) gives no curve rather than an unbounded one.
inline constexpr qint64 kMaxVoltageBins = 200'000;

struct IncrementalCapacityOptions {
  qint32 stepMv = kDefaultVoltageStepMv;  // width of a voltage bin; below 1 taken as 1
  int smoothing = 0;                      // bins on each side weighed into each bin; 0 for none
};

// One bin of the curve.
struct IncrementalCapacityPoint {
  double voltageMv = 0;  // the bin's middle
  double mahPerV = 0;    // charge delivered within the bin over its width
};

// dQ/dV of one cycle against voltage. The voltage axis is cut into bins of
// the step, aligned to whole multiples of it, from the bin of the lowest
// reading to that of the highest. The charge of each counted step (time
// increasing, trapezoid rule as in the summary) is shared among the bins its
// voltage passes through in proportion to the stretch of each it covers; a
// step at one voltage gives all its charge to that voltage's bin. Binning the
// charge, not differentiating a curve, keeps the whole-millivolt readings
// and their noise from making spikes. The figure is the charge's magnitude,
// so a discharge reads positive whichever way its current is signed.
std::vector<IncrementalCapacityPoint> IncrementalCapacity(
    std::span<const ChannelSample> cycle, const IncrementalCapacityOptions& options = {});
