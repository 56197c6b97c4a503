// Grading a batch: ranking, groups from the largest cell down, the batch's
// spread; and the report's tables, whose every header and figure fits its
// column in either language, listing only the curves shown.

#include <QHeaderView>
#include <QScrollBar>
#include <QTableWidget>
#include <QTranslator>
#include <QtTest>

#include "cycleviews.h"
#include "gradingview.h"
#include "reviewwindow.h"
#include "translations.h"
#include "translators.h"

namespace {

ReviewSource Discharge(const QString& name, qint32 capacity, const QString& cell) {
  ReviewSource s;
  s.name = name;
  s.detail = u"COM1"_qs;
  s.start = QDateTime(QDate(2026, 3, 7), QTime(9, 5));
  s.cells = {cell, QString()};
  for (qint32 t = 0; t <= 40; ++t) {
    s.channels[0].push_back({t, 1400 - 5 * t, 500, capacity * t / 40, 25});
  }
  // A restart: a second cycle that delivers a little less.
  for (qint32 t = 0; t <= 40; ++t) {
    s.channels[0].push_back({t, 1400 - 5 * t, 500, (capacity - 30) * t / 40, 26});
  }
  return s;
}

}  // namespace

class TestGrading : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { RemoveTranslators(); }
  void gradeBatch_data();
  void gradeBatch();
  void reportTablesFit_data();
  void reportTablesFit();
  void gradingWindowShowsEveryColumn_data() { reportTablesFit_data(); }
  void gradingWindowShowsEveryColumn();
  void gradingFollowsTheReviewCutoff();
};

void TestGrading::gradeBatch_data() {
  QTest::addColumn<QList<int>>("capacities");  // in the order given
  QTest::addColumn<double>("percent");
  QTest::addColumn<QList<int>>("ranked");  // capacities, largest first
  QTest::addColumn<QList<int>>("groups");
  QTest::addColumn<double>("mean");
  QTest::addColumn<double>("stdDev");  // sample; -1: none
  QTest::newRow("exactly at the bound joins")
      << QList<int>{979, 1000, 980} << 2.0 << QList<int>{1000, 980, 979} << QList<int>{1, 1, 2}
      << 986.3333 << 11.8462;
  QTest::newRow("groups are measured from their first cell, not chained")
      << QList<int>{960, 970, 985, 1000} << 2.0 << QList<int>{1000, 985, 970, 960}
      << QList<int>{1, 1, 2, 2} << 978.75 << 17.5;
  QTest::newRow("a wider range takes all")
      << QList<int>{960, 970, 985, 1000} << 5.0 << QList<int>{1000, 985, 970, 960}
      << QList<int>{1, 1, 1, 1} << 978.75 << 17.5;
  QTest::newRow("no range: only equal capacities share a group")
      << QList<int>{2000, 1999, 2000} << 0.0 << QList<int>{2000, 2000, 1999} << QList<int>{1, 1, 2}
      << 1999.6667 << 0.57735;
  QTest::newRow("one cell: no spread")
      << QList<int>{1500} << 2.0 << QList<int>{1500} << QList<int>{1} << 1500.0 << -1.0;
}

void TestGrading::gradeBatch() {
  QFETCH(QList<int>, capacities);
  QFETCH(double, percent);
  QFETCH(QList<int>, ranked);
  QFETCH(QList<int>, groups);
  QFETCH(double, mean);
  QFETCH(double, stdDev);
  std::vector<GradeEntry> entries;
  for (const int c : capacities) {
    entries.push_back({.cell = QStringLiteral("C%1").arg(entries.size()), .capacityMah = c});
  }
  const Grading g = GradeBatch(entries, percent);
  QList<int> gotRanked, gotGroups;
  for (const GradeRow& r : g.rows) {
    gotRanked << r.entry.capacityMah;
    gotGroups << r.group;
  }
  QCOMPARE(gotRanked, ranked);
  QCOMPARE(gotGroups, groups);
  QCOMPARE(g.groups, groups.last());
  QVERIFY(std::abs(g.meanMah - mean) < 1e-3);
  QCOMPARE(g.stdDevMah.has_value(), stdDev >= 0);
  if (g.stdDevMah) {
    QVERIFY2(std::abs(*g.stdDevMah - stdDev) < 1e-3, qPrintable(QString::number(*g.stdDevMah)));
  }
}

void TestGrading::reportTablesFit_data() {
  QTest::addColumn<QString>("locale");
  QTest::newRow("Chinese") << u"zh_CN"_qs;
  QTest::newRow("English") << u"en_US"_qs;
}

