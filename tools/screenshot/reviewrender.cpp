#include "reviewrender.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTextCodec>

#include "chargerscript.h"
#include "gradingview.h"
#include "printcompare.h"
#include "reviewplot.h"
#include "reviewwindow.h"
#include "snapshotfile.h"

namespace {

// One cell's discharge as "保存数据" would have saved its log: a frame every
// ten simulated seconds until the notice.
QByteArray SimulatedFile(double durationS, const QDateTime& saved) {
  ChargerOptions options;
  options.durationS = durationS;
  options.speed = 10;
  options.oneChannel = true;
  ChargerScript script(options);
  QString log;
  while (!script.Finished()) {
    log += QString::fromStdString(script.Next().text);
  }
  return SnapshotBytes(saved, log);
}

}  // namespace

int RenderReviewShot(QSize size, const QString& out, const QString& report, const QString& store,
                     const QString& printPage, const QString& grading) {
  QTemporaryDir dir;
  StoreOpener opener;
  if (!store.isEmpty()) {
    opener = [store](QString* error) { return SessionReader::Open(store, error); };
  }
  ReviewWindow window(opener);
  const struct {
    const char* name;
    double durationS;
    int day;
  } cells[] = {{"cell-A.txt", 3000, 3}, {"cell-B.txt", 3600, 4}, {"cell-C.txt", 2500, 5}};
  for (const auto& cell : cells) {
    const QString path = dir.filePath(QString::fromLatin1(cell.name));
    const QDateTime saved(QDate(2026, 12, cell.day), QTime(10, 30));
    if (!WriteFileAtomically(path, SimulatedFile(cell.durationS, saved)) ||
        !window.OpenFile(path)) {
      qCritical("could not write or open %s", qPrintable(path));
      return 1;
    }
  }
  window.WaitForLoads();
  window.WaitForSessionList();
  if (window.SourceCount() != int(std::size(cells))) {
    return 1;
  }
  window.SetXAxis(ReviewXAxis::Capacity);
  window.resize(size);
  window.show();
  QApplication::processEvents();
  window.Plot().ReplotNow();
  if (!window.grab().save(out)) {
    qCritical("could not write %s", qPrintable(out));
    return 1;
  }
  if (!report.isEmpty() && !window.SaveReport(report)) {
    qCritical("could not write %s", qPrintable(report));
    return 1;
  }
  if (!grading.isEmpty()) {
    window.OpenGrading();
    QWidget& view = *window.GradingWindow();
    QApplication::processEvents();
    if (!view.grab().save(grading)) {
      qCritical("could not write %s", qPrintable(grading));
      return 1;
    }
  }
  if (!printPage.isEmpty()) {
    ReviewPlot& plot = window.Plot();
    return RenderPrintComparison([&](QPrinter& printer) { return plot.PrintTo(printer); },
                                 [&](const QString& path) { return plot.SaveImage(path); },
                                 printPage);
  }
  return 0;
}
