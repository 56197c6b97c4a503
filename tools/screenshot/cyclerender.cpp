#include "cyclerender.h"

#include <QApplication>
#include <QFileInfo>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>

#include "chargerscript.h"
#include "cycleviews.h"
#include "reviewplot.h"
#include "reviewwindow.h"
#include "snapshotfile.h"
#include "snapshotreader.h"

namespace {

// Discharges one after another in one log, as a charger restarted between
// them sends them: each starts its time count again.
QString CyclesLog(const std::vector<double>& durations) {
  QString log;
  for (double d : durations) {
    ChargerOptions options;
    options.durationS = d;
    options.speed = 10;
    options.oneChannel = true;
    ChargerScript script(options);
    while (!script.Finished()) {
      log += QString::fromStdString(script.Next().text);
    }
  }
  return log;
}

// Every 60th reading a 500 mA pulse that pulls the voltage down by the
// cell's resistance, so the cycle table has resistances to show.
void AddPulses(std::vector<ChannelSample>& samples, double mohm) {
  for (size_t i = 30; i < samples.size(); i += 60) {
    samples[i].current += 500;
    samples[i].voltage -= qint32(500 * mohm / 1000);
  }
}

bool Grab(ReviewWindow& window, QWidget& tab, const QString& path) {
  for (QTabWidget* tabs : window.findChildren<QTabWidget*>()) {
    if (tabs->indexOf(&tab) >= 0) {
      tabs->setCurrentWidget(&tab);
    }
  }
  QApplication::processEvents();
  for (ReviewPlot* plot : window.findChildren<ReviewPlot*>()) {
    plot->ReplotNow();
  }
  if (!window.grab().save(path)) {
    qCritical("could not write %s", qPrintable(path));
    return false;
  }
  return true;
}

QString WithSuffix(const QString& path, const QString& suffix) {
  const QFileInfo info(path);
  return info.dir().filePath(info.completeBaseName() + suffix + u'.' + info.suffix());
}

}  // namespace

int RenderCycleShot(QSize size, const QString& out, const QString& report) {
  QTemporaryDir dir;
  ReviewWindow window(StoreOpener{});
  const struct {
    const char* file;
    const char* cell;
    std::vector<double> durations;
    double mohm;
    int day;
  } recordings[] = {{"A0001-1.txt", "A0001", {3600, 3480, 3370}, 60, 1},
                    {"A0001-2.txt", "A0001", {3250, 3140, 3020}, 75, 8},
                    {"B0002-1.txt", "B0002", {3300, 3260}, 90, 2}};
  for (const auto& r : recordings) {
    const QString path = dir.filePath(QString::fromLatin1(r.file));
    const QDateTime saved(QDate(2026, 11, r.day), QTime(9, 0));
    QString error;
    std::optional<ReviewSource> source;
    if (WriteFileAtomically(path, SnapshotBytes(saved, CyclesLog(r.durations)))) {
      source = ReadSnapshotFile(path, &error);
    }
    if (!source) {
      qCritical("could not write or read %s: %s", qPrintable(path), qPrintable(error));
      return 1;
    }
    source->cells[0] = QString::fromLatin1(r.cell);
    AddPulses(source->channels[0], r.mohm);
    window.AddSource(std::move(*source));
  }
  window.Cycles().SetCutoffMv(1100);
  window.SetXAxis(ReviewXAxis::Capacity);
  window.SetTemperatureShown(true);
  window.resize(size);
  window.show();
  if (!report.isEmpty() && !window.SaveReport(report)) {
    qCritical("could not write %s", qPrintable(report));
    return 1;
  }
  return Grab(window, window.Cycles().Table(), out) &&
                 Grab(window, window.Cycles().FadePlot(), WithSuffix(out, u"-fade"_qs)) &&
                 Grab(window, *window.Cycles().DqdvPage(), WithSuffix(out, u"-dqdv"_qs))
             ? 0
             : 1;
}