void TestGrading::reportTablesFit() {
  QFETCH(QString, locale);
  InstallTranslations(*qApp, QLocale(locale));
  ReviewWindow window({});
  window.AddSource(Discharge(u"会话 12"_qs, 2210, u"A0001"_qs));
  window.AddSource(Discharge(u"会话 13"_qs, 2190, u"A0002"_qs));
  window.AddSource(Discharge(u"data1.txt"_qs, 2100, QString()));
  window.SetCurveShown(2, 1, false);
  const ReportContent report = window.Report();

  // The hidden curve's source is not listed, nor its summary, nor graded.
  QCOMPARE(report.sources.size(), 2);
  QVERIFY(!report.sources.join(u' ').contains(u"data1.txt"_qs));
  QCOMPARE(report.rows.size(), 2);
  QCOMPARE(report.gradingRows.size(), 4);  // two cells, two cycles each
  QCOMPARE(report.gradingRows[0].value(0), u"A0001"_qs);

  // Every header line and figure fits its column at the chosen font.
  const auto fits = [](const QStringList& header, const QList<QStringList>& rows) {
    const double width = 2100 - 2 * 120;
    const ReportTableLayout layout = LayOutReportTable(header, rows, width, 40);
    const QFontMetricsF bold(ReportFont(layout.fontPx, true));
    const QFontMetricsF plain(ReportFont(layout.fontPx));
    double total = 0;
    for (qsizetype c = 0; c < header.size(); ++c) {
      const double room = layout.widths[size_t(c)] - kReportCellPadding;
      total += layout.widths[size_t(c)];
      for (const QString& line : header[c].split(u'\n')) {
        if (bold.horizontalAdvance(line) > room) {
          return u"header \""_qs + line + u"\" over "_qs + QString::number(room);
        }
      }
      for (const QStringList& row : rows) {
        if (c > 0 && plain.horizontalAdvance(row.value(c)) > room) {
          return u"cell \""_qs + row.value(c) + u"\" over "_qs + QString::number(room);
        }
      }
    }
    return std::abs(total - width) < 0.5 ? QString() : u"columns span "_qs + QString::number(total);
  };
  QList<QStringList> rows;
  for (const ReportContent::Row& row : report.rows) {
    rows << row.cells;
  }
  QString why = fits(report.header, rows);
  QVERIFY2(why.isEmpty(), qPrintable(why));
  why = fits(report.gradingHeader, report.gradingRows);
  QVERIFY2(why.isEmpty(), qPrintable(why));
  // The English summary headers are the long ones the page once clipped.
  if (locale == u"en_US") {
    QVERIFY(report.header.join(u' ').contains(u"temperature"_qs));
  }
}

// At its opening size the grading window shows every column in full, a
// long curve name and the long English headers included.
void TestGrading::gradingWindowShowsEveryColumn() {
  QFETCH(QString, locale);
  InstallTranslations(*qApp, QLocale(locale));
  ReviewWindow window({});
  window.AddSource(Discharge(u"cell-2026-batch-B.txt"_qs, 2210, QString()));
  window.AddSource(Discharge(u"会话 13"_qs, 2190, u"A0002"_qs));
  window.OpenGrading();
  GradingView& view = *window.GradingWindow();
  QVERIFY(QTest::qWaitForWindowExposed(&view));
  QTableWidget& table = view.Table();
  const QAbstractItemView& items = table;  // where the column size hint is public
  QCOMPARE(table.rowCount(), 4);
  for (int c = 0; c < table.columnCount(); ++c) {
    const int wanted =
        std::max(items.sizeHintForColumn(c), table.horizontalHeader()->sectionSizeHint(c));
    QVERIFY2(
        table.columnWidth(c) >= wanted,
        qPrintable(table.horizontalHeaderItem(c)->text() + u": "_qs +
                   QString::number(table.columnWidth(c)) + u" < "_qs + QString::number(wanted)));
  }
  QCOMPARE(table.horizontalScrollBar()->maximum(), 0);
}

// The review window's one cut-off grades the batch, in its window and in
// the report, as it changes.
void TestGrading::gradingFollowsTheReviewCutoff() {
  ReviewWindow window({});
  window.AddSource(Discharge(u"会话 12"_qs, 2200, u"A0001"_qs));
  window.AddSource(Discharge(u"会话 13"_qs, 2000, u"A0002"_qs));
  window.OpenGrading();
  const GradingView& view = *window.GradingWindow();
  constexpr int kToCutoff = 4;  // the capacity-to-cut-off column
  QCOMPARE(view.Table().item(0, kToCutoff)->text(), u"-"_qs);
  // 1400 mV falling 5 mV a second reaches 1300 mV after 20 s at 500 mA:
  // 2.78 mAh delivered to it.
  window.Cycles().SetCutoffMv(1300);
  QCOMPARE(view.Cutoff(), std::optional<qint32>(1300));
  QCOMPARE(view.Table().item(0, kToCutoff)->text(), u"2.8"_qs);
  QCOMPARE(window.Report().gradingRows.value(0).value(kToCutoff),
           view.Table().item(0, kToCutoff)->text());
  window.Cycles().SetCutoffMv(std::nullopt);
  QCOMPARE(view.Table().item(0, kToCutoff)->text(), u"-"_qs);
}

QTEST_MAIN(TestGrading)
#include "test_grading.moc"
