#include "cycles.h"

#include <QCoreApplication>

#include "dischargesummary.h"

QString CycleLine(const CycleSummary& c) {
  return QStringLiteral(
             "channel=%1 cycle=%2 frames=%3 start_s=%4 duration_s=%5 capacity_mah=%6 "
             "charge_mah=%7 energy_mwh=%8 avg_mv=%9 ")
             .arg(QString::number(c.channel), QString::number(c.cycle), QString::number(c.frames),
                  QString::number(c.startS), QString::number(c.durationS),
                  QString::number(c.capacityMah), FixedNumber(c.chargeMah, 3),
                  FixedNumber(c.energyMwh, 3), FixedNumber(c.avgMv, 1)) +
         QStringLiteral("end_mv=%1 cutoff_s=%2 cutoff_mah=%3")
             .arg(QString::number(c.endMv),
                  c.cutoffS ? QString::number(*c.cutoffS) : QStringLiteral("-"),
                  OptionalNumber(c.cutoffMah, 3));
}

int RunCyclesCommand(const QStringList& args, QTextStream& out, QTextStream& err,
                     const StoreOpener& openStore) {
  const QString usage = QCoreApplication::translate("ReviewWindow",
                                                    "用法：orvanta-sessions cycles ID|latest|文件 "
                                                    "[--cutoff 毫伏]");
  QString word;
  std::optional<qint32> cutoff;
  for (qsizetype i = 0; i < args.size(); ++i) {
    if (args[i] == u"--cutoff" && i + 1 < args.size() && !cutoff) {
      bool ok = false;
      cutoff = args[++i].toInt(&ok);
      if (!ok) {
        err << usage << '\n';
        return 2;
      }
    } else if (word.isEmpty() && !args[i].startsWith(u"--")) {
      word = args[i];
    } else {
      err << usage << '\n';
      return 2;
    }
  }
  if (word.isEmpty()) {
    err << usage << '\n';
    return 2;
  }
  const std::optional<ReviewSource> source = ReadSourceWord(word, openStore, err);
  if (!source) {
    return 1;
  }
  for (int channel = 1; channel <= 2; ++channel) {
    for (const CycleSummary& c : SummarizeCycles(channel, source->Channel(channel), cutoff)) {
      out << CycleLine(c) << '\n';
    }
  }
  return 0;
}
