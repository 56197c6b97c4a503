#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <optional>
#include <vector>

#include "reviewsource.h"
#include "summarycommand.h"

// One channel's record cut into cycles: a cycle ends before a complete
// reading whose time is less than the one before it (the charger restarted
// its count). Each cycle's figures are the discharge summary's over the
// cycle's own readings.
struct CycleSummary {
  int channel = 1;
  int cycle = 1;
  qint64 frames = 0;
  qint64 startS = 0;       // the cycle's first time reading
  qint64 durationS = 0;    // s, over the steps whose time increases
  qint32 capacityMah = 0;  // the cycle's last capacity reading
  double chargeMah = 0;    // trapezoid sum of I
  double energyMwh = 0;    // trapezoid sum of V*I
  double avgMv = 0;        // energy over charge; 0 when the charge is 0
  qint32 endMv = 0;        // the cycle's last voltage reading
  // At the first reading whose voltage is at most the cut-off: its time less
  // startS, and the charge up to it. Empty without a cut-off or when no
  // reading reaches it.
  std::optional<qint64> cutoffS;
  std::optional<double> cutoffMah;
};

std::vector<CycleSummary> SummarizeCycles(int channel, const std::vector<ChannelSample>& samples,
                                          std::optional<qint32> cutoffMv);

// "channel=1 cycle=1 frames=N start_s=S duration_s=D capacity_mah=C
// charge_mah=Q energy_mwh=E avg_mv=A end_mv=V cutoff_s=T cutoff_mah=K", numbers
// in C locale, "-" for a cut-off not reached or not asked for.
QString CycleLine(const CycleSummary& cycle);

// `cycles ID|latest|FILE [--cutoff MV]`: one line per cycle, channel 1's
// first; a channel without readings prints none. Exit codes as the summary
// command's.
int RunCyclesCommand(const QStringList& args, QTextStream& out, QTextStream& err,
                     const StoreOpener& openStore);
