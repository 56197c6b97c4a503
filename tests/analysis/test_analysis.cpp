// The cell arithmetic: cycles, sums to a cut-off, incremental capacity and
// internal resistance, on made-up records whose answers are known.
#include <QTest>
#include <algorithm>
#include <cmath>

#include "cellcycles.h"
#include "incrementalcapacity.h"
#include "internalresistance.h"
#include "stepsums.h"

using Samples = std::vector<ChannelSample>;  // time, mV, mA, mAh, temperature
Q_DECLARE_METATYPE(Samples)

namespace {

// A discharge at a constant current, one reading a second, whose voltage
// takes the given values in turn.
Samples Discharge(const std::vector<qint32>& voltages, qint32 currentMa) {
  Samples s;
  for (size_t i = 0; i < voltages.size(); ++i) {
    s.push_back({qint32(i), voltages[i], currentMa, 0, 25});
  }
  return s;
}

// Voltages from `from` down to `to` (inclusive) by `by` mV.
std::vector<qint32> Falling(qint32 from, qint32 to, qint32 by) {
  std::vector<qint32> v;
  for (qint32 mv = from; mv >= to; mv -= by) {
    v.push_back(mv);
  }
  return v;
}

}  // namespace

class TestAnalysis : public QObject {
  Q_OBJECT
 private slots:
  void linearDischargeHasFlatIncrementalCapacity_data();
  void linearDischargeHasFlatIncrementalCapacity();
  void plateauGivesPeak_data();
  void plateauGivesPeak();
  void resistanceSteps_data();
  void resistanceSteps();
  void cutoff_data();
  void cutoff();
  void cyclesKeepTheirOwnFigures();
};

void TestAnalysis::linearDischargeHasFlatIncrementalCapacity_data() {
  QTest::addColumn<int>("stepMv");
  QTest::addColumn<int>("currentMa");
  QTest::addColumn<int>("fallMv");  // per second
  QTest::addColumn<double>("mahPerV");
  // dQ/dV = I / 3.6 / fall: 1800 mA over 2 mV a second is 0.5 mAh per 2 mV.
  QTest::newRow("default step") << 5 << 1800 << 2 << 250.0;
  QTest::newRow("step not dividing the range") << 3 << 1800 << 2 << 250.0;
  QTest::newRow("step finer than the fall") << 1 << 720 << 4 << 50.0;
  QTest::newRow("current reported negative") << 10 << -3600 << 5 << 200.0;
}

void TestAnalysis::linearDischargeHasFlatIncrementalCapacity() {
  QFETCH(int, stepMv);
  QFETCH(int, currentMa);
  QFETCH(int, fallMv);
  QFETCH(double, mahPerV);
  const Samples cycle = Discharge(Falling(4000, 3000, fallMv), currentMa);
  const auto points = IncrementalCapacity(cycle, {stepMv, 0});
  QVERIFY(points.size() > 10);
  // Bins lie on whole multiples of the step, from the lowest reading's up.
  QCOMPARE(points.front().voltageMv, (std::floor(3000.0 / stepMv) + 0.5) * stepMv);
  QCOMPARE(points[1].voltageMv - points[0].voltageMv, double(stepMv));
  double total = 0;
  for (size_t k = 0; k < points.size(); ++k) {
    total += points[k].mahPerV * stepMv / 1000;
    // The end bins are only partly covered.
    if (k > 0 && k + 1 < points.size()) {
      QVERIFY2(std::abs(points[k].mahPerV - mahPerV) < 1e-9,
               qPrintable(QString::number(points[k].voltageMv)));
    }
  }
  // Every step's charge lands in some bin, none twice.
  const double charge = std::abs(currentMa) * double(cycle.size() - 1) / 3600;
  QVERIFY(std::abs(total - charge) < 1e-9);
}

