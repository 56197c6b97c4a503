#pragma once

#include <QtGlobal>
#include <optional>
#include <span>

#include "channelsample.h"

// What a run of readings delivered. The sums run over the steps between
// consecutive readings whose time increases; a step where the time stays or
// runs back (a restart of the charger) is left out, and the sums go on from
// the reading after it.
struct StepSums {
  qint64 durationS = 0;  // s, sum of the counted steps
  double chargeMah = 0;  // trapezoid sum of I
  double energyMwh = 0;  // trapezoid sum of V*I
  double avgMv = 0;      // charge-weighted mean voltage; 0 when the charge is 0
};

// Adds up the steps one at a time, so that a single pass can read the sums
// part way (at a cut-off) and at the end alike.
class StepAccumulator {
 public:
  // The step from `a` to the reading `b` after it.
  void Add(const ChannelSample& a, const ChannelSample& b);
  StepSums Sums() const;

 private:
  qint64 m_durationS = 0;
  // Products of two 32-bit readings overflow 64-bit sums only in theory, but
  // doubles keep every realistic figure exact and never wrap.
  double m_energy = 0;  // mV * mA * s
  double m_charge = 0;  // mA * s
};

StepSums SumSteps(std::span<const ChannelSample> samples);

// Where a run of readings first reached a cut-off voltage: the first reading
// whose voltage is at most the cut-off, and the sums up to it.
struct CutoffFigures {
  qsizetype index = 0;   // of that reading within the run
  qint64 durationS = 0;  // the counted time up to it
  double chargeMah = 0;
  double energyMwh = 0;
};

// Empty when no reading reaches `cutoffMv`.
std::optional<CutoffFigures> ToCutoff(std::span<const ChannelSample> samples, qint32 cutoffMv);
