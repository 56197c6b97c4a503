// The review's cycles: a restart drawn as two curves, the cycle table, the
// summary's charge and cut-off figures, the fade plot across the recordings
// of one cell, and the dQ/dV CSV.
#include <QFile>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "cycleviews.h"
#include "reviewplot.h"
#include "reviewwindow.h"

namespace {

// Channel 1 discharged at 720 mA, one reading every 10 s, its voltage
// falling 2 mV a reading; the charger restarts its count after `first`
// readings. 720 mA for 10 s is 2 mAh.
ReviewSource Restarted(const QString& name, int first, int second, const QString& cell = {},
                       int day = 1) {
  ReviewSource source;
  source.name = name;
  source.start = QDateTime(QDate(2026, 12, day), QTime(9, 0));
  source.cells[0] = cell;
  for (int n : {first, second}) {
    for (int i = 0; i < n; ++i) {
      source.channels[0].push_back({10 * i, 1400 - 2 * i, 720, 2 * i, 25});
    }
  }
  return source;
}

QString Text(const QTableWidget& table, int row, const QString& header) {
  for (int c = 0; c < table.columnCount(); ++c) {
    if (table.horizontalHeaderItem(c)->text() == header) {
      return table.item(row, c) ? table.item(row, c)->text() : QString();
    }
  }
  return u"no column "_qs + header;
}

}  // namespace

class TestCycleViews : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void restartDrawsTwoCurves();
  void tablesAndCutoff_data();
  void tablesAndCutoff();
  void fadeJoinsTheRecordingsOfACell();
  void dqdvCsv();

 private:
  QTemporaryDir m_settings;
};

void TestCycleViews::initTestCase() {
  QSettings::setDefaultFormat(QSettings::IniFormat);
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
}

void TestCycleViews::restartDrawsTwoCurves() {
  ReviewWindow window(StoreOpener{});
  window.AddSource(Restarted(u"A"_qs, 30, 20));
  window.AddSource(Restarted(u"B"_qs, 10, 0));
  for (ReviewXAxis axis : {ReviewXAxis::Time, ReviewXAxis::Capacity}) {
    window.SetXAxis(axis);
    ReviewPlot& plot = window.Plot();
    // Each cycle a curve of its own, of its own readings only; a channel
    // of one cycle keeps its plain name.
    QCOMPARE(plot.CurveCount(), 3);
    QCOMPARE(plot.PointCount(0), 30);
    QCOMPARE(plot.PointCount(1), 20);
    QCOMPARE(plot.PointCount(2), 10);
    QVERIFY(plot.CurveName(0).endsWith(u" 循环1"_qs));
    QVERIFY(plot.CurveName(1).endsWith(u" 循环2"_qs));
    QVERIFY(!plot.CurveName(2).contains(u"循环"_qs));
    QCOMPARE(plot.CurveColour(0), window.CurveColour(0, 1));
    QVERIFY(plot.CurveColour(1) != plot.CurveColour(0));
  }
  // Temperature on the right axis: its own curve per cycle, and the left
  // axis keeps the voltage's range.
  window.SetXAxis(ReviewXAxis::Time);
  window.SetTemperatureShown(true);
  ReviewPlot& plot = window.Plot();
  QCOMPARE(plot.CurveCount(), 6);
  QVERIFY(plot.CurveName(3).endsWith(u" 循环2 温度"_qs));
  QCOMPARE(plot.PointCount(3), 20);
  // The legend names each channel once, whatever its cycles, and the
  // dashed temperature curves once, last.
  QCOMPARE(plot.LegendTitles(), (QStringList{window.CurveTitle(0, 1), window.CurveTitle(1, 1),
                                             u"温度（虚线，右轴）"_qs}));
  QVERIFY2(plot.AxisLower(false) > 1300, qPrintable(QString::number(plot.AxisLower(false))));
  window.SetQuantity(Quantity::Temperature);
  QCOMPARE(plot.CurveCount(), 3);
  window.SetTemperatureShown(false);
  window.SetQuantity(Quantity::Voltage);
  window.SetCurveShown(0, 1, false);
  QCOMPARE(window.Plot().CurveCount(), 1);
  QCOMPARE(window.Cycles().DqdvPlot().CurveCount(), 1);
  // The table lists hidden channels too.
  QCOMPARE(window.Cycles().Table().rowCount(), 3);
}

void TestCycleViews::tablesAndCutoff_data() {
  QTest::addColumn<int>("cutoffMv");         // 0: none
  QTest::addColumn<QStringList>("summary");  // charge, to cut-off charge and energy
  QTest::addColumn<QStringList>("cycle2");   // charge, to cut-off time and charge
  // 29 steps of 2 mAh in the first cycle, 19 in the second: 96 mAh in all.
  QTest::newRow("no cut-off") << 0 << QStringList{u"96.000"_qs, u"-"_qs, u"-"_qs}
                              << QStringList{u"38.000"_qs, u"-"_qs, u"-"_qs};
  // 1380 mV is reached after ten steps of each cycle: 20 mAh at a mean of
  // 1390 mV.
  QTest::newRow("reached in each cycle")
      << 1380 << QStringList{u"96.000"_qs, u"20.000"_qs, u"27.800"_qs}
      << QStringList{u"38.000"_qs, u"100"_qs, u"20.000"_qs};
  // Only the first cycle gets down to 1350 mV; the second ends at 1362.
  QTest::newRow("reached in the first cycle only")
      << 1350 << QStringList{u"96.000"_qs, u"50.000"_qs, u"68.750"_qs}
      << QStringList{u"38.000"_qs, u"-"_qs, u"-"_qs};
}

