#include "dqdvcsv.h"

#include "dischargesummary.h"

namespace {

QString CsvText(const QString& text) {
  if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') &&
      !text.contains(u'\r')) {
    return text;
  }
  QString quoted = text;
  quoted.replace(u"\""_qs, u"\"\""_qs);
  return u'"' + quoted + u'"';
}

}  // namespace

QByteArray DqdvCsv(const std::vector<DqdvCurve>& curves) {
  QString text = QStringLiteral("source,channel,cell,cycle,voltage_mv,dqdv_mah_per_v\r\n");
  for (const DqdvCurve& c : curves) {
    const QString prefix = QStringLiteral("%1,%2,%3,%4,")
                               .arg(CsvText(c.source))
                               .arg(c.channel)
                               .arg(CsvText(c.cell))
                               .arg(c.cycle);
    for (const IncrementalCapacityPoint& p : c.points) {
      text += prefix + FixedNumber(p.voltageMv, 1) + u',' + FixedNumber(p.mahPerV, 4) +
              QStringLiteral("\r\n");
    }
  }
  return text.toUtf8();
}
