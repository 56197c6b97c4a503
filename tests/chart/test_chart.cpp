// The discharge chart: set-up look, tracking, order of points, visibility,
// clearing, the data cursor, exports and coalesced redraws.
#include <QAccessible>
#include <QAction>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QMenu>
#include <QPrinter>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>

#include "chartaccessibility.h"
#include "chartdialogs.h"
#include "chartsetup.h"
#include "colourcount.h"
#include "dischargechart.h"
#include "pdfwords.h"
#include "reviewplot.h"

namespace {

using Points = QList<QPointF>;

// A chart set up as the window sets it up.
std::unique_ptr<DischargeChart> MakeChart() {
  auto chart = std::make_unique<DischargeChart>();
  chart->resize(953, 465);
  ApplyChartStartUp(*chart);
  return chart;
}

void AddAll(DischargeChart& chart, int trace, const Points& points) {
  for (const QPointF& p : points) {
    chart.AddPoint(trace, p.x(), p.y());
  }
}

QStringList Strings(std::initializer_list<const char*> texts) {
  QStringList list;
  for (const char* t : texts) {
    list << QString::fromUtf8(t);
  }
  return list;
}

class FakeDialogs : public ChartDialogs {
 public:
  QString imagePath;
  QString csvPath;
  bool printAccepted = false;
  int printAsked = 0;
  QStringList errors;

  QString ImageFileToSave(QWidget*) override { return imagePath; }
  QString CsvFileToSave(QWidget*) override { return csvPath; }
  QString printPdf;  // where an accepted print goes, as a PDF
  QPageSize pageSize{QPageSize::A4};
  std::optional<QPageLayout::Orientation> orientation;  // the chart's own when unset
  QRectF printablePt;  // the accepted printer's printable area, in points
  int printerDpi = 0;
  bool SetUpPrinter(QWidget*, QPrinter& printer) override {
    ++printAsked;
    if (printAccepted) {
      printer.setOutputFormat(QPrinter::PdfFormat);
      printer.setOutputFileName(printPdf);
      printer.setPageSize(pageSize);
      if (orientation) {
        printer.setPageOrientation(*orientation);
      }
      printablePt = printer.pageRect(QPrinter::Point);
      printerDpi = printer.resolution();
    }
    return printAccepted;
  }
  void ShowError(QWidget*, const QString& text) override { errors << text; }
};

}  // namespace

class TestChart : public QObject {
  Q_OBJECT
 private slots:
  void setUpLook();
  void axisTitleFontFallsBackToInstalledFace();
  void tracking_data();
  void tracking();
  void trackingOverPasses_data();
  void trackingOverPasses();
  void cursorHintStaysInThePlotArea_data();
  void cursorHintStaysInThePlotArea();
  void pointRunningBackKeepsOrder();
  void hiddenTraceKeepsPoints();
  void clearDuringAcquisition();
  void cursorModes_data();
  void cursorModes();
  void legendShowsValuesWithCursor();
  void cursorMenuOffersSixModes();
  void cursorPointerFollowsMouse();
  void zoomAndPause();
  void xRangeStartsAtZeroOrLater_data();
  void xRangeStartsAtZeroOrLater();
  void csvExport();
  void toolbarExportsThroughDialogs();
  void printedPageMatchesSavedPdf_data();
  void printedPageMatchesSavedPdf();
  void renderedImageShowsBothTraces();
  void zoomedOutKeepsPeaks();
  void severalPointsAPixelKeepEveryPeak();
  void replotsAreCoalesced();
  void screenMatchesAFullRedraw_data();
  void screenMatchesAFullRedraw();
  void takesNoFocus();
  void cursorKeysStepPointByPoint_data();
  void cursorKeysStepPointByPoint();
  void tellsScreenReadersTheNewestPoints();
};

void TestChart::setUpLook() {
  auto chart = MakeChart();
  QCOMPARE(chart->Title(), QStringLiteral("实时曲线"));
  QVERIFY(chart->TitleFont().bold());
  QCOMPARE(chart->TitleFont().pointSize(), 14);
  QCOMPARE(chart->TitleColour(), QColor(Qt::white));
  QCOMPARE(chart->AxisMin(ChartAxis::X), 0.0);
  QCOMPARE(chart->AxisSpan(ChartAxis::X), 3500.0);
  QCOMPARE(chart->AxisMin(ChartAxis::Y), 1000.0);
  QCOMPARE(chart->AxisSpan(ChartAxis::Y), 500.0);
  QCOMPARE(chart->AxisTitle(ChartAxis::X), QStringLiteral("时间(S)"));
  QCOMPARE(chart->AxisTitle(ChartAxis::Y), QStringLiteral("电压(mV)"));
  for (ChartAxis axis : {ChartAxis::X, ChartAxis::Y}) {
    const QFont font = chart->AxisTitleFont(axis);
    QCOMPARE(font.families().value(0), QStringLiteral("宋体"));
    QCOMPARE(font.pointSize(), 12);
    QVERIFY(font.bold());
    QCOMPARE(chart->AxisTitleColour(axis), QColor(Qt::white));
    QCOMPARE(chart->TickLabelFont(axis).pointSize(), 8);
    QCOMPARE(chart->TickLabelColour(axis), QColor(Qt::white));
    QCOMPARE(chart->ScaleLineColour(axis), QColor(Qt::white));
    QVERIFY(chart->GridVisible(axis));
  }
  QCOMPARE(chart->TraceTitle(0), QStringLiteral("通道1"));
  QCOMPARE(chart->TraceTitle(1), QStringLiteral("通道2"));
  // Trace 0 red, trace 1 yellow, on black.
  QCOMPARE(chart->TraceColour(0), QColor(255, 0, 0));
  QCOMPARE(chart->TraceColour(1), QColor(255, 255, 0));
  QCOMPARE(chart->BackgroundColour(), QColor(0, 0, 0));
  QVERIFY(chart->BackgroundColour().lightness() < 64);
  QVERIFY(chart->TraceVisible(0) && chart->TraceVisible(1));
  QVERIFY(!chart->CursorVisible());

  // The title is painted in white in the band above the plot area.
  chart->resize(900, 450);
  chart->show();
  QVERIFY(QTest::qWaitForWindowExposed(chart.get()));
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  auto* plot = chart->findChild<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  for (QWidget* child : chart->findChildren<QWidget*>()) {
    plot = child->inherits("QCustomPlot") ? child : plot;
  }
  const QImage image = plot->grab().toImage();
  int titlePixels = 0;
  for (int y = 0; y < chart->PlotArea().top(); ++y) {
    for (int x = image.width() / 3; x < image.width() * 2 / 3; ++x) {
      titlePixels += image.pixelColor(x, y) == QColor(Qt::white) ? 1 : 0;
    }
  }
  QVERIFY2(titlePixels > 20, qPrintable(QString::number(titlePixels)));
}

