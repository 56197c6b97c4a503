// Whole-program benchmark: the real window offscreen, the real acquisition
// pass fed through the port seam, ticks driven directly (no 1 s timer), and
// the session store recording each tick's chunk as the program does.
//
// For each fill it first loads the log and both traces through the same calls
// a pass makes (AppendAndFollow, AddPoint), then times ticks, each a full pass
// followed by the replot and repaint it causes. It prints one line per fill:
//
//   fill=<points per trace> tick_median_ms=<x> tick_p99_ms=<x> replot_ms=<x>
//     rss_mib=<x> save_ms=<x> naive_tick_median_ms=<x>
//
// and last `startup_ms=<x>`. The naive tick puts the original design's costs
// back: the log's whole text replaced on every append and every point's y
// rescanned for the Y range. Details go to stderr.
//
//   orvanta-bench [--quick]     --quick runs only the fills 0 and 86400

#include <qcustomplot.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "clock.h"
#include "dischargechart.h"
#include "logpane.h"
#include "mainwindow.h"
#include "replayport.h"
#include "sessionrecording.h"
#include "snapshotfile.h"

namespace {

constexpr int kTimedTicks = 1000;

// A two-channel discharge frame at second t, as the charger sends it.
QString Frame(qint64 t) {
  const double hours = double(t) / 3600.0;
  const int v1 = 1400 - int(std::lround(40.0 * hours)) % 400;
  const int v2 = 1392 - int(std::lround(42.0 * hours)) % 390;
  const int capacity1 = int(std::lround(500.0 * hours)) % 10000;
  const int capacity2 = int(std::lround(498.0 * hours)) % 10000;
  return QStringLiteral("$1,1,%1,%2,500,%3,25;1,%1,%4,498,%5,24\r\n")
      .arg(t)
      .arg(v1)
      .arg(capacity1)
      .arg(v2)
      .arg(capacity2);
}

double RssMib() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) {
    return -1;
  }
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) {
      return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
  }
  return -1;
}

double Percentile(std::vector<double> v, double p) {
  if (v.empty()) {
    return 0;
  }
  std::sort(v.begin(), v.end());
  const size_t i = std::min(v.size() - 1, size_t(std::ceil(p * double(v.size())) - 1));
  return v[i];
}

double Ms(const QElapsedTimer& t) {
  return double(t.nsecsElapsed()) / 1e6;
}

struct Rig {
  ReplayPort* port = nullptr;
  // Each tick's chunk is recorded, as the program does.
  QTemporaryDir storeDir;
  SystemClock clock;
  SessionRecording recording{
      SessionStore::Settings{.path = storeDir.filePath(QStringLiteral("sessions.db"))}, clock};
  std::unique_ptr<MainWindow> window;
  qint64 nextSecond = 0;

  Rig() {
    auto replay = std::make_unique<ReplayPort>();
    port = replay.get();
    MainWindowServices services;
    services.port = std::move(replay);
    services.recorder = &recording;
    services.portChanged = recording.PortHandler();
    window = std::make_unique<MainWindow>(std::move(services));
    window->show();
    window->Check3->click();  // the log pane in view: its repaint is part of a tick
    window->cmdOpenCOM->click();
    window->cmdStart->click();
    window->Timer1->stop();  // ticks are driven here
    window->Timer2->stop();
    QApplication::processEvents();
  }

  void Fill(qint64 points) {
    for (qint64 i = 0; i < points; ++i, ++nextSecond) {
      const QString frame = Frame(nextSecond);
      window->RichText1->AppendAndFollow(frame);
      const double v1 = frame.section(u',', 3, 3).toDouble();
      const double v2 = frame.section(u',', 9, 9).toDouble();
      window->iPlotX->AddPoint(0, double(nextSecond), v1);
      window->iPlotX->AddPoint(1, double(nextSecond), v2);
      if (i % 64 == 63) {
        // The window's event loop runs between passes; without it, queued
        // scroll and layout events would pile up as they never do in use.
        QApplication::processEvents();
      }
    }
    QApplication::processEvents();
  }

  std::vector<double> Ticks(int count) {
    std::vector<double> ms;
    ms.reserve(size_t(count));
    for (int i = 0; i < count; ++i, ++nextSecond) {
      port->Queue(Frame(nextSecond));
      QElapsedTimer t;
      t.start();
      window->OnAcquisitionTick();
      QApplication::processEvents();  // the queued replot and the repaints
      ms.push_back(Ms(t));
    }
    return ms;
  }

  double Replot() {
    auto* plot = window->iPlotX->findChild<QCustomPlot*>();
    std::vector<double> ms;
    for (int i = 0; i < 10 && plot; ++i) {
      QElapsedTimer t;
      t.start();
      plot->replot(QCustomPlot::rpImmediateRefresh);
      ms.push_back(Ms(t));
    }
    return Percentile(ms, 0.5);
  }

  double Save() {
    QTemporaryDir dir;
    QElapsedTimer t;
    t.start();
    const QByteArray bytes = SnapshotBytes(QDateTime::currentDateTime(), window->RichText1->Text());
    const bool ok = WriteFileAtomically(SnapshotFileName(dir.path()), bytes);
    const double ms = Ms(t);
    if (!ok) {
      std::fprintf(stderr, "save failed\n");
    }
    return ms;
  }
};

void RunFill(qint64 fill) {
  Rig rig;
  rig.Fill(fill);
  const std::vector<double> ticks = rig.Ticks(kTimedTicks);
  const double replot = rig.Replot();
  const double rss = RssMib();
  const double save = rig.Save();

  // The original design's costs cannot hold up at a week, so the naive run is
  // shorter there; its median is still over the same filled window.
  const int naiveTicks = fill >= 604800 ? 20 : fill >= 86400 ? 100 : kTimedTicks;
  rig.window->RichText1->SetAppendMode(LogPane::AppendMode::WholeTextReplacement);
  rig.window->iPlotX->SetNaiveYRescan(true);
  const std::vector<double> naive = rig.Ticks(naiveTicks);

  std::printf(
      "fill=%lld tick_median_ms=%.3f tick_p99_ms=%.3f replot_ms=%.3f rss_mib=%.1f save_ms=%.1f "
      "naive_tick_median_ms=%.3f\n",
      static_cast<long long>(fill), Percentile(ticks, 0.5), Percentile(ticks, 0.99), replot, rss,
      save, Percentile(naive, 0.5));
  std::fflush(stdout);
  std::fprintf(stderr, "# fill=%lld: %d timed ticks, %d naive ticks, log %lld characters\n",
               static_cast<long long>(fill), kTimedTicks, naiveTicks,
               static_cast<long long>(rig.window->RichText1->Text().size()));
}

double Startup() {
  // Time from constructing the window to its first paint.
  class FirstPaint : public QObject {
   public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint) {
        painted = true;
      }
      return false;
    }
  } probe;
  QElapsedTimer t;
  t.start();
  MainWindowServices services;
  services.port = std::make_unique<ReplayPort>();
  MainWindow window(std::move(services));
  window.installEventFilter(&probe);
  window.show();
  while (!probe.painted && t.elapsed() < 10000) {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return Ms(t);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  const bool quick = app.arguments().contains(QStringLiteral("--quick"));
  const double startup = Startup();
  std::vector<qint64> fills{0, 86400};
  if (!quick) {
    fills.push_back(604800);
  }
  for (const qint64 fill : fills) {
    RunFill(fill);
  }
  std::printf("startup_ms=%.1f\n", startup);
  return 0;
}
