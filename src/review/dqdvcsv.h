#pragma once

#include <QByteArray>
#include <QString>
#include <vector>

#include "incrementalcapacity.h"

// One cycle's incremental-capacity curve as exported.
struct DqdvCurve {
  QString source;  // what the user knows the recording by
  int channel = 1;
  QString cell;  // the channel's cell label, or empty
  int cycle = 1;
  std::vector<IncrementalCapacityPoint> points;
};

// UTF-8 CSV, CR LF line ends: a header row
// "source,channel,cell,cycle,voltage_mv,dqdv_mah_per_v", then one row per
// point, numbers in C locale; a text with a comma, quote or line break is
// quoted.
QByteArray DqdvCsv(const std::vector<DqdvCurve>& curves);