void TestChart::axisTitleFontFallsBackToInstalledFace() {
  auto chart = MakeChart();
  const QString resolved = QFontInfo(chart->AxisTitleFont(ChartAxis::Y)).family();
  // "宋体" is not installed here; the face drawn must be one that is, and a
  // Song face from the fallback list rather than whatever the default is.
  QVERIFY2(QFontDatabase::families().contains(resolved), qPrintable(resolved));
  QVERIFY2(chart->AxisTitleFont(ChartAxis::Y).families().contains(resolved) ||
               QFontDatabase::families().contains(QStringLiteral("宋体")),
           qPrintable(resolved));
}

void TestChart::tracking_data() {
  QTest::addColumn<Points>("points");
  QTest::addColumn<QPointF>("xRange");  // lower, upper
  QTest::addColumn<QPointF>("yRange");
  QTest::newRow("inside: axes stay")
      << Points{{10, 1200}, {3500, 1500}, {0, 1000}} << QPointF(0, 3500) << QPointF(1000, 1500);
  QTest::newRow("x 3600 scrolls to 100-3600")
      << Points{{3600, 1200}} << QPointF(100, 3600) << QPointF(1000, 1500);
  QTest::newRow("x keeps scrolling with the newest point")
      << Points{{3600, 1200}, {3700, 1200}, {3650, 1200}} << QPointF(200, 3700)
      << QPointF(1000, 1500);
  QTest::newRow("x left of the range, near 0: from 0")
      << Points{{5000, 1200}, {20, 1200}} << QPointF(0, 3500) << QPointF(1000, 1500);
  QTest::newRow("x left of the range shows at the right end")
      << Points{{9000, 1200}, {5000, 1200}} << QPointF(1500, 5000) << QPointF(1000, 1500);
  QTest::newRow("x left of the range, other trace a little ahead: both show")
      << Points{{9000, 1200}, {6000, 1200}, {5000, 1200}} << QPointF(2500, 6000)
      << QPointF(1000, 1500);
  QTest::newRow("negative x may show below 0")
      << Points{{5000, 1200}, {-20, 1200}} << QPointF(-3520, -20) << QPointF(1000, 1500);
  // Y fits the data with a margin of 5 % of its extent on each side.
  QTest::newRow("y 1620 widens to the data")
      << Points{{1, 1200}, {2, 1620}} << QPointF(0, 3500) << QPointF(1179, 1641);
  QTest::newRow("y below widens to the data")
      << Points{{1, 1300}, {2, 1400}, {3, 900}} << QPointF(0, 3500) << QPointF(875, 1425);
  QTest::newRow("lone y outside keeps the span around it")
      << Points{{1, 1620}} << QPointF(0, 3500) << QPointF(1370, 1870);
  QTest::newRow("y rescales over both traces' extremes")
      << Points{{1, 1100}, {2, 1450}, {3, 1700}} << QPointF(0, 3500) << QPointF(1070, 1730);
}

void TestChart::tracking() {
  QFETCH(Points, points);
  QFETCH(QPointF, xRange);
  QFETCH(QPointF, yRange);
  for (bool naive : {false, true}) {
    auto chart = MakeChart();
    chart->SetNaiveYRescan(naive);
    // Alternate traces: the y range covers every point held in either.
    for (int i = 0; i < points.size(); ++i) {
      chart->AddPoint(i % 2, points[i].x(), points[i].y());
    }
    QCOMPARE(chart->AxisMin(ChartAxis::X), xRange.x());
    QCOMPARE(chart->AxisMin(ChartAxis::X) + chart->AxisSpan(ChartAxis::X), xRange.y());
    QCOMPARE(chart->AxisMin(ChartAxis::Y), yRange.x());
    QCOMPARE(chart->AxisMin(ChartAxis::Y) + chart->AxisSpan(ChartAxis::Y), yRange.y());
  }
}

// Passes of both channels, each adding channel 1's point then channel 2's:
// first `passes` with x = t + base1 and t + base2 (t from 1), then
// `restarts` more with x = t + restart1 and t + restart2 (t from 1 again).
// After every pass channel 2's newest point, the last plotted, is in view
// with the point before it; so are both newest points when they fit in one
// span.
void TestChart::trackingOverPasses_data() {
  QTest::addColumn<int>("passes");
  QTest::addColumn<QPointF>("base");  // base1, base2
  QTest::addColumn<int>("restarts");
  QTest::addColumn<QPointF>("restart");
  QTest::addColumn<QPointF>("xRange");  // after the last pass
  QTest::newRow("channel 1 ahead by more than the span")
      << 300 << QPointF(5000, 0) << 0 << QPointF() << QPointF(0, 3500);
  QTest::newRow("channel 2 ahead by more than the span")
      << 300 << QPointF(0, 5000) << 0 << QPointF() << QPointF(1800, 5300);
  QTest::newRow("channels apart by less than the span")
      << 300 << QPointF(9000, 6000) << 0 << QPointF() << QPointF(5800, 9300);
  QTest::newRow("restart of both at 0")
      << 300 << QPointF(10000, 10000) << 5 << QPointF(0, 0) << QPointF(0, 3500);
  QTest::newRow("restart of channel 1 only")
      << 300 << QPointF(10000, 10000) << 5 << QPointF(0, 10300) << QPointF(6805, 10305);
  QTest::newRow("restart of channel 2 only")
      << 300 << QPointF(10000, 10000) << 5 << QPointF(10300, 0) << QPointF(0, 3500);
}

void TestChart::trackingOverPasses() {
  QFETCH(int, passes);
  QFETCH(QPointF, base);
  QFETCH(int, restarts);
  QFETCH(QPointF, restart);
  QFETCH(QPointF, xRange);
  auto chart = MakeChart();
  auto inView = [&](double x) {
    const double lower = chart->AxisMin(ChartAxis::X);
    return x >= lower && x <= lower + chart->AxisSpan(ChartAxis::X);
  };
  double previous2 = qQNaN();
  for (int i = 0; i < passes + restarts; ++i) {
    const bool restarted = i >= passes;
    const double t = restarted ? i - passes + 1 : i + 1;
    const double x1 = t + (restarted ? restart.x() : base.x());
    const double x2 = t + (restarted ? restart.y() : base.y());
    chart->AddPoint(0, x1, 1200);
    chart->AddPoint(1, x2, 1200);
    QVERIFY2(inView(x2), qPrintable(QStringLiteral("pass %1").arg(i)));
    if (previous2 < x2) {
      QVERIFY2(inView(previous2), qPrintable(QStringLiteral("pass %1").arg(i)));
    }
    if (std::abs(x1 - x2) <= 3500) {
      QVERIFY2(inView(x1), qPrintable(QStringLiteral("pass %1").arg(i)));
    }
    previous2 = x2;
  }
  QCOMPARE(chart->AxisMin(ChartAxis::X), xRange.x());
  QCOMPARE(chart->AxisMin(ChartAxis::X) + chart->AxisSpan(ChartAxis::X), xRange.y());
}

