#pragma once

#include <vector>

// Figures the benchmarks share: order statistics of timings and the
// process's memory as the kernel reports it.

// The p-quantile (0 < p <= 1) by the nearest rank; 0 for no values.
double Percentile(std::vector<double> values, double p);
// The upper median; 0 for no values.
double Median(std::vector<double> values);

struct ProcessMemory {
  double residentMib = -1;  // VmRSS; -1 where unknown
  double peakMib = -1;      // VmHWM, the peak resident size; -1 where unknown
};
ProcessMemory ReadProcessMemory();
