#include "benchfigures.h"

#include <QByteArray>
#include <QFile>
#include <algorithm>
#include <cmath>

double Percentile(std::vector<double> values, double p) {
  if (values.empty()) {
    return 0;
  }
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, size_t(std::ceil(p * double(values.size())) - 1))];
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

ProcessMemory ReadProcessMemory() {
  ProcessMemory memory;
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) {
    return memory;
  }
  for (const QByteArray& line : status.readAll().split('\n')) {
    const double kib = line.mid(6).trimmed().split(' ').value(0).toDouble();
    if (line.startsWith("VmRSS:")) {
      memory.residentMib = kib / 1024;
    } else if (line.startsWith("VmHWM:")) {
      memory.peakMib = kib / 1024;
    }
  }
  return memory;
}