// The hint stays inside the plot area wherever the pointer stands, so it
// never covers the tick labels or the legend.
void TestChart::cursorHintStaysInThePlotArea_data() {
  QTest::addColumn<double>("fraction");
  QTest::addColumn<double>("y");
  QTest::newRow("middle") << 0.5 << 1250.0;
  QTest::newRow("97 % of the width") << 0.97 << 1250.0;
  QTest::newRow("right edge, near the bottom") << 1.0 << 1001.0;
  QTest::newRow("left edge, near the top") << 0.0 << 1499.0;
}

void TestChart::cursorHintStaysInThePlotArea() {
  QFETCH(double, fraction);
  QFETCH(double, y);
  auto chart = MakeChart();
  AddAll(*chart, 0, {{0, y}, {3500, y}});
  chart->SetCursorVisible(true);
  chart->SetCursorPointer(0, fraction);
  chart->RenderImage();
  chart->RenderImage();  // the second drawing places the hint on the laid-out plot area
  const QRectF hint = chart->CursorHintRect();
  QVERIFY(hint.width() > 20 && hint.height() > 10);
  QVERIFY2(QRectF(chart->PlotArea()).contains(hint), qPrintable(QStringLiteral("hint %1,%2 %3x%4")
                                                                    .arg(hint.x())
                                                                    .arg(hint.y())
                                                                    .arg(hint.width())
                                                                    .arg(hint.height())));
}

void TestChart::pointRunningBackKeepsOrder() {
  auto chart = MakeChart();
  const Points points{{100, 1200}, {200, 1300}, {200, 1310}, {50, 1250},
                      {60, 1260},  {150, 1280}, {40, 1240}};
  AddAll(*chart, 0, points);
  QCOMPARE(chart->PointCount(0), points.size());
  for (int i = 0; i < points.size(); ++i) {
    QCOMPARE(chart->Point(0, i), points[i]);
  }
  QCOMPARE(chart->TraceRunCount(0), 3);
  QCOMPARE(chart->PointCount(1), 0);

  // The line runs back from (200, 1310) to (50, 1250): with trace 0 alone on
  // a zoomed axis, its colour shows halfway along that stretch.
  chart->SetAxisMin(ChartAxis::X, 0);
  chart->SetAxisSpan(ChartAxis::X, 250);
  chart->SetAxisMin(ChartAxis::Y, 1200);
  chart->SetAxisSpan(ChartAxis::Y, 120);
  const QImage image = chart->RenderImage();
  QVERIFY(CountColour(image, QColor(255, 0, 0)) > 100);
}

void TestChart::hiddenTraceKeepsPoints() {
  auto chart = MakeChart();
  AddAll(*chart, 1, {{10, 1200}, {20, 1300}});
  chart->SetTraceVisible(1, false);
  // Points keep arriving while hidden, including one that starts a new run.
  AddAll(*chart, 1, {{30, 1400}, {5, 1250}, {3000, 1450}});
  QVERIFY(!chart->TraceVisible(1));
  QCOMPARE(chart->PointCount(1), 5);
  QImage image = chart->RenderImage();
  QCOMPARE(CountColour(image, QColor(255, 255, 0), chart->PlotArea()), 0);
  chart->SetTraceVisible(1, true);
  QCOMPARE(chart->PointCount(1), 5);
  QCOMPARE(chart->Point(1, 4), QPointF(3000, 1450));
  image = chart->RenderImage();
  QVERIFY(CountColour(image, QColor(255, 255, 0), chart->PlotArea()) > 100);
}

void TestChart::clearDuringAcquisition() {
  auto chart = MakeChart();
  AddAll(*chart, 0, {{3600, 1200}, {3601, 1620}});
  AddAll(*chart, 1, {{3605, 900}});
  chart->SetTraceVisible(1, false);
  chart->SetTraceTitle(0, QStringLiteral("x"));
  const double xMin = chart->AxisMin(ChartAxis::X);
  const double yMin = chart->AxisMin(ChartAxis::Y);
  chart->ClearChart();
  QCOMPARE(chart->PointCount(0), 0);
  QCOMPARE(chart->PointCount(1), 0);
  QCOMPARE(chart->TraceTitle(0), QStringLiteral("通道1"));
  QCOMPARE(chart->TraceTitle(1), QStringLiteral("通道2"));
  QVERIFY(!chart->TraceVisible(1));
  // Both axes are back at their start: a new test is not pinned to the
  // right end of the last one's range.
  QVERIFY(xMin > 0 && yMin < 1000);
  QCOMPARE(chart->AxisMin(ChartAxis::X), 0.0);
  QCOMPARE(chart->AxisSpan(ChartAxis::X), 3500.0);
  QCOMPARE(chart->AxisMin(ChartAxis::Y), 1000.0);
  QCOMPARE(chart->AxisSpan(ChartAxis::Y), 500.0);
  // The next pass starts fresh traces; the y range only knows the new data.
  chart->AddPoint(0, 3602, 1000);
  chart->AddPoint(0, 3603, 1700);
  QCOMPARE(chart->PointCount(0), 2);
  QCOMPARE(chart->Point(0, 0), QPointF(3602, 1000));
  QCOMPARE(chart->AxisMin(ChartAxis::Y), 965.0);
  QCOMPARE(chart->AxisMin(ChartAxis::Y) + chart->AxisSpan(ChartAxis::Y), 1735.0);
}

void TestChart::cursorModes_data() {
  QTest::addColumn<ChartCursorMode>("mode");
  QTest::addColumn<double>("reading");
  QTest::addColumn<QString>("hint");
  // Trace 0 through (1000,1200) (2000,1400) (3000,1300); X 0-3500, so the
  // pointers at 50 % and 60 % stand at x 1750 and 2100.
  QTest::newRow("Value X-Y") << ChartCursorMode::ValueXY << 1350.0
                             << QStringLiteral("X: 1750.000\nY: 1350.000");
  QTest::newRow("Value X") << ChartCursorMode::ValueX << 1750.0 << QStringLiteral("X: 1750.000");
  QTest::newRow("Value Y") << ChartCursorMode::ValueY << 1350.0 << QStringLiteral("Y: 1350.000");
  QTest::newRow("Period") << ChartCursorMode::Period << 350.0 << QStringLiteral("Period: 350.000");
  QTest::newRow("Peak-Peak") << ChartCursorMode::PeakPeak << 40.0
                             << QStringLiteral("Peak-Peak: 40.000");
  QTest::newRow("Frequency") << ChartCursorMode::Frequency << 1.0 / 350
                             << QStringLiteral("Frequency: 0.00286");
}

