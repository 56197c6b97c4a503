// Chart benchmark: the cost of one acquisition tick (a point on each trace
// plus the queued replot), a full replot at the window's chart size and the
// memory per point, with a day and a week of points on both traces, for the
// running y range and for the naive rescan on every point.
//
//   orvanta-bench-chart [--ticks N] [--png FILE]
//
// --png saves the week's chart with the cursor shown as FILE, and with the
// whole week in view as FILE with "-all" before ".png".
//
// Prints medians; asserts nothing. Run with QT_QPA_PLATFORM=offscreen.
#include <malloc.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "benchfigures.h"
#include "chartsetup.h"
#include "dischargechart.h"
#include "qcustomplot.h"

namespace {

constexpr int kDay = 86'400;
constexpr int kWeek = 604'800;

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

// A discharge-like voltage in mV at second t: a slow fall with a ripple.
double Voltage(int trace, int t) {
  return 1400 - 0.0004 * t + 8 * std::sin(t / (60.0 + 20 * trace)) + (t * 7919 % 13) * 0.5;
}

struct Figures {
  double bytesPerPoint = 0;
  double tickMs = 0;
  double naiveTickMs = 0;
  double replotMs = 0;
  double replotAllMs = 0;
};

double TimeTicks(DischargeChart& chart, int& t, int ticks) {
  std::vector<double> times;
  QElapsedTimer timer;
  for (int i = 0; i < ticks; ++i, ++t) {
    timer.start();
    chart.AddPoint(0, t, Voltage(0, t));
    chart.AddPoint(1, t, Voltage(1, t));
    QCoreApplication::processEvents();
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  return Median(times);
}

double TimeReplots(QCustomPlot& plot, int count) {
  std::vector<double> times;
  QElapsedTimer timer;
  for (int i = 0; i < count; ++i) {
    timer.start();
    plot.replot(QCustomPlot::rpImmediateRefresh);
    times.push_back(timer.nsecsElapsed() / 1e6);
  }
  return Median(times);
}

Figures Measure(int points, int ticks, const QString& png) {
  Figures f;
  DischargeChart chart;
  chart.resize(953, 465);
  ApplyChartStartUp(chart);
  chart.show();
  if (!QTest::qWaitForWindowExposed(&chart)) {
    std::fprintf(stderr, "chart window not exposed\n");
  }
  QCoreApplication::processEvents();

  const size_t before = HeapInUse();
  int t = 0;
  for (; t < points; ++t) {
    chart.AddPoint(0, t, Voltage(0, t));
    chart.AddPoint(1, t, Voltage(1, t));
  }
  QCoreApplication::processEvents();
  f.bytesPerPoint = double(HeapInUse() - before) / (2.0 * points);

  f.tickMs = TimeTicks(chart, t, ticks);
  chart.SetNaiveYRescan(true);
  f.naiveTickMs = TimeTicks(chart, t, std::max(20, ticks / 5));
  chart.SetNaiveYRescan(false);

  // The chart's own queued replot picks what to draw; plain replots after it
  // redraw the same.
  QCoreApplication::processEvents();
  auto* plot = chart.findChild<QCustomPlot*>();
  f.replotMs = TimeReplots(*plot, 50);
  if (!png.isEmpty()) {
    chart.SetCursorVisible(true);
    QCoreApplication::processEvents();
    chart.grab().save(png);
    chart.SetCursorVisible(false);
  }
  // The whole trace in view: adaptive sampling keeps this bounded.
  chart.SetTrackingPaused(true);
  chart.SetAxisMin(ChartAxis::X, 0);
  chart.SetAxisSpan(ChartAxis::X, t);
  QCoreApplication::processEvents();
  f.replotAllMs = TimeReplots(*plot, 20);
  if (!png.isEmpty()) {
    QString whole = png;
    whole.replace(QStringLiteral(".png"), QStringLiteral("-all.png"));
    chart.grab().save(whole);
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  int ticks = 300;
  QString png;
  const QStringList args = app.arguments();
  for (int i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == QStringLiteral("--ticks")) {
      ticks = std::max(1, args[i + 1].toInt());
    } else if (args[i] == QStringLiteral("--png")) {
      png = args[i + 1];
    }
  }
  std::printf("chart benchmark: two traces, %d ticks per size, 953 x 465\n", ticks);
  std::printf("%10s %12s %12s %12s %8s %12s %14s\n", "points", "tick ms", "naive ms", "naive/run",
              "B/point", "replot ms", "replot-all ms");
  for (int points : {kDay, kWeek}) {
    const Figures f = Measure(points, ticks, points == kWeek ? png : QString());
    std::printf("%10d %12.3f %12.3f %12.1f %8.1f %12.3f %14.3f\n", points, f.tickMs, f.naiveTickMs,
                f.naiveTickMs / f.tickMs, f.bytesPerPoint, f.replotMs, f.replotAllMs);
  }
  std::printf("targets at %d points: tick <= 2 ms, replot <= 10 ms, <= 40 B/point\n", kWeek);
  return 0;
}
