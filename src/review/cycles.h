#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include "cellcycles.h"
#include "reviewsource.h"
#include "summarycommand.h"

// "channel=1 cycle=1 frames=N start_s=S duration_s=D capacity_mah=C
// charge_mah=Q energy_mwh=E avg_mv=A end_mv=V cutoff_s=T cutoff_mah=K", numbers
// in C locale, "-" for a cut-off not reached or not asked for.
QString CycleLine(const CycleSummary& cycle);

// `cycles ID|latest|FILE [--cutoff MV]`: one line per cycle, channel 1's
// first; a channel without readings prints none. Exit codes as the summary
// command's.
int RunCyclesCommand(const QStringList& args, QTextStream& out, QTextStream& err,
                     const StoreOpener& openStore);