void TestChart::cursorModes() {
  QFETCH(ChartCursorMode, mode);
  QFETCH(double, reading);
  QFETCH(QString, hint);
  auto chart = MakeChart();
  AddAll(*chart, 0, {{1000, 1200}, {2000, 1400}, {3000, 1300}});
  AddAll(*chart, 1, {{1000, 1250}, {3000, 1250}});
  chart->SetCursorVisible(true);
  QCOMPARE(chart->CursorMode(), ChartCursorMode::ValueXY);
  chart->SetCursorMode(mode);
  QCOMPARE(chart->CursorPointerX(0), 1750.0);
  QCOMPARE(chart->CursorPointerX(1), 2100.0);
  QVERIFY(std::abs(chart->CursorReading() - reading) < 1e-9);
  QCOMPARE(chart->CursorHint(), hint);
}

void TestChart::legendShowsValuesWithCursor() {
  auto chart = MakeChart();
  AddAll(*chart, 0, {{1000, 1200}, {2000, 1400}, {3000, 1300}});
  AddAll(*chart, 1, {{1000, 1250}, {3000, 1255}});
  QVERIFY(chart->LegendValues(0).isEmpty());
  chart->SetCursorVisible(true);
  QCOMPARE(chart->LegendValues(0),
           (Strings({"1750.000", "1350.000", "1400.000", "1200.000", "1300.000"})));
  QCOMPARE(chart->LegendValues(1),
           (Strings({"1750.000", "1251.875", "1255.000", "1250.000", "1252.500"})));
  // A pointer off the data reads no value.
  chart->SetCursorPointer(0, 0.1);
  QCOMPARE(chart->LegendValues(1).value(1), QStringLiteral("-"));
  chart->SetCursorVisible(false);
  QVERIFY(chart->LegendValues(1).isEmpty());
}

void TestChart::cursorMenuOffersSixModes() {
  auto chart = MakeChart();
  QStringList texts;
  for (QAction* a : chart->CursorMenu()->actions()) {
    texts << a->text();
  }
  QCOMPARE(texts,
           (Strings({"Value X-Y", "Value X", "Value Y", "Period", "Peak-Peak", "Frequency"})));
  QVERIFY(chart->CursorMenu()->actions().at(0)->isChecked());
  chart->CursorMenu()->actions().at(4)->trigger();
  QCOMPARE(chart->CursorMode(), ChartCursorMode::PeakPeak);
  QVERIFY(!chart->CursorMenu()->actions().at(0)->isChecked());
}

void TestChart::cursorPointerFollowsMouse() {
  auto chart = MakeChart();
  AddAll(*chart, 0, {{0, 1000}, {3500, 1350}});
  chart->show();
  QVERIFY(QTest::qWaitForWindowExposed(chart.get()));
  chart->Action(ChartCommand::Cursor)->trigger();
  QVERIFY(chart->CursorVisible());
  QCoreApplication::processEvents();
  QWidget* plot = nullptr;
  for (QWidget* w : chart->findChildren<QWidget*>()) {
    if (w->inherits("QCustomPlot")) {
      plot = w;
    }
  }
  QVERIFY(plot != nullptr);
  const QRect area = chart->PlotArea();
  const int y = area.center().y();
  const QPoint grab(area.left() + area.width() / 2, y);
  const QPoint drop(area.left() + area.width() / 5, y);
  // Far from a pointer the press takes nothing.
  QTest::mousePress(plot, Qt::LeftButton, {}, QPoint(area.left() + 10, y));
  QTest::mouseMove(plot, drop);
  QTest::mouseRelease(plot, Qt::LeftButton, {}, drop);
  QCOMPARE(chart->CursorPointerX(0), 1750.0);

  QTest::mousePress(plot, Qt::LeftButton, {}, grab);
  QTest::mouseMove(plot, drop);
  QTest::mouseRelease(plot, Qt::LeftButton, {}, drop);
  QVERIFY(std::abs(chart->CursorPointerX(0) - 700) < 10);
  QVERIFY(chart->CursorHint().startsWith(QStringLiteral("X: ")));
  // The axes never follow the mouse.
  QCOMPARE(chart->AxisMin(ChartAxis::X), 0.0);
  QCOMPARE(chart->AxisSpan(ChartAxis::X), 3500.0);
}

void TestChart::zoomAndPause() {
  auto chart = MakeChart();
  chart->Action(ChartCommand::ZoomIn)->trigger();
  QCOMPARE(chart->AxisSpan(ChartAxis::X), 1750.0);
  QCOMPARE(chart->AxisSpan(ChartAxis::Y), 250.0);
  chart->Action(ChartCommand::ZoomOut)->trigger();
  chart->Action(ChartCommand::ZoomOut)->trigger();
  QCOMPARE(chart->AxisSpan(ChartAxis::X), 7000.0);
  QCOMPARE(chart->AxisSpan(ChartAxis::Y), 1000.0);

  chart->Action(ChartCommand::PauseTracking)->trigger();
  QVERIFY(chart->TrackingPaused());
  const double xMin = chart->AxisMin(ChartAxis::X);
  const double yMin = chart->AxisMin(ChartAxis::Y);
  AddAll(*chart, 0, {{9000, 2000}, {9100, 400}});
  QCOMPARE(chart->PointCount(0), 2);
  QCOMPARE(chart->AxisMin(ChartAxis::X), xMin);
  QCOMPARE(chart->AxisMin(ChartAxis::Y), yMin);
  chart->Action(ChartCommand::PauseTracking)->trigger();
  QVERIFY(!chart->TrackingPaused());
  QCOMPARE(chart->AxisMin(ChartAxis::X) + chart->AxisSpan(ChartAxis::X), 9100.0);
  QCOMPARE(chart->AxisSpan(ChartAxis::X), 7000.0);
  QCOMPARE(chart->AxisMin(ChartAxis::Y), 320.0);
  QCOMPARE(chart->AxisSpan(ChartAxis::Y), 1760.0);
}