void TestCycleViews::tablesAndCutoff() {
  QFETCH(int, cutoffMv);
  QFETCH(QStringList, summary);
  QFETCH(QStringList, cycle2);
  ReviewWindow window(StoreOpener{});
  window.AddSource(Restarted(u"A"_qs, 30, 20));
  window.Cycles().SetCutoffMv(cutoffMv > 0 ? std::optional<qint32>(cutoffMv) : std::nullopt);
  const QTableWidget& s = window.SummaryTable();
  QCOMPARE(s.rowCount(), 1);
  // The capacity reading is the last cycle's; the charge is both cycles'.
  QCOMPARE(Text(s, 0, u"容量\n(mAh)"_qs), u"38"_qs);
  QCOMPARE((QStringList{Text(s, 0, u"电量\n(mAh)"_qs), Text(s, 0, u"至截止\n电量(mAh)"_qs),
                        Text(s, 0, u"至截止\n能量(mWh)"_qs)}),
           summary);
  const QTableWidget& t = window.Cycles().Table();
  QCOMPARE(t.rowCount(), 2);
  QCOMPARE(Text(t, 1, u"循环"_qs), u"2"_qs);
  QCOMPARE(Text(t, 1, u"帧数"_qs), u"20"_qs);
  QCOMPARE((QStringList{Text(t, 1, u"电量\n(mAh)"_qs), Text(t, 1, u"至截止\n时间(S)"_qs),
                        Text(t, 1, u"至截止\n电量(mAh)"_qs)}),
           cycle2);
}

void TestCycleViews::fadeJoinsTheRecordingsOfACell() {
  ReviewWindow window(StoreOpener{});
  // Opened out of order: the later recording of cell X first.
  window.AddSource(Restarted(u"X later"_qs, 20, 15, u"X"_qs, 9));
  window.AddSource(Restarted(u"Y"_qs, 25, 0, {}, 2));
  window.AddSource(Restarted(u"X earlier"_qs, 30, 25, u"X"_qs, 1));
  window.AddSource(Restarted(u"Z"_qs, 25, 0, {}, 3));
  ReviewPlot& fade = window.Cycles().FadePlot();
  QCOMPARE(fade.CurveCount(), 3);
  QCOMPARE(fade.CurveName(0), u"电池 X"_qs);
  QCOMPARE(fade.PointCount(0), 4);
  QCOMPARE(fade.PointCount(1), 1);
  QCOMPARE(fade.PointCount(2), 1);
  // Cycles in the order recorded: 58, 48, 38, 28 mAh on cycles 1 to 4.
  QVERIFY2(fade.LastPoints().contains(u"电池 X：循环 4，容量(mAh) 28"_qs),
           qPrintable(fade.LastPoints()));
  fade.FitAll();
  QVERIFY(fade.AxisUpper(true) > 4 && fade.AxisLower(true) < 1);
  QVERIFY(fade.AxisUpper(false) > 58 && fade.AxisLower(false) < 28);
}

void TestCycleViews::dqdvCsv() {
  ReviewWindow window(StoreOpener{});
  window.AddSource(Restarted(u"cell, \"A\""_qs, 30, 20, u"A1"_qs));
  CycleViews& views = window.Cycles();
  views.SetDqdvStep(4, 0);
  const std::vector<DqdvCurve> curves = views.DqdvCurves();
  QCOMPARE(curves.size(), size_t(2));
  QCOMPARE(views.DqdvPlot().CurveCount(), 2);
  // 2 mAh per 2 mV is 1000 mAh/V; 1400 down to 1342 mV covers bins 335 to 350.
  QCOMPARE(curves[0].points.size(), size_t(16));
  QCOMPARE(curves[0].points[5].mahPerV, 1000.0);
  QTemporaryDir dir;
  const QString path = dir.filePath(u"dqdv.csv"_qs);
  QString error;
  QVERIFY2(views.ExportDqdvCsv(path, &error), qPrintable(error));
  QFile file(path);
  QVERIFY(file.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = file.readAll().split('\n');
  QCOMPARE(lines.value(0), QByteArray("source,channel,cell,cycle,voltage_mv,dqdv_mah_per_v\r"));
  QCOMPARE(lines.size(), 1 + 16 + 11 + 1);  // the header, each point, the last line end
  QCOMPARE(lines.value(6), QByteArray("\"cell, \"\"A\"\"\",1,A1,1,1362.0,1000.0000\r"));
  QVERIFY(lines.value(17).startsWith("\"cell, \"\"A\"\"\",1,A1,2,"));
  QVERIFY(!views.ExportDqdvCsv(dir.filePath(u"missing/dqdv.csv"_qs), &error));
  QVERIFY(error.contains(u"missing"_qs));
}

QTEST_MAIN(TestCycleViews)
#include "test_cycleviews.moc"
