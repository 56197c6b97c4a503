#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "reviewsource.h"

// Grading a batch of cells for matching into packs: one entry per cell and
// cycle, ranked by capacity, with the batch's spread and groups of cells
// whose capacities lie close together.

// The figures of one cycle of one cell that grading looks at.
struct GradeEntry {
  QString cell;                     // the cell label, or the curve's name when unlabelled
  int cycle = 1;                    // within its channel's record
  qint32 capacityMah = 0;           // the cycle's last capacity reading: what grading ranks
  std::optional<double> cutoffMah;  // charge delivered down to the cut-off voltage
  double energyMwh = 0;
  double avgMv = 0;                  // energy over charge
  std::optional<double> medianMohm;  // the cycle's median DC resistance
};

inline constexpr double kDefaultGroupPercent = 2.0;

struct GradeRow {
  GradeEntry entry;
  int group = 1;  // 1, 2, ... from the largest capacity down
};

struct Grading {
  std::vector<GradeRow> rows;  // by capacity, largest first
  double meanMah = 0;
  // Sample standard deviation (n − 1 in the denominator: the batch stands
  // for the production it was drawn from); empty for fewer than two rows.
  std::optional<double> stdDevMah;
  int groups = 0;
};

// Ranks `entries` by capacity, largest first (ties by cell, then cycle) and
// groups them greedily from the top: the largest capacity opens a group, and
// each following row joins it while its capacity is at least the opener's
// less `percent` % of the opener's magnitude (c0 − c ≤ percent/100 · |c0|);
// the first row below that opens the next group. So every row of a group is
// within `percent` % of its group's first, largest cell. A negative percent
// is taken as 0.
Grading GradeBatch(std::vector<GradeEntry> entries, double percent = kDefaultGroupPercent);

// One entry per cycle of one channel of a source: named by the channel's
// cell label, or by `unlabelled` when it has none. With a cut-off, capacity
// to it where a reading reaches it.
std::vector<GradeEntry> GradeChannel(const ReviewSource& source, int channel,
                                     const QString& unlabelled, std::optional<qint32> cutoffMv);

// The table as the view, its CSV and the report show it: the header, and one
// line of cells per row, numbers in C locale ("-" where a figure is missing).
QStringList GradingHeader();
QList<QStringList> GradingCells(const Grading& grading);
// "平均 1234.5 mAh，标准差 12.3 mAh（样本），3 组（±2%）"
QString GradingSummaryText(const Grading& grading, double percent);
// UTF-8 with a byte-order mark, CR LF: the header, the rows, then the mean
// and the standard deviation as rows of their own.
QByteArray GradingCsv(const Grading& grading, double percent);