// Steps: "add T FROM TO STEP" adds points x = FROM, FROM + STEP, ... TO to
// trace T at 1200 mV (or at "add T FROM TO STEP Y"); "zoomin", "zoomout",
// "fit" and "clear" press the toolbar's buttons or clear the chart. After
// every step but a zoom in the newest point is in view, and after every
// step the X range starts at 0 or later while no point's x is negative.
void TestChart::xRangeStartsAtZeroOrLater_data() {
  QTest::addColumn<QStringList>("steps");
  QTest::addColumn<QPointF>("xRange");
  QTest::addColumn<QPointF>("yRange");
  const QPointF designedY(1000, 1500);
  QTest::newRow("restart at 0 after a long discharge")
      << Strings({"add 0 0 10000 100", "add 0 0 5 1"}) << QPointF(0, 3500) << designedY;
  QTest::newRow("zoomed in, then a restart at 150")
      << Strings({"add 0 1000 3000 100", "zoomin", "add 0 150 150 1"}) << QPointF(0, 1750)
      << QPointF(1125, 1375);
  QTest::newRow("zoomed out on the empty chart")
      << Strings({"zoomout"}) << QPointF(0, 7000) << QPointF(750, 1750);
  QTest::newRow("zoomed out over the first points")
      << Strings({"add 1 100 1000 100", "zoomout"}) << QPointF(0, 7000) << QPointF(750, 1750);
  QTest::newRow("zoomed out late in a discharge")
      << Strings({"add 0 0 9000 100", "zoomout"}) << QPointF(3750, 10750) << QPointF(750, 1750);
  QTest::newRow("fit: every point with a margin")
      << Strings({"add 0 100 2000 100 1300", "add 1 500 1000 100 1100", "fit"}) << QPointF(62, 2038)
      << QPointF(1090, 1310);
  QTest::newRow("fit: data from 0 starts at 0")
      << Strings({"add 0 0 1000 100", "fit"}) << QPointF(0, 1040) << QPointF(950, 1450);
  QTest::newRow("fit: negative times stay in view")
      << Strings({"add 0 -500 500 100", "fit"}) << QPointF(-520, 520) << QPointF(950, 1450);
  QTest::newRow("fit on the empty chart changes nothing")
      << Strings({"fit"}) << QPointF(0, 3500) << designedY;
  QTest::newRow("clear after scrolling and rescaling: the designed start")
      << Strings({"add 0 0 9000 100 1700", "zoomin", "clear"}) << QPointF(0, 3500) << designedY;
  QTest::newRow("a new test after clear grows from 0")
      << Strings({"add 0 0 9000 100", "clear", "add 0 0 30 1"}) << QPointF(0, 3500) << designedY;
}

void TestChart::xRangeStartsAtZeroOrLater() {
  QFETCH(QStringList, steps);
  QFETCH(QPointF, xRange);
  QFETCH(QPointF, yRange);
  auto chart = MakeChart();
  double newest = qQNaN();
  double minX = qInf();
  for (const QString& step : steps) {
    const QStringList w = step.split(u' ');
    if (w[0] == QLatin1String("add")) {
      const double y = w.size() > 5 ? w[5].toDouble() : 1200;
      for (double x = w[2].toDouble(); x <= w[3].toDouble(); x += w[4].toDouble()) {
        chart->AddPoint(w[1].toInt(), x, y);
        newest = x;
        minX = std::min(minX, x);
      }
    } else if (w[0] == QLatin1String("clear")) {
      chart->ClearChart();
      newest = qQNaN();
      minX = qInf();
    } else {
      const ChartCommand command = w[0] == QLatin1String("zoomin")    ? ChartCommand::ZoomIn
                                   : w[0] == QLatin1String("zoomout") ? ChartCommand::ZoomOut
                                                                      : ChartCommand::FitAll;
      chart->Action(command)->trigger();
    }
    const double lower = chart->AxisMin(ChartAxis::X);
    QVERIFY2(minX < 0 || lower >= 0, qPrintable(step));
    // Zooming in about the middle may leave the newest point out of view.
    const bool zoomedIn = w[0] == QLatin1String("zoomin");
    QVERIFY2(zoomedIn || std::isnan(newest) ||
                 (newest >= lower && newest <= lower + chart->AxisSpan(ChartAxis::X)),
             qPrintable(step));
  }
  QCOMPARE(chart->AxisMin(ChartAxis::X), xRange.x());
  QCOMPARE(chart->AxisMin(ChartAxis::X) + chart->AxisSpan(ChartAxis::X), xRange.y());
  QCOMPARE(chart->AxisMin(ChartAxis::Y), yRange.x());
  QCOMPARE(chart->AxisMin(ChartAxis::Y) + chart->AxisSpan(ChartAxis::Y), yRange.y());
}

void TestChart::csvExport() {
  auto chart = MakeChart();
  AddAll(*chart, 0, {{1, 1200}, {3, 1210.5}, {2, 1205}});
  AddAll(*chart, 1, {{1, 1100}});
  chart->SetTraceTitle(1, QStringLiteral("a,\"b\""));
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("points.csv"));
  QVERIFY(chart->SaveCsv(path));
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(QString::fromUtf8(file.readAll()),
           QStringLiteral("trace,x,y\n通道1,1,1200\n通道1,3,1210.5\n通道1,2,1205\n"
                          "\"a,\"\"b\"\"\",1,1100\n"));
  QVERIFY(!chart->SaveCsv(dir.filePath(QStringLiteral("missing/points.csv"))));
}

void TestChart::toolbarExportsThroughDialogs() {
  auto chart = MakeChart();
  AddAll(*chart, 0, {{1, 1200}, {2, 1300}});
  FakeDialogs dialogs;
  chart->SetDialogs(&dialogs);
  QTemporaryDir dir;

  // Cancelled dialogs write nothing.
  chart->Action(ChartCommand::SaveImage)->trigger();
  chart->Action(ChartCommand::SaveCsv)->trigger();
  chart->Action(ChartCommand::Print)->trigger();
  QCOMPARE(dialogs.printAsked, 1);
  QVERIFY(QDir(dir.path()).isEmpty());

  dialogs.imagePath = dir.filePath(QStringLiteral("chart.png"));
  chart->Action(ChartCommand::SaveImage)->trigger();
  const QImage png(dialogs.imagePath);
  QCOMPARE(png.size(), chart->RenderImage().size());
  dialogs.imagePath = dir.filePath(QStringLiteral("chart.pdf"));
  chart->Action(ChartCommand::SaveImage)->trigger();
  QFile pdf(dialogs.imagePath);
  QVERIFY(pdf.open(QIODevice::ReadOnly));
  QVERIFY(pdf.read(5) == "%PDF-");
  dialogs.csvPath = dir.filePath(QStringLiteral("chart.csv"));
  chart->Action(ChartCommand::SaveCsv)->trigger();
  QVERIFY(QFile::exists(dialogs.csvPath));
  QVERIFY(dialogs.errors.isEmpty());

  dialogs.printAccepted = true;
  dialogs.printPdf = dir.filePath(QStringLiteral("printed.pdf"));
  chart->Action(ChartCommand::Print)->trigger();
  QFile printed(dialogs.printPdf);
  QVERIFY(printed.open(QIODevice::ReadOnly));
  QVERIFY(printed.size() > 1000);
  QVERIFY(dialogs.errors.isEmpty());

  dialogs.csvPath = dir.filePath(QStringLiteral("no/such/dir.csv"));
  chart->Action(ChartCommand::SaveCsv)->trigger();
  QCOMPARE(dialogs.errors.size(), 1);
}