void TestAnalysis::plateauGivesPeak_data() {
  QTest::addColumn<Samples>("cycle");
  QTest::addColumn<int>("smoothing");
  QTest::addColumn<double>("peakMv");
  std::vector<qint32> v = Falling(3800, 3656, 2);
  v.insert(v.end(), 300, 3651);
  const std::vector<qint32> tail = Falling(3648, 3500, 2);
  v.insert(v.end(), tail.begin(), tail.end());
  QTest::newRow("flat plateau") << Discharge(v, 1000) << 0 << 3652.5;
  QTest::newRow("flat plateau, smoothed") << Discharge(v, 1000) << 2 << 3652.5;
  // Noise of a millivolt about the plateau stays within its bin.
  for (size_t i = 74; i < 373; i += 2) {
    v[i] = 3653;
  }
  QTest::newRow("noisy plateau") << Discharge(v, 1000) << 0 << 3652.5;
  QTest::newRow("plateau at a bin edge")
      << Discharge(
             [] {
               std::vector<qint32> w = Falling(3900, 3702, 3);
               w.insert(w.end(), 200, 3700);
               const std::vector<qint32> rest = Falling(3697, 3600, 3);
               w.insert(w.end(), rest.begin(), rest.end());
               return w;
             }(),
             -500)
      << 1 << 3702.5;
}

void TestAnalysis::plateauGivesPeak() {
  QFETCH(Samples, cycle);
  QFETCH(int, smoothing);
  QFETCH(double, peakMv);
  const auto points = IncrementalCapacity(cycle, {kDefaultVoltageStepMv, smoothing});
  QVERIFY(!points.empty());
  const auto peak = std::max_element(points.begin(), points.end(),
                                     [](auto& a, auto& b) { return a.mahPerV < b.mahPerV; });
  QCOMPARE(peak->voltageMv, peakMv);
  // Away from the plateau the slope's figure is far below the peak.
  QVERIFY(peak->mahPerV > 5 * points[points.size() / 10].mahPerV);
  QVERIFY(peak->mahPerV > 5 * points[points.size() * 9 / 10].mahPerV);
}

void TestAnalysis::resistanceSteps_data() {
  QTest::addColumn<Samples>("cycle");
  QTest::addColumn<int>("thresholdMa");
  QTest::addColumn<QList<qint32>>("times");
  QTest::addColumn<QList<double>>("mohm");
  QTest::addColumn<double>("median");  // -1: none
  QTest::newRow("pulse up and back down")
      << Samples{{0, 3700, 500, 0, 25},
                 {1, 3698, 500, 0, 25},
                 {2, 3650, 1500, 0, 25},
                 {3, 3647, 1500, 0, 25},
                 {4, 3703, 300, 0, 25}}
      << 100 << QList<qint32>{2, 4} << QList<double>{48.0, 56000.0 / 1200}
      << (48.0 + 56000.0 / 1200) / 2;
  QTest::newRow("steps below the threshold ignored, the threshold itself counts")
      << Samples{{0, 3700, 500, 0, 25},
                 {1, 3690, 599, 0, 25},
                 {2, 3684, 699, 0, 25},
                 {3, 3695, 600, 0, 25},
                 {4, 3680, 800, 0, 25}}
      << 100 << QList<qint32>{2, 4} << QList<double>{60.0, 75.0} << 67.5;
  QTest::newRow("a larger threshold")
      << Samples{{0, 3700, 500, 0, 25},
                 {1, 3690, 599, 0, 25},
                 {2, 3684, 1700, 0, 25},
                 {3, 3690, 1600, 0, 25}}
      << 1000 << QList<qint32>{2} << QList<double>{6000.0 / 1101} << 6000.0 / 1101;
  QTest::newRow("odd count: the middle one")
      << Samples{{0, 3700, 0, 0, 25},
                 {10, 3660, 1000, 0, 25},
                 {20, 3710, 0, 0, 25},
                 {30, 3640, 1000, 0, 25}}
      << 100 << QList<qint32>{10, 20, 30} << QList<double>{40.0, 50.0, 70.0} << 50.0;
  QTest::newRow("no step") << Samples{{0, 3700, 500, 0, 25}, {1, 3600, 500, 0, 25}} << 100
                           << QList<qint32>{} << QList<double>{} << -1.0;
}

void TestAnalysis::resistanceSteps() {
  QFETCH(Samples, cycle);
  QFETCH(int, thresholdMa);
  QFETCH(QList<qint32>, times);
  QFETCH(QList<double>, mohm);
  QFETCH(double, median);
  const std::vector<ResistanceStep> steps = ResistanceSteps(cycle, thresholdMa);
  QCOMPARE(qsizetype(steps.size()), times.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    QCOMPARE(steps[i].timeS, times[qsizetype(i)]);
    QCOMPARE(steps[i].mohm, mohm[qsizetype(i)]);
  }
  const std::optional<double> m = MedianResistance(steps);
  QCOMPARE(m.has_value(), median >= 0);
  if (m) {
    QCOMPARE(*m, median);
  }
}

