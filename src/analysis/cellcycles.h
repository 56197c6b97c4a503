#pragma once

#include <QtGlobal>
#include <optional>
#include <span>
#include <vector>

#include "channelsample.h"
#include "internalresistance.h"

// Where a channel's record is cut into cycles: a cycle ends before a reading
// whose time is less than the one before it (the charger restarted its count).
struct CycleRange {
  qsizetype first = 0;  // index of the cycle's first reading
  qsizetype end = 0;    // one past its last
};

std::vector<CycleRange> SplitCycles(std::span<const ChannelSample> samples);

struct CycleOptions {
  std::optional<qint32> cutoffMv;                    // no cut-off figures without it
  qint32 stepThresholdMa = kDefaultStepThresholdMa;  // for the median resistance
};

// One cycle's figures: the discharge summary's sums over the cycle's own
// readings.
struct CycleSummary {
  int channel = 1;
  int cycle = 1;        // counted from 1 within the channel
  qsizetype first = 0;  // the cycle's readings within the channel's record
  qsizetype end = 0;
  qint64 frames = 0;
  qint64 startS = 0;       // the cycle's first time reading
  qint64 durationS = 0;    // s, over the steps whose time increases
  qint32 capacityMah = 0;  // the cycle's last capacity reading
  double chargeMah = 0;    // trapezoid sum of I
  double energyMwh = 0;    // trapezoid sum of V*I
  double avgMv = 0;        // energy over charge; 0 when the charge is 0
  qint32 endMv = 0;        // the cycle's last voltage reading
  // At the first reading whose voltage is at most the cut-off: its time less
  // startS, and the charge and energy up to it. Empty without a cut-off or
  // when no reading reaches it.
  std::optional<qint64> cutoffS;
  std::optional<double> cutoffMah;
  std::optional<double> cutoffMwh;
  // The median of the cycle's current-step resistances; empty without steps.
  std::optional<double> medianMohm;
};

std::vector<CycleSummary> SummarizeCycles(int channel, std::span<const ChannelSample> samples,
                                          const CycleOptions& options);
std::vector<CycleSummary> SummarizeCycles(int channel, std::span<const ChannelSample> samples,
                                          std::optional<qint32> cutoffMv);
