#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "reviewsource.h"

// What one channel delivered over a recording. Only complete readings count.
// The sums run over the steps between consecutive readings whose time
// increases; a step where the time stays or runs back (a restart of the
// charger) is left out, and the sums go on from the reading after it.
struct DischargeSummary {
  int channel = 1;
  qint64 frames = 0;       // complete readings
  qint64 durationS = 0;    // s, sum of the counted steps
  qint32 capacityMah = 0;  // the last capacity reading
  double energyMwh = 0;    // trapezoid sum of V*I over the counted steps
  double chargeMah = 0;    // trapezoid sum of I over the same steps
  double avgMv = 0;        // charge-weighted mean voltage; 0 when the charge is 0
  qint32 minMv = 0;
  qint32 endMv = 0;
  qint32 maxTemp = 0;
  bool notice = false;  // the end-of-discharge notice was received
};

DischargeSummary SummarizeChannel(int channel, const std::vector<ChannelSample>& samples,
                                  bool notice);

// "channel=1 frames=N duration_s=D capacity_mah=C energy_mwh=E avg_mv=A
// min_mv=L end_mv=V max_temp=T ended=notice|stopped", numbers in C locale.
QString SummaryLine(const DischargeSummary& summary);

// `value` with `decimals` decimals in C locale; a value that rounds to zero
// prints as zero, never as "-0.000".
QString FixedNumber(double value, int decimals);
// `value` as FixedNumber prints it, or "-" for a figure there is none of
// (no cut-off reached, no resistance step), in tables, reports and lines.
QString OptionalNumber(const std::optional<double>& value, int decimals);

// Both channels of a source, channel 1 first.
std::vector<DischargeSummary> SummarizeSource(const ReviewSource& source);
