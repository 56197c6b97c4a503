#pragma once

#include <QSize>
#include <QString>

// Renders the review window with one cell's repeated discharges: two
// recordings of cell "A0001", three cycles each with a fading capacity and
// a current pulse now and then, and one recording of cell "B0002". Writes
// the curves with the cycle table to `out`, and the fade plot and the dQ/dV
// plot to `out` with "-fade" and "-dqdv" before its extension, and the
// report page to `report` when one is named. Returns the process exit code.
int RenderCycleShot(QSize size, const QString& out, const QString& report = {});
