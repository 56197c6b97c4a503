// The main window for the keyboard and screen readers: a clear focus mark
// on every control that takes the focus, the port list's name and devices,
// a port lamp that tells the truth, a save whose result is heard.
#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "dischargechart.h"
#include "lamp.h"
#include "logpane.h"
#include "mainwindow.h"
#include "portsettings.h"
#include "savecontrol.h"
#include "segmentreadout.h"
#include "windowharness.h"

namespace {

struct Harness : WindowOn<FakeSerialPort> {
  Harness() {
    // Tall enough for the status row below the designed client area.
    W().resize(950, 690);
    QApplication::setActiveWindow(&W());
  }
};

QString NameOf(QWidget* w) {
  return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
}

bool Differs(QRgb a, QRgb b) {
  return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
             std::abs(qBlue(a) - qBlue(b)) >
         150;
}

}  // namespace

class TestWindowAccess : public QObject {
  Q_OBJECT
 private slots:
  void focusMarkIsClear_data();
  void focusMarkIsClear();
  void focusMarkLeavesTheLogPaneItsCheapRepaint();
  void portListNamedAndDevicesShown();
  void portLampTellsTheTruth_data();
  void portLampTellsTheTruth();
  void saveResultIsHeard();
  void chartTakesTheFocusFirst();
  void readoutsAreReadOnlyValues_data();
  void readoutsAreReadOnlyValues();
};

// The window drawn with the focus on the control and with the focus away
// from it: the control's outer two pixels change clearly, nothing outside
// it changes and it keeps its designed rectangle.
void TestWindowAccess::focusMarkIsClear_data() {
  QTest::addColumn<QString>("name");
  for (const char* name :
       {"cmbCOM", "cmdOpenCOM", "CmdSaveDisp", "CmdAmend", "TxtSavePath", "Text11", "Command1",
        "Text3", "Check1", "Check2", "Check3", "RichText1", "iPlotX"}) {
    QTest::newRow(name) << QString::fromLatin1(name);
  }
}

void TestWindowAccess::focusMarkIsClear() {
  QFETCH(QString, name);
  Harness h;
  MainWindow& w = h.W();
  w.Check3->setChecked(true);  // shows the log pane
  QVERIFY(QTest::qWaitForWindowActive(&w));
  QWidget* control = w.Control(name);
  // The chart takes the focus in its plot area.
  QWidget* target = control;
  for (QWidget* child : control->findChildren<QWidget*>()) {
    target = child->inherits("QCustomPlot") ? child : target;
  }
  const QRect rect(target->mapTo(&w, QPoint(0, 0)), target->size());
  const QRect designed = control->geometry();
  if (QWidget* focus = QApplication::focusWidget()) {
    focus->clearFocus();
  }
  QCoreApplication::processEvents();
  const QImage away = w.grab().toImage();
  target->setFocus(Qt::TabFocusReason);
  QVERIFY(target->hasFocus() || target->isAncestorOf(QApplication::focusWidget()));
  QCoreApplication::processEvents();
  const QImage focused = w.grab().toImage();
  QCOMPARE(control->geometry(), designed);

  int ring = 0;
  int ringChanged = 0;
  int outsideChanged = 0;
  const QRect inner = rect.adjusted(2, 2, -2, -2);
  for (int y = 0; y < away.height(); ++y) {
    for (int x = 0; x < away.width(); ++x) {
      const bool changed = Differs(away.pixel(x, y), focused.pixel(x, y));
      if (!rect.contains(x, y)) {
        outsideChanged += changed ? 1 : 0;
      } else if (!inner.contains(x, y)) {
        ++ring;
        ringChanged += changed ? 1 : 0;
      }
    }
  }
  QVERIFY2(ringChanged * 10 >= ring * 4,
           qPrintable(QStringLiteral("%1 of %2 edge pixels changed").arg(ringChanged).arg(ring)));
  QCOMPARE(outsideChanged, 0);
}

