#pragma once

#include <QtGlobal>
#include <optional>
#include <span>
#include <vector>

#include "channelsample.h"

// The least change of current between two consecutive readings that counts
// as a step for the resistance.
inline constexpr qint32 kDefaultStepThresholdMa = 100;

// The DC internal resistance read off one step of the current: with the
// current positive while discharging, a cell of resistance R falls by R·ΔI
// when the current rises by ΔI, so R = −ΔV/ΔI (mV/mA is Ω).
struct ResistanceStep {
  qint32 timeS = 0;    // the time reading of the reading after the step
  qint32 deltaMv = 0;  // voltage after less before
  qint32 deltaMa = 0;  // current after less before
  double mohm = 0;     // mΩ
};

// Every step of the current by at least `thresholdMa` (either way) between
// consecutive readings of one cycle, in order. A threshold below 1 mA is
// taken as 1 mA, so that no step divides by zero.
std::vector<ResistanceStep> ResistanceSteps(std::span<const ChannelSample> cycle,
                                            qint32 thresholdMa = kDefaultStepThresholdMa);

// The median of the steps' resistances (the mean of the middle two for an
// even count); empty without steps.
std::optional<double> MedianResistance(const std::vector<ResistanceStep>& steps);