// A print to a 1200 dpi PDF printer shows the picture "保存图像" saves as a
// PDF, scaled to fit the printable area: the title and the tick labels keep
// their size relative to the plot, and the title lies wholly on the page.
// Both the live chart and the review plot print this way.
void TestChart::printedPageMatchesSavedPdf_data() {
  QTest::addColumn<bool>("review");
  QTest::addColumn<QPageSize>("pageSize");
  QTest::addColumn<int>("orientation");  // -1: the plot's own (landscape)
  QTest::newRow("live, A4, its landscape") << false << QPageSize(QPageSize::A4) << -1;
  QTest::newRow("live, A4 portrait")
      << false << QPageSize(QPageSize::A4) << int(QPageLayout::Portrait);
  QTest::newRow("live, Letter landscape")
      << false << QPageSize(QPageSize::Letter) << int(QPageLayout::Landscape);
  QTest::newRow("review, A4, its landscape") << true << QPageSize(QPageSize::A4) << -1;
  QTest::newRow("review, A5 portrait")
      << true << QPageSize(QPageSize::A5) << int(QPageLayout::Portrait);
}

void TestChart::printedPageMatchesSavedPdf() {
  QFETCH(bool, review);
  QFETCH(QPageSize, pageSize);
  QFETCH(int, orientation);
  const QString title = QStringLiteral("实时曲线");
  const QString tick = QStringLiteral("1200");  // a Y tick label
  QTemporaryDir dir;
  FakeDialogs dialogs;
  dialogs.imagePath = dir.filePath(QStringLiteral("saved.pdf"));
  dialogs.printPdf = dir.filePath(QStringLiteral("printed.pdf"));
  dialogs.pageSize = pageSize;
  if (orientation >= 0) {
    dialogs.orientation = QPageLayout::Orientation(orientation);
  }
  auto chart = MakeChart();
  ReviewPlot plot;
  plot.resize(953, 465);
  plot.SetTitle(title);
  const int curve = plot.AddCurve(QStringLiteral("A"), Qt::red);
  for (int t = 0; t <= 3000; t += 30) {
    chart->AddPoint(0, t, 1450 - t / 7.5);
    plot.AddPoint(curve, t, 1450 - t / 7.5);
  }
  plot.FitAll();
  chart->SetDialogs(&dialogs);
  plot.SetDialogs(&dialogs);
  (review ? plot.Action(ReviewCommand::SaveImage) : chart->Action(ChartCommand::SaveImage))
      ->trigger();
  dialogs.printAccepted = true;
  (review ? plot.Action(ReviewCommand::Print) : chart->Action(ChartCommand::Print))->trigger();
  QVERIFY(dialogs.errors.isEmpty());
  QCOMPARE(dialogs.printerDpi, 1200);

  const PdfPage saved = ReadPdfPage(dialogs.imagePath);
  const PdfPage printed = ReadPdfPage(dialogs.printPdf);
  QVERIFY2(saved.error.isEmpty(), qPrintable(saved.error));
  QVERIFY2(printed.error.isEmpty(), qPrintable(printed.error));
  // The saved page is the plot; the print fits the plot into the printable area.
  const double fit = std::min(dialogs.printablePt.width() / saved.size.width(),
                              dialogs.printablePt.height() / saved.size.height());
  for (const QString& word : {title, tick}) {
    const PdfWord* s = saved.Find(word);
    const PdfWord* p = printed.Find(word);
    QVERIFY2(s && p, qPrintable(word));
    const double expected = s->box.height() * fit;
    QVERIFY2(std::abs(p->box.height() - expected) < 0.1 * expected,
             qPrintable(QStringLiteral("%1: %2 pt high, expected %3 (page %4 x %5 pt)")
                            .arg(word)
                            .arg(p->box.height())
                            .arg(expected)
                            .arg(printed.size.width())
                            .arg(printed.size.height())));
    QVERIFY2(QRectF(QPointF(0, 0), printed.size).contains(p->box), qPrintable(word));
  }
  // Centred across the page as it is across the plot.
  const PdfWord* p = printed.Find(title);
  QVERIFY2(std::abs(p->box.center().x() - printed.size.width() / 2) < printed.size.width() * 0.03,
           qPrintable(QString::number(p->box.center().x())));
}

void TestChart::renderedImageShowsBothTraces() {
  auto chart = MakeChart();
  for (int t = 0; t <= 3000; t += 10) {
    chart->AddPoint(0, t, 1300 + 100 * std::sin(t / 300.0));
    chart->AddPoint(1, t, 1200 + 50 * std::cos(t / 400.0));
  }
  const QImage image = chart->RenderImage();
  const QString out = qEnvironmentVariable("ORVANTA_CHART_PNG");
  if (!out.isEmpty()) {
    image.save(out);
  }
  QCOMPARE(image.width(), 953);
  QVERIFY(CountColour(image, QColor(255, 255, 0)) > 300);
  QVERIFY(CountColour(image, QColor(255, 0, 0)) > 300);
}