// With the chart focused and the log pane over it, a second's new line
// repaints a line or two of the log, not all that the mark overlaps.
void TestWindowAccess::focusMarkLeavesTheLogPaneItsCheapRepaint() {
  struct PaintArea : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint) {
        for (const QRect& r : static_cast<QPaintEvent*>(event)->region()) {
          pixels += qint64(r.width()) * r.height();
        }
      }
      return false;
    }
    qint64 pixels = 0;
  } painted;
  Harness h;
  MainWindow& w = h.W();
  w.Check3->setChecked(true);
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  for (QWidget* child : w.iPlotX->findChildren<QWidget*>()) {
    if (child->inherits("QCustomPlot")) {
      child->setFocus(Qt::TabFocusReason);
    }
  }
  QWidget* viewport = w.RichText1->viewport();
  const auto tick = [&](int i) {
    h.port->chunks.push_back(u"$1,1,%1,1300,500,%1,25;1,%1,1299,498,%1,24\r\n"_qs.arg(i));
    w.OnAcquisitionTick();
    QCoreApplication::processEvents();
  };
  for (int i = 0; i < 60; ++i) {  // a full pane, scrolling since
    tick(i);
  }
  viewport->installEventFilter(&painted);
  tick(60);
  const qint64 all = qint64(viewport->width()) * viewport->height();
  QVERIFY2(painted.pixels > 0 && painted.pixels < all / 4,
           qPrintable(u"%1 of %2 pixels"_qs.arg(painted.pixels).arg(all)));
}

void TestWindowAccess::portListNamedAndDevicesShown() {
  PortMap map;
  QString error;
  QVERIFY(map.Assign(u"COM2=/dev/ttyUSB7"_qs, &error));
  SetPortMap(map);
  Harness h;
  SetPortMap(PortMap());
  QComboBox* list = h.W().cmbCOM;
  QCOMPARE(list->count(), 16);
  QCOMPARE(list->itemData(1, Qt::ToolTipRole).toString(), u"/dev/ttyUSB7"_qs);
  for (int i : {0, 2, 15}) {
    QCOMPARE(list->itemData(i, Qt::ToolTipRole).toString(), CurrentPortMap().Device(i + 1));
  }
  QCOMPARE(list->toolTip(), list->itemData(0, Qt::ToolTipRole).toString());
  list->setCurrentIndex(1);
  QCOMPARE(list->toolTip(), u"/dev/ttyUSB7"_qs);
  // The focus lands in the list's text field: it carries the list's name.
  QCOMPARE(NameOf(list->lineEdit()), u"串口"_qs);
  // The list itself is named for what it is; the port chosen is its value.
  QAccessibleInterface* node = QAccessible::queryAccessibleInterface(list);
  QCOMPARE(node->role(), QAccessible::ComboBox);
  QCOMPARE(node->text(QAccessible::Name), u"串口"_qs);
  QCOMPARE(node->text(QAccessible::Value), u"COM2"_qs);
  QVERIFY(node->actionInterface()->actionNames().contains(
      QAccessibleActionInterface::showMenuAction()));
}

// After "打开串口" (succeeding or failing), and after "关闭串口".
void TestWindowAccess::portLampTellsTheTruth_data() {
  QTest::addColumn<bool>("opens");
  QTest::addColumn<QString>("afterOpen");
  QTest::newRow("open") << true << u"串口已打开"_qs;
  QTest::newRow("open failed, the lamp lit") << false << u"串口打开失败"_qs;
}

void TestWindowAccess::portLampTellsTheTruth() {
  QFETCH(bool, opens);
  QFETCH(QString, afterOpen);
  Harness h;
  h.port->openOk = opens;
  QCOMPARE(NameOf(h.W().LED1), u"串口未打开"_qs);
  h.W().cmdOpenCOM->click();
  QCOMPARE(h.W().LED1->FillColor(), kLampOn);
  QCOMPARE(NameOf(h.W().LED1), afterOpen);
  h.W().cmdCloseCOM->click();
  QCOMPARE(NameOf(h.W().LED1), u"串口未打开"_qs);
}

