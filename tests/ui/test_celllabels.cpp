// Labelling the cells as a barcode scanner does it: each label typed and
// ended with Enter. The first Enter must not close the dialog half filled.

#include <QLineEdit>
#include <QtTest>

#include "celllabeldialog.h"
#include "dischargechart.h"

namespace {

// Types as a scanner's keyboard would; QTest has no key for a Chinese
// character, which goes in as an input method would put it.
void Type(QLineEdit* field, const QString& text) {
  for (const QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClicks(field, QString(c));
    } else {
      field->insert(QString(c));
    }
  }
}

}  // namespace

class TestCellLabels : public QObject {
  Q_OBJECT
 private slots:
  void scannerFillsBothChannels_data();
  void scannerFillsBothChannels();
};

void TestCellLabels::scannerFillsBothChannels_data() {
  QTest::addColumn<QString>("start2");  // channel 2's label before
  QTest::addColumn<QString>("scan1");   // typed into channel 1, then Enter
  QTest::addColumn<QString>("scan2");   // typed into channel 2, then Enter
  QTest::addColumn<QStringList>("applied");
  QTest::newRow("two cells") << QString() << u"A0001"_qs << u"B0002"_qs
                             << QStringList{u"A0001"_qs, u"B0002"_qs};
  // The second field starts selected, so a scan replaces the old label.
  QTest::newRow("replaces channel 2")
      << u"OLD"_qs << u"A0001"_qs << u"C7 电芯"_qs << QStringList{u"A0001"_qs, u"C7 电芯"_qs};
  QTest::newRow("padding trimmed")
      << QString() << u"  A0001 "_qs << u" B 2  "_qs << QStringList{u"A0001"_qs, u"B 2"_qs};
}

void TestCellLabels::scannerFillsBothChannels() {
  QFETCH(QString, start2);
  QFETCH(QString, scan1);
  QFETCH(QString, scan2);
  QFETCH(QStringList, applied);
  QWidget window;
  auto* chart = new DischargeChart(&window);
  window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&window));
  std::array<QString, 2> cells = {u"X"_qs, start2};
  int applies = 0;
  ConnectCellsButton(
      *chart, [&] { return cells; },
      [&](const std::array<QString, 2>& to) {
        cells = to;
        ++applies;
      });
  emit chart->CellsRequested();
  auto* dialog = window.findChild<CellLabelDialog*>();
  QVERIFY(dialog && dialog->isVisible());
  emit chart->CellsRequested();  // a second press brings the same dialog up
  QCOMPARE(window.findChildren<CellLabelDialog*>().size(), 1);

  QTest::keyClick(dialog->Field(1), Qt::Key_A, Qt::ControlModifier);
  Type(dialog->Field(1), scan1);
  QTest::keyClick(dialog->Field(1), Qt::Key_Return);
  QVERIFY(dialog->isVisible());
  QCOMPARE(applies, 0);
  QCOMPARE(dialog->focusWidget(), dialog->Field(2));
  Type(dialog->Field(2), scan2);
  QTest::keyClick(dialog->Field(2), Qt::Key_Enter);
  QCOMPARE(applies, 1);
  QCOMPARE((QStringList{cells[0], cells[1]}), applied);
  QTRY_VERIFY(window.findChildren<CellLabelDialog*>().isEmpty());  // closed and deleted
}

QTEST_MAIN(TestCellLabels)
#include "test_celllabels.moc"
