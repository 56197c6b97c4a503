#include "grading.h"

#include <QCoreApplication>
#include <algorithm>
#include <cmath>

#include "cellcycles.h"
#include "dischargesummary.h"

namespace {

constexpr const char* kColumns[] = {
    QT_TRANSLATE_NOOP("Grading", "电池"),
    QT_TRANSLATE_NOOP("Grading", "组"),
    QT_TRANSLATE_NOOP("Grading", "循环"),
    QT_TRANSLATE_NOOP("Grading", "容量(mAh)"),
    QT_TRANSLATE_NOOP("Grading", "到截止电压容量(mAh)"),
    QT_TRANSLATE_NOOP("Grading", "能量(mWh)"),
    QT_TRANSLATE_NOOP("Grading", "平均电压(mV)"),
    QT_TRANSLATE_NOOP("Grading", "内阻中位数(mΩ)"),
};

QByteArray CsvLine(const QStringList& cells) {
  QByteArray line;
  for (qsizetype i = 0; i < cells.size(); ++i) {
    QByteArray field = cells[i].toUtf8();
    if (field.contains(',') || field.contains('"') || field.contains('\n') ||
        field.contains('\r')) {
      field = '"' + field.replace("\"", "\"\"") + '"';
    }
    line += (i > 0 ? "," : "") + field;
  }
  return line + "\r\n";
}

}  // namespace

Grading GradeBatch(std::vector<GradeEntry> entries, double percent) {
  percent = std::max(0.0, percent);
  std::stable_sort(entries.begin(), entries.end(), [](const GradeEntry& a, const GradeEntry& b) {
    if (a.capacityMah != b.capacityMah) {
      return a.capacityMah > b.capacityMah;
    }
    return a.cell != b.cell ? a.cell < b.cell : a.cycle < b.cycle;
  });
  Grading g;
  double sum = 0;
  qint64 opener = 0;
  for (const GradeEntry& e : entries) {
    // In whole mAh times 100, so a row exactly at the bound is in.
    if (g.groups == 0 ||
        double(opener - e.capacityMah) * 100 > percent * double(std::abs(opener))) {
      ++g.groups;
      opener = e.capacityMah;
    }
    g.rows.push_back({e, g.groups});
    sum += e.capacityMah;
  }
  const size_t n = g.rows.size();
  if (n == 0) {
    return g;
  }
  g.meanMah = sum / double(n);
  if (n >= 2) {
    double squares = 0;
    for (const GradeRow& r : g.rows) {
      squares += (r.entry.capacityMah - g.meanMah) * (r.entry.capacityMah - g.meanMah);
    }
    g.stdDevMah = std::sqrt(squares / double(n - 1));
  }
  return g;
}

std::vector<GradeEntry> GradeChannel(const ReviewSource& source, int channel,
                                     const QString& unlabelled, std::optional<qint32> cutoffMv) {
  std::vector<GradeEntry> entries;
  const QString label = source.cells[size_t(channel - 1)].trimmed();
  const CycleOptions options{.cutoffMv = cutoffMv};
  for (const CycleSummary& c : SummarizeCycles(channel, source.Channel(channel), options)) {
    GradeEntry e;
    e.cell = label.isEmpty() ? unlabelled : label;
    e.cycle = c.cycle;
    e.capacityMah = c.capacityMah;
    e.cutoffMah = c.cutoffMah;
    e.energyMwh = c.energyMwh;
    e.avgMv = c.avgMv;
    e.medianMohm = c.medianMohm;
    entries.push_back(e);
  }
  return entries;
}

QStringList GradingHeader() {
  QStringList header;
  for (const char* column : kColumns) {
    header << QCoreApplication::translate("Grading", column);
  }
  return header;
}

QList<QStringList> GradingCells(const Grading& grading) {
  QList<QStringList> lines;
  for (const GradeRow& r : grading.rows) {
    const GradeEntry& e = r.entry;
    lines << QStringList{e.cell,
                         QString::number(r.group),
                         QString::number(e.cycle),
                         QString::number(e.capacityMah),
                         OptionalNumber(e.cutoffMah, 1),
                         FixedNumber(e.energyMwh, 1),
                         FixedNumber(e.avgMv, 1),
                         OptionalNumber(e.medianMohm, 1)};
  }
  return lines;
}

QString GradingSummaryText(const Grading& g, double percent) {
  return QCoreApplication::translate("Grading", "平均 %1 mAh，标准差 %2 mAh（样本），%3 组（±%4%）")
      .arg(FixedNumber(g.meanMah, 1), OptionalNumber(g.stdDevMah, 1), QString::number(g.groups),
           QString::number(percent));
}

QByteArray GradingCsv(const Grading& g, double percent) {
  // A file format, the same in every locale.
  QStringList header;
  for (const char* column : kColumns) {
    header << QString::fromUtf8(column);
  }
  QByteArray csv = "\xEF\xBB\xBF" + CsvLine(header);
  for (const QStringList& line : GradingCells(g)) {
    csv += CsvLine(line);
  }
  csv += CsvLine({QStringLiteral("平均"), QString(), QString(), FixedNumber(g.meanMah, 1)});
  csv += CsvLine(
      {QStringLiteral("标准差（样本）"), QString(), QString(), OptionalNumber(g.stdDevMah, 1)});
  csv += CsvLine({QStringLiteral("分组范围(%)"), QString(), QString(), QString::number(percent)});
  return csv;
}
