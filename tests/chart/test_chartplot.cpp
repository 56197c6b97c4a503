// The chart's plot: its grid against QCustomPlot's own, and scrolled
// redraws that move the traces' picture against a full redraw.
#include <QScreen>
#include <QTest>
#include <cmath>
#include <functional>
#include <memory>

#include "chartlook.h"
#include "chartplot.h"
#include "chartsetup.h"
#include "dischargechart.h"
#include "qcustomplot.h"

namespace {

// Adds one tick's points: the tick's number, and the chart.
using Feed = std::function<void(int, DischargeChart&)>;

double Ripple(double t) {
  return 60 * std::sin(t / 7.0) + std::fmod(t * 37, 23);
}

// A point a second on both traces from `from`, `seconds` a tick.
Feed Seconds(int from, int seconds) {
  return [=](int tick, DischargeChart& chart) {
    for (int s = 0; s < seconds; ++s) {
      const double t = from + tick * seconds + s;
      chart.AddPoint(0, t, 1300 + Ripple(t));
      chart.AddPoint(1, t, 1200 - Ripple(t));
    }
  };
}

}  // namespace

class TestChartPlot : public QObject {
  Q_OBJECT
 private slots:
  void gridDrawsAsTheAxesOwn_data();
  void gridDrawsAsTheAxesOwn();
  void movedTracesMatchAFullRedraw_data();
  void movedTracesMatchAFullRedraw();
};

void TestChartPlot::gridDrawsAsTheAxesOwn_data() {
  QTest::addColumn<QCPRange>("x");
  QTest::addColumn<QCPRange>("y");
  QTest::addColumn<bool>("subGrid");
  QTest::addColumn<bool>("zeroLine");
  QTest::addColumn<bool>("antialiased");
  QTest::newRow("the chart's own")
      << QCPRange(0, 3500) << QCPRange(1000, 1500) << true << false << false;
  QTest::newRow("no sub grid") << QCPRange(120, 480) << QCPRange(900, 1400) << false << false
                               << false;
  QTest::newRow("zero line in both")
      << QCPRange(-40, 70) << QCPRange(-3, 11) << true << true << false;
  QTest::newRow("antialiased") << QCPRange(0.5, 7.25) << QCPRange(1000, 1001) << true << true
                               << true;
}

// The grid drawn one call a pen is what QCPGrid draws one call a line.
void TestChartPlot::gridDrawsAsTheAxesOwn() {
  QFETCH(QCPRange, x);
  QFETCH(QCPRange, y);
  QFETCH(bool, subGrid);
  QFETCH(bool, zeroLine);
  QFETCH(bool, antialiased);
  const QColor background(20, 30, 40);
  ChartPlot ours;
  ours.SetBackdrop(background);
  QCustomPlot theirs;
  theirs.setBackground(background);
  for (QCustomPlot* plot : {static_cast<QCustomPlot*>(&ours), &theirs}) {
    for (QCPAxis* axis : {plot->xAxis, plot->yAxis}) {
      StyleChartAxis(*axis, QFont());
      axis->grid()->setSubGridVisible(subGrid);
      axis->grid()->setZeroLinePen(zeroLine ? QPen(Qt::green, 1) : QPen(Qt::NoPen));
      axis->grid()->setAntialiased(antialiased);
      axis->grid()->setAntialiasedSubGrid(antialiased);
      axis->grid()->setAntialiasedZeroLine(antialiased);
    }
    plot->xAxis->setRange(x);
    plot->yAxis->setRange(y);
  }
  // The backdrop, clipped as QCustomPlot clips every layerable (a pixel
  // up), leaves the bottom row; the grid never reaches it.
  const auto picture = [](QCustomPlot& plot) {
    return plot.toPixmap(640, 420)
        .toImage()
        .copy(0, 0, 640, 419)
        .convertToFormat(QImage::Format_RGB32);
  };
  const QImage ourImage = picture(ours);
  const QImage theirImage = picture(theirs);
  QCOMPARE(ourImage.size(), theirImage.size());
  QVERIFY(ourImage == theirImage);
}