// "保存数据" pressed from the keyboard: the confirmation is where the focus
// goes, shown from its start, and the focus comes back to the button.
void TestWindowAccess::saveResultIsHeard() {
  Harness h;
  MainWindow& w = h.W();
  QVERIFY(QTest::qWaitForWindowActive(&w));
  QTemporaryDir dir;
  w.TxtSavePath->setText(dir.path());
  w.CmdSaveDisp->setFocus(Qt::TabFocusReason);
  QTest::keyClick(w.CmdSaveDisp, Qt::Key_Space);
  QVERIFY(!w.CmdSaveDisp->isEnabled());
  QCOMPARE(w.TxtSavePath->text(), u"OK,Data1.txt Saving!"_qs);
  QCOMPARE(QApplication::focusWidget(), w.TxtSavePath);
  QCOMPARE(w.TxtSavePath->cursorPosition(), 0);
  // Shown from its start: "OK" is in view in the narrow box.
  QVERIFY(w.TxtSavePath->inputMethodQuery(Qt::ImCursorRectangle).toRect().left() <
          w.TxtSavePath->width() / 4);
  auto* save = w.findChild<SaveControl*>();
  QVERIFY(save);
  h.clock.Advance(SaveControl::kConfirmationMs);
  save->CheckConfirmation();
  QVERIFY(w.CmdSaveDisp->isEnabled());
  QCOMPARE(QApplication::focusWidget(), w.CmdSaveDisp);

  // A save that fails shows nothing, as designed, but the focused button's
  // description says why; the next save that succeeds clears it.
  w.TxtSavePath->setText(dir.filePath(u"missing"_qs));
  QTest::keyClick(w.CmdSaveDisp, Qt::Key_Space);
  QVERIFY(w.CmdSaveDisp->isEnabled());
  QCOMPARE(w.TxtSavePath->text(), dir.filePath(u"missing"_qs));
  const QString told =
      QAccessible::queryAccessibleInterface(w.CmdSaveDisp)->text(QAccessible::Description);
  QVERIFY2(told.startsWith(u"保存失败："_qs) && told.size() > 5, qPrintable(told));
  w.TxtSavePath->setText(dir.path());
  QTest::keyClick(w.CmdSaveDisp, Qt::Key_Space);
  QVERIFY(!w.CmdSaveDisp->isEnabled());
  QCOMPARE(QAccessible::queryAccessibleInterface(w.CmdSaveDisp)->text(QAccessible::Description),
           QString());
}

// The chart, first in the designed tab order, has the focus when the window
// opens: its plot area, from which Tab walks the toolbar's buttons, the
// last of them "历史记录", and then "打开串口".
void TestWindowAccess::chartTakesTheFocusFirst() {
  Harness h;
  QVERIFY(QTest::qWaitForWindowActive(&h.W()));
  QWidget* focus = QApplication::focusWidget();
  QVERIFY(focus && focus->inherits("QCustomPlot") && h.W().iPlotX->isAncestorOf(focus));
  QStringList walk;
  for (int i = 0; i < 12; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
    walk << (button ? button->text() : QString());
  }
  QCOMPARE(walk, (QStringList{u"放大"_qs, u"缩小"_qs, u"全部显示"_qs, u"暂停"_qs, u"游标"_qs,
                              u"复制"_qs, u"保存图像"_qs, u"导出CSV"_qs, u"打印"_qs, u"历史记录"_qs,
                              u"电池编号"_qs, u"打开串口"_qs}));
}

void TestWindowAccess::readoutsAreReadOnlyValues_data() {
  QTest::addColumn<QString>("name");
  for (const char* name : {"iSSi_T1", "iSSi_V1", "iSSi_I1", "iSSi_R1", "iSSi_W1", "iSSi_T2",
                           "iSSi_V2", "iSSi_I2", "iSSi_R2", "iSSi_W2"}) {
    QTest::newRow(name) << QString::fromLatin1(name);
  }
}

// No value interface (for which the bridge offers Increase and Decrease)
// and no action of their own; the value is the text shown.
void TestWindowAccess::readoutsAreReadOnlyValues() {
  QFETCH(QString, name);
  Harness h;
  auto* readout = qobject_cast<SegmentReadout*>(h.W().Control(name));
  QVERIFY(readout);
  readout->SetValue(-1234);
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(readout);
  QVERIFY(!iface->valueInterface());
  QVERIFY(!iface->actionInterface() || iface->actionInterface()->actionNames().isEmpty());
  QVERIFY(iface->state().readOnly);
  QCOMPARE(iface->text(QAccessible::Value), readout->ShownText());
  QVERIFY(iface->textInterface());
}

QTEST_MAIN(TestWindowAccess)
#include "test_windowaccess.moc"