void TestAnalysis::cutoff_data() {
  QTest::addColumn<Samples>("run");
  QTest::addColumn<int>("cutoffMv");
  QTest::addColumn<int>("index");  // -1: not reached
  QTest::addColumn<qint64>("durationS");
  QTest::addColumn<double>("chargeMah");
  QTest::addColumn<double>("energyMwh");
  const Samples varying{{0, 1400, 500, 0, 25}, {10, 1300, 700, 2, 26}, {30, 1200, 900, 7, 27}};
  // 10 s·(500 + 700) mA / 2 = 6000 mA·s; 10 s·(1400·500 + 1300·700) / 2.
  QTest::newRow("reached part way")
      << varying << 1300 << 1 << qint64(10) << 6000.0 / 3600 << 8'050'000.0 / 3'600'000;
  QTest::newRow("reached at the first reading") << varying << 1400 << 0 << qint64(0) << 0.0 << 0.0;
  QTest::newRow("never reached") << varying << 1199 << -1 << qint64(0) << 0.0 << 0.0;
  // The restart's step is not counted: 100 s at 500 mA, then 60 s at 520.
  QTest::newRow("across a restart")
      << Samples{{0, 1400, 500, 0, 25},
                 {100, 1400, 500, 14, 25},
                 {5, 1400, 520, 0, 26},
                 {65, 1290, 520, 9, 27},
                 {70, 1250, 520, 10, 27}}
      << 1300 << 3 << qint64(160) << 81'200.0 / 3600
      << (100 * 1400 * 500.0 + 60 * (1400 * 520.0 + 1290 * 520.0) / 2) / 3'600'000;
}

void TestAnalysis::cutoff() {
  QFETCH(Samples, run);
  QFETCH(int, cutoffMv);
  QFETCH(int, index);
  QFETCH(qint64, durationS);
  QFETCH(double, chargeMah);
  QFETCH(double, energyMwh);
  const std::optional<CutoffFigures> c = ToCutoff(run, cutoffMv);
  QCOMPARE(c.has_value(), index >= 0);
  if (c) {
    QCOMPARE(c->index, qsizetype(index));
    QCOMPARE(c->durationS, durationS);
    QCOMPARE(c->chargeMah, chargeMah);
    QCOMPARE(c->energyMwh, energyMwh);
  }
}

void TestAnalysis::cyclesKeepTheirOwnFigures() {
  // Two cycles; the current jumps across the restart, which is no step of
  // either cycle. The second cycle has one pulse of 1000 mA.
  const Samples record{{0, 3700, 1500, 0, 25},  {10, 3600, 1500, 4, 25}, {20, 3500, 1500, 8, 25},
                       {0, 3800, 0, 0, 25},     {10, 3790, 0, 0, 25},    {20, 3740, 1000, 3, 25},
                       {20, 3730, 1000, 3, 25}, {30, 3450, 1000, 6, 25}};
  CycleOptions options;
  options.cutoffMv = 3600;
  const std::vector<CycleSummary> cycles = SummarizeCycles(2, record, options);
  QCOMPARE(cycles.size(), size_t(2));
  QCOMPARE(cycles[0].first, 0);
  QCOMPARE(cycles[0].end, 3);
  QCOMPARE(cycles[1].first, 3);
  QCOMPARE(cycles[1].end, 8);
  QCOMPARE(cycles[1].cycle, 2);
  QCOMPARE(cycles[1].channel, 2);
  QVERIFY(!cycles[0].medianMohm);
  QCOMPARE(cycles[1].medianMohm.value_or(-1), 50.0);
  QCOMPARE(cycles[0].cutoffS.value_or(-1), qint64(10));
  QCOMPARE(cycles[0].cutoffMwh.value_or(-1), 10 * (3700 + 3600) * 1500.0 / 2 / 3'600'000);
  // The repeated time reading continues the cycle and counts no time.
  QCOMPARE(cycles[1].durationS, qint64(30));
  QCOMPARE(cycles[1].cutoffS.value_or(-1), qint64(30));
  QCOMPARE(cycles[1].cutoffMah.value_or(-1), (10 * 500.0 + 10 * 1000.0) / 3600);
  QVERIFY(SplitCycles(Samples{}).empty());
}

QTEST_APPLESS_MAIN(TestAnalysis)
#include "test_analysis.moc"