void TestChartPlot::movedTracesMatchAFullRedraw_data() {
  QTest::addColumn<Feed>("fill");  // before the ticks, drawn at once
  QTest::addColumn<Feed>("tick");
  QTest::addColumn<int>("ticks");
  QTest::addColumn<bool>("moves");  // whether the picture must have moved
  const Feed none = [](int, DischargeChart&) {};
  const auto dense = [](int to) {
    return [to](int, DischargeChart& chart) { Seconds(0, to)(0, chart); };
  };
  QTest::newRow("a second a tick, a long line in view") << Feed([](int, DischargeChart& chart) {
    for (int trace = 0; trace < 2; ++trace) {
      chart.AddPoint(trace, 0, 1250 - 100 * trace);
      chart.AddPoint(trace, 50, 1280 - 100 * trace);
    }
  }) << Seconds(3495, 1) << 40 << true;
  QTest::newRow("a second a tick, dense") << Feed(dense(6000)) << Seconds(6000, 1) << 40 << true;
  QTest::newRow("five seconds a tick") << Feed(dense(6000)) << Seconds(6000, 5) << 20 << true;
  QTest::newRow("trace 2 behind") << Feed([](int, DischargeChart& chart) {
    for (int t = 0; t < 6000; ++t) {
      chart.AddPoint(0, t, 1300 + Ripple(t));
      if (t < 5100) {
        chart.AddPoint(1, t, 1150 + Ripple(t + 900));
      }
    }
  }) << Feed([](int tick, DischargeChart& chart) {
    const double t = 6000 + tick;
    chart.AddPoint(0, t, 1300 + Ripple(t));
    chart.AddPoint(1, t - 900, 1150 + Ripple(t));
  }) << 40 << true;
  QTest::newRow("overview, ten points a second") << Feed([](int, DischargeChart& chart) {
    for (int i = 0; i < 60000; ++i) {
      chart.AddPoint(0, i / 10.0, 1300 + Ripple(i / 3.0));
      chart.AddPoint(1, i / 10.0, 1200 - Ripple(i / 3.0));
    }
  }) << Feed([](int tick, DischargeChart& chart) {
    for (int i = 0; i < 10; ++i) {
      const double t = 6000 + tick + i / 10.0;
      chart.AddPoint(0, t, 1300 + Ripple(t * 10 / 3.0));
      chart.AddPoint(1, t, 1200 - Ripple(t * 10 / 3.0));
    }
  }) << 30 << true;
  // Where the picture cannot be moved, it is redrawn.
  QTest::newRow("a line from beyond the left edge")
      << Feed([](int, DischargeChart& chart) { Seconds(0, 40)(0, chart); }) << Seconds(40000, 1)
      << 30 << false;
  QTest::newRow("a line running back in view")
      << Feed(dense(6000)) << Feed([](int tick, DischargeChart& chart) {
           const double t = tick == 5 ? 5990 : 6000 + tick - (tick > 5 ? 9 : 0);
           chart.AddPoint(0, t, 1300 + Ripple(t));
           chart.AddPoint(1, t, 1200 - Ripple(t));
         })
      << 40 << false;
  QTest::newRow("nothing before") << none << Seconds(3490, 2) << 30 << false;
}

// What the screen shows after scrolled redraws that moved the traces'
// picture is what a full redraw shows.
void TestChartPlot::movedTracesMatchAFullRedraw() {
  QFETCH(Feed, fill);
  QFETCH(Feed, tick);
  QFETCH(int, ticks);
  QFETCH(bool, moves);
  auto chart = std::make_unique<DischargeChart>();
  chart->resize(953, 465);
  ApplyChartStartUp(*chart);
  chart->show();
  QVERIFY(QTest::qWaitForWindowExposed(chart.get()));
  const auto* plot = chart->findChild<ChartPlot*>();
  QVERIFY(plot);
  fill(0, *chart);
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  for (int i = 0; i < ticks; ++i) {
    tick(i, *chart);
    // The redraw, then the paint it posts.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  }
  if (moves) {
    QVERIFY(plot->TraceMoves() > 0);
  }
  QScreen* screen = chart->screen();
  const QImage shown = screen->grabWindow(chart->winId()).toImage();
  chart->SetTitle(chart->Title());  // a full redraw
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  const QImage full = screen->grabWindow(chart->winId()).toImage();
  QCOMPARE(shown.size(), full.size());
  QVERIFY(shown == full);
}

QTEST_MAIN(TestChartPlot)
#include "test_chartplot.moc"