void TestChart::zoomedOutKeepsPeaks() {
  auto chart = MakeChart();
  constexpr int kPoints = 64'000;
  // A flat 1100 mV with a one-point peak to 1450 mV every 97 s.
  for (int t = 0; t < kPoints; ++t) {
    chart->AddPoint(1, t, t % 97 == 0 ? 1450 : 1100);
  }
  chart->SetAxisMin(ChartAxis::X, 0);
  chart->SetAxisSpan(ChartAxis::X, kPoints);
  chart->SetAxisMin(ChartAxis::Y, 1000);
  chart->SetAxisSpan(ChartAxis::Y, 500);
  const QImage image = chart->RenderImage();
  QVERIFY(chart->TraceDrawnAsOverview(1));
  // Peaks stand about one pixel apart, so nearly every column of the band
  // above 1400 mV is yellow; keeping one point in 32 would leave most blank.
  const QRect area = chart->PlotArea();
  const int y1400 = area.top() + area.height() / 5;
  for (int part = 0; part < 4; ++part) {
    const QRect band(area.left() + part * area.width() / 4, area.top() + 2, area.width() / 4,
                     y1400 - area.top() - 2);
    const int yellow = CountColour(image, QColor(255, 255, 0), band);
    QVERIFY2(yellow > band.width() * band.height() / 2, qPrintable(QString::number(yellow)));
  }
  QCOMPARE(chart->PointCount(1), kPoints);
  QCOMPARE(chart->Point(1, 97), QPointF(97, 1450));

  // Zoomed in to a few thousand points the runs themselves are drawn.
  chart->SetAxisSpan(ChartAxis::X, 3500);
  chart->RenderImage();
  QVERIFY(!chart->TraceDrawnAsOverview(1));
}

void TestChart::severalPointsAPixelKeepEveryPeak() {
  auto chart = MakeChart();
  // A flat 1100 mV with a one-point peak to 1450 mV every 97 s, four or five
  // points a pixel column.
  constexpr int kSeconds = 3500;
  for (int t = 0; t < kSeconds; ++t) {
    chart->AddPoint(1, t, t % 97 == 50 ? 1450 : 1100);
  }
  const QImage image = chart->RenderImage();
  QVERIFY(!chart->TraceDrawnAsOverview(1));
  // Each peak crosses the 1400 mV row as one run of yellow pixels.
  const QRect area = chart->PlotArea();
  const int y1400 = area.top() + area.height() / 5;
  int peaks = 0;
  bool inPeak = false;
  for (int x = area.left(); x <= area.right(); ++x) {
    const QColor c = image.pixelColor(x, y1400);
    const bool yellow = c.red() > 128 && c.green() > 128 && c.blue() < 64;
    peaks += yellow && !inPeak ? 1 : 0;
    inPeak = yellow;
  }
  QCOMPARE(peaks, (kSeconds - 50 + 96) / 97);
}

void TestChart::replotsAreCoalesced() {
  auto chart = MakeChart();
  chart->show();
  QVERIFY(QTest::qWaitForWindowExposed(chart.get()));
  QCoreApplication::processEvents();
  const int before = chart->ReplotCount();
  for (int i = 0; i < 500; ++i) {
    chart->AddPoint(i % 2, i, 1200 + i);
  }
  QCOMPARE(chart->ReplotCount(), before);
  QCoreApplication::processEvents();
  QCOMPARE(chart->ReplotCount(), before + 1);
  QCoreApplication::processEvents();
  QCOMPARE(chart->ReplotCount(), before + 1);
}

void TestChart::screenMatchesAFullRedraw_data() {
  QTest::addColumn<int>("denseTo");    // a point a second, several a pixel, up to this x
  QTest::addColumn<Points>("points");  // added one per redraw, trace 0 then 1
  QTest::addColumn<bool>("cursor");
  Points steady;
  for (int t = 100; t < 160; ++t) {
    steady << QPointF(t, 1200 + (t * 37) % 200);
  }
  QTest::newRow("axes stay put") << 0 << steady << false;
  QTest::newRow("a point runs back")
      << 0 << Points{{200, 1300}, {210, 1350}, {150, 1250}, {160, 1400}} << false;
  QTest::newRow("x scrolls, y widens")
      << 0 << Points{{3490, 1300}, {3600, 1350}, {3700, 1600}} << false;
  const auto seconds = [](int from, int to) {
    Points points;
    for (int t = from; t < to; ++t) {
      points << QPointF(t, 1300 + (t * 37) % 100);
    }
    return points;
  };
  QTest::newRow("x scrolls a second at a time") << 0 << seconds(3495, 3530) << false;
  QTest::newRow("dense, axes stay put") << 3000 << seconds(3000, 3030) << false;
  QTest::newRow("dense, x scrolls a second at a time") << 6000 << seconds(6000, 6030) << false;
  QTest::newRow("cursor shown") << 0 << steady.mid(0, 10) << true;
}

// What a redraw of the traces alone leaves on the screen is what a full
// redraw draws.
void TestChart::screenMatchesAFullRedraw() {
  QFETCH(int, denseTo);
  QFETCH(Points, points);
  QFETCH(bool, cursor);
  auto chart = MakeChart();
  chart->show();
  QVERIFY(QTest::qWaitForWindowExposed(chart.get()));
  AddAll(*chart, 0, {{0, 1250}, {50, 1280}});
  AddAll(*chart, 1, {{0, 1150}, {50, 1180}});
  for (int t = 51; t < denseTo; ++t) {
    const double ripple = 60 * std::sin(t / 7.0) + (t * 37) % 23;
    chart->AddPoint(0, t, 1300 + ripple);
    chart->AddPoint(1, t, 1200 - ripple);
  }
  chart->SetCursorVisible(cursor);
  QCoreApplication::processEvents();
  for (const QPointF& p : points) {
    chart->AddPoint(0, p.x(), p.y());
    chart->AddPoint(1, p.x(), p.y() - 100);
    // The redraw, then the paint it posts.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
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

// The plot area (also by click, for the cursor keys), then the toolbar's
// buttons, "历史记录" among them, take the focus from the keyboard in their
// order; nothing else does.
void TestChart::takesNoFocus() {
  auto chart = MakeChart();
  QCOMPARE(chart->focusPolicy(), Qt::NoFocus);
  auto* toolbar = chart->findChild<QToolBar*>();
  QVERIFY(toolbar);
  QList<QWidget*> stops;
  for (QAction* action : toolbar->actions()) {
    stops << toolbar->widgetForAction(action);
  }
  QCOMPARE(stops.size(), 11);
  QCOMPARE(toolbar->actions().last()->text(), QStringLiteral("电池编号"));
  QWidget* plot = nullptr;
  for (QWidget* w : chart->findChildren<QWidget*>()) {
    plot = w->inherits("QCustomPlot") ? w : plot;
  }
  for (QWidget* w : chart->findChildren<QWidget*>()) {
    const Qt::FocusPolicy expected = w == plot           ? Qt::StrongFocus
                                     : stops.contains(w) ? Qt::TabFocus
                                                         : Qt::NoFocus;
    QVERIFY2(w->focusPolicy() == expected, w->metaObject()->className());
  }
  // The focus chain runs from the plot through the buttons in their order.
  stops.prepend(plot);
  QWidget* w = stops.first();
  for (qsizetype i = 1; i < stops.size(); ++i) {
    do {
      w = w->nextInFocusChain();
    } while (w->focusPolicy() == Qt::NoFocus);
    QCOMPARE(w, stops[i]);
  }
}

// Keys pressed on the plot area, the cursor hidden before the first: the
// points of trace 0 lie at x = 0, 50, ... 3500, those of trace 1 at 25, 75,
// ... 3475. The first key shows the cursor at 50 % of the width (x 1750).
void TestChart::cursorKeysStepPointByPoint_data() {
  QTest::addColumn<bool>("zoomedIn");  // X range 875 to 2625 before the keys
  QTest::addColumn<QList<int>>("keys");
  QTest::addColumn<double>("x");
  QTest::addColumn<int>("trace");
  QTest::addColumn<double>("lower");  // of the X range after the keys
  using K = QList<int>;
  const int t = DischargeChart::kFollowOtherTraceKey;
  QTest::newRow("right: onto the nearest point") << false << K{Qt::Key_Right} << 1750.0 << 0 << 0.0;
  QTest::newRow("right twice: the next point")
      << false << K{Qt::Key_Right, Qt::Key_Right} << 1800.0 << 0 << 0.0;
  QTest::newRow("left twice after right")
      << false << K{Qt::Key_Right, Qt::Key_Left, Qt::Key_Left} << 1650.0 << 0 << 0.0;
  QTest::newRow("page down: ten points") << false << K{Qt::Key_PageDown} << 2250.0 << 0 << 0.0;
  QTest::newRow("page up twice") << false << K{Qt::Key_PageUp, Qt::Key_PageUp} << 750.0 << 0 << 0.0;
  QTest::newRow("home") << false << K{Qt::Key_End, Qt::Key_Home} << 0.0 << 0 << 0.0;
  QTest::newRow("end") << false << K{Qt::Key_End} << 3500.0 << 0 << 0.0;
  QTest::newRow("past the last point")
      << false << K{Qt::Key_End, Qt::Key_Right, Qt::Key_PageDown} << 3500.0 << 0 << 0.0;
  QTest::newRow("before the first point")
      << false << K{Qt::Key_Home, Qt::Key_Left, Qt::Key_PageUp} << 0.0 << 0 << 0.0;
  QTest::newRow("the other trace") << false << K{t, Qt::Key_Right} << 1725.0 << 1 << 0.0;
  QTest::newRow("the other trace's next point")
      << false << K{t, Qt::Key_Right, Qt::Key_Right} << 1775.0 << 1 << 0.0;
  QTest::newRow("back to trace 0") << false << K{t, t, Qt::Key_Right} << 1750.0 << 0 << 0.0;
  QTest::newRow("zoomed in: end brings the range along")
      << true << K{Qt::Key_End} << 3500.0 << 0 << 1750.0;
  QTest::newRow("zoomed in: home brings it back")
      << true << K{Qt::Key_End, Qt::Key_Home} << 0.0 << 0 << 0.0;
  QTest::newRow("zoomed in: steps inside the range leave it")
      << true << K{Qt::Key_Right, Qt::Key_PageDown} << 2250.0 << 0 << 875.0;
}

void TestChart::cursorKeysStepPointByPoint() {
  QFETCH(bool, zoomedIn);
  QFETCH(QList<int>, keys);
  QFETCH(double, x);
  QFETCH(int, trace);
  QFETCH(double, lower);
  auto chart = MakeChart();
  for (int i = 0; i <= 70; ++i) {
    chart->AddPoint(0, 50.0 * i, 1400 - i);
    if (i < 70) {
      chart->AddPoint(1, 50.0 * i + 25, 1200 + i);
    }
  }
  if (zoomedIn) {
    chart->ZoomIn();
  }
  QWidget* plot = nullptr;
  for (QWidget* w : chart->findChildren<QWidget*>()) {
    plot = w->inherits("QCustomPlot") ? w : plot;
  }
  QVERIFY(!chart->CursorVisible());
  for (int key : keys) {
    QTest::keyClick(plot, Qt::Key(key));
    QVERIFY(chart->CursorVisible());
    // What the reader is told follows each key at once.
    const QString said = plot->accessibleDescription();
    QVERIFY2(said.startsWith(chart->TraceTitle(chart->CursorTrace()) + QStringLiteral(" X: ") +
                             QString::number(chart->CursorPointerX(0), 'f', 3)),
             qPrintable(said));
  }
  QCOMPARE(chart->CursorPointerX(0), x);
  QCOMPARE(chart->CursorTrace(), trace);
  QCOMPARE(chart->AxisMin(ChartAxis::X), lower);
  // The reading is the followed trace's own point.
  const double y = trace == 0 ? 1400 - x / 50 : 1200 + (x - 25) / 50;
  QCOMPARE(chart->CursorReading(), y);
  // Keys that are not the cursor's pass.
  QVERIFY(!chart->CursorKey(Qt::Key_A));
}

void TestChart::tellsScreenReadersTheNewestPoints() {
  auto chart = MakeChart();
  const auto* speech = chart->findChild<ChartAccessibility*>();
  QVERIFY(speech);
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(chart.get());
  QCOMPARE(iface->role(), QAccessible::Chart);
  QCOMPARE(iface->text(QAccessible::Name), QString::fromUtf8("实时曲线"));
  QCOMPARE(speech->NewestPoints(), QString::fromUtf8("暂无数据"));

  AddAll(*chart, 0, {{119, 1351}, {120, 1350}});
  AddAll(*chart, 1, {{118, 1342}});
  QCOMPARE(speech->NewestPoints(), QString::fromUtf8("通道1 1350 mV, 120 s；通道2 1342 mV, 118 s"));
  chart->SetTraceVisible(0, false);
  QCOMPARE(speech->NewestPoints(), QString::fromUtf8("通道2 1342 mV, 118 s"));

  QCOMPARE(speech->CursorReadings(), QString());
  chart->SetCursorVisible(true);
  const QString readings = speech->CursorReadings();
  QVERIFY2(readings.startsWith(chart->CursorHint().replace(u'\n', QStringLiteral(", "))),
           qPrintable(readings));
  QVERIFY2(readings.contains(QString::fromUtf8("通道2 Y: ")) &&
               !readings.contains(QString::fromUtf8("通道1")),
           qPrintable(readings));
  // A shown trace the cursor reads is named first.
  chart->SetTraceVisible(0, true);
  QVERIFY2(speech->CursorReadings().startsWith(QStringLiteral("通道1 X: ")),
           qPrintable(speech->CursorReadings()));
}

QTEST_MAIN(TestChart)
#include "test_chart.moc"
