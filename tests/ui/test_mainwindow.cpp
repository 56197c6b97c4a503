#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "datetime.h"
#include "dischargechart.h"
#include "fakeservices.h"
#include "lamp.h"
#include "layouttable.h"
#include "logpane.h"
#include "mainwindow.h"
#include "segmentclock.h"
#include "segmentreadout.h"
#include "textboxes.h"
#include "windowharness.h"

namespace {

// A window on a fake port whose number before the load sequence is given.
struct Harness : WindowOn<FakeSerialPort> {
  explicit Harness(int initialPortNumber = 1)
      : WindowOn([initialPortNumber](FakeSerialPort& p) { p.portNumber = initialPortNumber; }) {}
};

QString Caption(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) {
    return b->text();
  }
  if (auto* l = qobject_cast<QLabel*>(w)) {
    return l->text();
  }
  if (auto* g = qobject_cast<QGroupBox*>(w)) {
    return g->title();
  }
  if (auto* e = qobject_cast<QLineEdit*>(w)) {
    return e->text();
  }
  if (auto* t = dynamic_cast<RawTextBox*>(w)) {
    return t->Text();
  }
  if (auto* c = qobject_cast<QComboBox*>(w)) {
    return c->currentText();
  }
  return QString();
}

const QSet<QString> kSelfSizing = {u"Label15"_qs, u"Label16"_qs, u"Label17"_qs,
                                   u"Label18"_qs, u"Label10"_qs, u"Label19"_qs};

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

 private slots:
  void geometryFollowsTheLayoutTable_data() {
    QTest::addColumn<QString>("name");
    for (const ControlPlacement& p : LayoutTable()) {
      QTest::newRow(p.name.toString().toUtf8().constData()) << p.name.toString();
    }
  }
  void geometryFollowsTheLayoutTable() {
    QFETCH(QString, name);
    Harness h;
    const ControlPlacement& p = PlacementOf(name);
    QWidget* w = h.W().Control(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget(), p.parent.isEmpty() ? static_cast<QWidget*>(&h.W()) : h.W().Frame3);
    const QRect designed(p.left / 15, p.top / 15, p.width / 15, p.height / 15);
    if (kSelfSizing.contains(name)) {
      QCOMPARE(w->pos(), designed.topLeft());
      QCOMPARE(w->size(), w->sizeHint());
    } else {
      QCOMPARE(w->geometry(), designed);
    }
  }

  void designedPixelSizes() {
    Harness h;
    QCOMPARE(h.W().iPlotX->geometry(), QRect(0, 0, 953, 465));
    QCOMPARE(h.W().iSSi_T1->size(), QSize(100, 28));
    QCOMPARE(h.W().iSSi_W2->size(), QSize(68, 28));
    QCOMPARE(h.W().iSSc_time->size(), QSize(137, 33));
    // iSSi_V1 lies exactly over its frame cell.
    QCOMPARE(h.W().iSSi_V1->geometry(),
             QRect(h.W().Frame3->pos() + QPoint(3120 / 15, 720 / 15), QSize(68, 28)));
    QCOMPARE(h.W().size(), QSize(950, 620));
  }

  void controlsLookAsDesigned_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");

    auto row = [](const char* name, bool visible, bool enabled, const QString& caption,
                  double points = 9, bool bold = false) {
      QTest::newRow(name) << QString::fromLatin1(name) << visible << enabled << caption << points
                          << bold;
    };
    row("Frame3", true, true, u"电池状态"_qs, 12);
    row("Label15", true, true, u"时间(S)"_qs, 10.5, true);
    row("Label16", true, true, u"电压(mV)"_qs, 10.5, true);
    row("Label17", true, true, u"电流(mA)"_qs, 10.5, true);
    row("Label18", true, true, u"容量(mAh)"_qs, 10.5, true);
    row("Label10", true, true, u"温度"_qs, 10.5, true);
    row("Label1", true, true, u"通道 1"_qs, 10.5, true);
    row("Label2", true, true, u"通道 2"_qs, 10.5, true);
    row("cmbCOM", true, true, u"COM1"_qs, 10.5);
    row("cmdOpenCOM", true, true, u"打开串口"_qs);
    row("cmdCloseCOM", false, false, u"关闭串口"_qs);
    row("cmdStart", true, false, u"连接设备"_qs);
    row("Check1", true, true, u"显示通道 1"_qs);
    row("Command1", true, true, u"清除图表"_qs);
    row("Check2", true, true, u"显示通道 2"_qs);
    row("Check3", true, true, u"数据窗口"_qs);
    row("CmdSaveDisp", true, true, u"保存数据"_qs);
    row("TxtSavePath", true, true, QDir::homePath());
    row("CmdAmend", true, true, u"更改路径"_qs);
    row("Text3", true, true, u"5533"_qs);
    row("Text2", true, false, u"接收数据"_qs);
    row("Label19", true, true, u"状态："_qs);
    row("Text11", true, true, QString(), 12, true);
    row("RichText1", false, true, QString());
  }
  void controlsLookAsDesigned() {
    QFETCH(QString, name);
    QFETCH(bool, visible);
    QFETCH(bool, enabled);
    QFETCH(QString, caption);
    QFETCH(double, points);
    QFETCH(bool, bold);
    Harness h;
    QWidget* w = h.W().Control(name);
    QCOMPARE(w->isVisible(), visible);
    QCOMPARE(w->isEnabled(), enabled);
    QCOMPARE(Caption(w), caption);
    QCOMPARE(w->font().pointSizeF(), points);
    QCOMPARE(w->font().bold(), bold);
    // The face actually used is a CJK Song face, so the captions render.
    const QString family = QFontInfo(w->font()).family();
    QVERIFY2(family.contains(u"宋体") || family.contains(u"SimSun") || family.contains(u"UMing"),
             qPrintable(family));
  }

  void colours() {
    Harness h;
    MainWindow& w = h.W();
    QCOMPARE(w.palette().color(QPalette::Window), QColor(255, 192, 128));
    QCOMPARE(w.Frame3->palette().color(QPalette::WindowText), QColor(128, 0, 128));
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    for (QLabel* label :
         {w.Label1, w.Label2, w.Label10, w.Label15, w.Label16, w.Label17, w.Label18, w.Label19}) {
      QCOMPARE(label->palette().color(QPalette::WindowText), highlight);
    }
    QVERIFY(!w.Label19->autoFillBackground());
    QCOMPARE(w.Text11->palette().color(QPalette::Text), QColor(0, 0, 255));
    QCOMPARE(w.Text11->palette().color(QPalette::Base), QColor(224, 224, 224));
    QCOMPARE(w.Text11->alignment(), Qt::AlignCenter);
    QCOMPARE(w.LED1->FillColor(), QColor(128, 128, 128));
    QCOMPARE(w.LED2->FillColor(), QColor(128, 128, 128));
  }

  void lampsAreCentredCircles() {
    Harness h;
    QCOMPARE(h.W().LED1->Circle(), QRectF(0, 0, 17, 17));
    QCOMPARE(h.W().LED2->Circle(), QRectF(4, 0, 17, 17));  // 25 x 17 rectangle
    const QImage image = h.W().LED2->grab().toImage();
    QCOMPARE(image.pixelColor(12, 8), QColor(128, 128, 128));
  }

  void stacking_data() {
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("lower");
    QTest::newRow("log pane over chart") << u"RichText1"_qs << u"iPlotX"_qs;
    QTest::newRow("close button over open button") << u"cmdCloseCOM"_qs << u"cmdOpenCOM"_qs;
    QTest::newRow("channel 1 voltage over the frame") << u"iSSi_V1"_qs << u"Frame3"_qs;
  }
  void stacking() {
    QFETCH(QString, upper);
    QFETCH(QString, lower);
    Harness h;
    QWidget* up = h.W().Control(upper);
    QWidget* low = h.W().Control(lower);
    up->show();
    low->show();
    const QPoint centre = up->geometry().center();
    QWidget* hit = h.W().childAt(centre);
    QVERIFY(hit);
    QVERIFY2(hit == up || up->isAncestorOf(hit), qPrintable(hit->objectName()));
    QVERIFY(low->geometry().contains(centre));
  }

  void focusChainFollowsTheDesignedOrder() {
    Harness h;
    QStringList designed;
    for (QStringView name : MainWindow::TabOrder()) {
      if (h.W().Control(name)->focusPolicy() != Qt::NoFocus) {
        designed << name.toString();
      }
    }
    QCOMPARE(designed.size(), 15);
    QStringList chain;
    QWidget* w = h.W().Control(designed.first());
    for (int guard = 0; guard < 500 && chain.size() < designed.size(); ++guard) {
      if (designed.contains(w->objectName()) && !chain.contains(w->objectName())) {
        chain << w->objectName();
      }
      w = w->nextInFocusChain();
    }
    QCOMPARE(chain, designed);
  }

  // Tab walks the designed order over enabled, visible controls only. In the
  // Open failed state it reaches the covered open button.
  void tabKeyWalksTheDesignedOrder_data() {
    QTest::addColumn<bool>("openFailed");
    QTest::addColumn<QStringList>("walk");
    QTest::newRow("closed") << false
                            << QStringList{u"cmbCOM"_qs,      u"CmdSaveDisp"_qs, u"CmdAmend"_qs,
                                           u"TxtSavePath"_qs, u"Text11"_qs,      u"Command1"_qs,
                                           u"Text3"_qs,       u"Check1"_qs,      u"Check2"_qs,
                                           u"Check3"_qs,      u"cmdOpenCOM"_qs};
    QTest::newRow("open failed") << true << QStringList{u"cmbCOM"_qs,   u"CmdSaveDisp"_qs,
                                                        u"CmdAmend"_qs, u"TxtSavePath"_qs,
                                                        u"Text11"_qs,   u"Command1"_qs,
                                                        u"Text3"_qs,    u"Check1"_qs,
                                                        u"Check2"_qs,   u"cmdCloseCOM"_qs,
                                                        u"Check3"_qs,   u"cmdOpenCOM"_qs};
  }
  void tabKeyWalksTheDesignedOrder() {
    QFETCH(bool, openFailed);
    QFETCH(QStringList, walk);
    Harness h;
    if (openFailed) {
      h.port->openOk = false;
      h.W().cmdOpenCOM->click();
    }
    QApplication::setActiveWindow(&h.W());
    QVERIFY(QTest::qWaitForWindowActive(&h.W()));
    h.W().cmdOpenCOM->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), h.W().cmdOpenCOM);
    QStringList seen;
    for (int i = 0; i < walk.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QWidget* focus = QApplication::focusWidget();
      // The editable port list hands the focus to its text field.
      while (focus && focus->objectName().isEmpty()) {
        focus = focus->parentWidget();
      }
      seen << (focus ? focus->objectName() : QString());
    }
    QCOMPARE(seen, walk);
  }

  void labelsAndDisplaysNeverTakeTheFocus() {
    Harness h;
    for (const char* name : {"Frame3", "Label1", "Label19", "iPlotX", "iSSi_V1", "iSSc_time"}) {
      QCOMPARE(h.W().Control(QString::fromLatin1(name))->focusPolicy(), Qt::NoFocus);
    }
  }

  // In the Open failed state the covered open button is still reached from
  // the keyboard, right after the path box's predecessor chain.
  void keyboardReachesTheCoveredOpenButton() {
    Harness h;
    h.port->openOk = false;
    h.W().cmdOpenCOM->click();
    QCOMPARE(h.messages.texts.size(), 1);
    QVERIFY(h.W().cmdOpenCOM->isVisible() && h.W().cmdOpenCOM->isEnabled());
    QVERIFY(h.W().cmdCloseCOM->isVisible() && h.W().cmdCloseCOM->isEnabled());
    QCOMPARE(h.W().childAt(h.W().cmdOpenCOM->geometry().center()), h.W().cmdCloseCOM);
    QVERIFY(h.W().cmdOpenCOM->focusPolicy() & Qt::TabFocus);
  }

  void statusRowLiesBelowTheInitialClientArea() {
    Harness h;
    for (QWidget* w :
         std::initializer_list<QWidget*>{h.W().Text3, h.W().Text2, h.W().Label19, h.W().Text11}) {
      QVERIFY(w->geometry().top() >= h.W().height());
    }
    QCOMPARE(h.W().Text2->geometry().bottom() + 1, 10215 / 15);
    // The user may make the window taller to see it; nothing moves.
    const QRect before = h.W().Text2->geometry();
    h.W().resize(950, 700);
    QCOMPARE(h.W().Text2->geometry(), before);
    QVERIFY(h.W().rect().contains(h.W().Text2->geometry()));
  }

  void readoutsAreNamedByTheirHeadings() {
    Harness h;
    QCOMPARE(h.W().iSSi_V1->accessibleName(), u"通道 1 电压(mV)"_qs);
    QCOMPARE(h.W().iSSi_W2->accessibleName(), u"通道 2 温度"_qs);
    QCOMPARE(h.W().iSSi_T2->accessibleName(), u"通道 2 时间(S)"_qs);
  }

  void timers() {
    Harness h;
    QCOMPARE(h.W().Timer1->interval(), 1000);
    QCOMPARE(h.W().Timer2->interval(), 1000);
    QVERIFY(!h.W().Timer1->isActive());
    QVERIFY(h.W().Timer2->isActive());
  }

  void initialState() {
    Harness h;
    MainWindow& w = h.W();
    QCOMPARE(w.cmbCOM->count(), 16);
    QCOMPARE(w.cmbCOM->itemText(0), u"COM1"_qs);
    QCOMPARE(w.cmbCOM->itemText(15), u"COM16"_qs);
    QCOMPARE(w.cmbCOM->currentIndex(), 0);
    QVERIFY(w.Check1->isChecked());
    QVERIFY(w.Check2->isChecked());
    QVERIFY(!w.Check3->isChecked());
    QCOMPARE(w.RichText1->Text(), QString());
    QVERIFY(w.RichText1->isReadOnly());
    QCOMPARE(w.iPlotX->PointCount(0), 0);
    QCOMPARE(w.iPlotX->Title(), u"实时曲线"_qs);
    for (SegmentReadout* r : {w.iSSi_T1, w.iSSi_V1, w.iSSi_I1, w.iSSi_R1, w.iSSi_W1, w.iSSi_T2,
                              w.iSSi_V2, w.iSSi_I2, w.iSSi_R2, w.iSSi_W2}) {
      QCOMPARE(r->GetValue(), 0);
    }
    QVERIFY(!w.iSSc_time->HasTime());
    QVERIFY(h.pauses.isEmpty());  // port 1 was already the port's number
    QVERIFY(h.messages.texts.isEmpty());
  }

  // The port list's start-up selection raises its handler inside the load
  // sequence: after the chart set-up and before the log pane start-up.
  void loadSequenceRunsInOrder() {
    // The handler runs inside the constructor, so the probe finds the
    // window's parts among all widgets: the chart must be set up already and
    // the log pane not yet made read-only.
    QString chartTitleDuringPause;
    std::optional<bool> logReadOnlyDuringPause;
    QList<qint32> pauses;
    auto fake = std::make_unique<FakeSerialPort>();
    fake->portNumber = 5;  // differs from the first entry's port 1
    RecordingMessageSink messages;
    FakeFolderChooser folders;
    FakeClock clock;
    MainWindowServices services;
    services.port = std::move(fake);
    services.messages = &messages;
    services.folders = &folders;
    services.clock = &clock;
    services.pause = [&](qint32 ms) {
      pauses << ms;
      for (QWidget* widget : QApplication::allWidgets()) {
        if (auto* chart = qobject_cast<DischargeChart*>(widget)) {
          chartTitleDuringPause = chart->Title();
        }
        if (auto* log = qobject_cast<LogPane*>(widget)) {
          logReadOnlyDuringPause = log->isReadOnly();
        }
      }
    };
    MainWindow window(std::move(services));
    QCOMPARE(pauses, QList<qint32>{100});
    QCOMPARE(chartTitleDuringPause, u"实时曲线"_qs);
    QCOMPARE(logReadOnlyDuringPause, std::optional<bool>(false));
    QVERIFY(window.RichText1->isReadOnly());
    QVERIFY(window.RichText1->isHidden());
    QVERIFY(window.cmdOpenCOM->isEnabled());
    QVERIFY(!window.cmdStart->isEnabled());
  }

  // A frame fed through the acquisition timer reaches the real controls.
  void timerDrivesThePassOnTheRealControls() {
    Harness h;
    MainWindow& w = h.W();
    w.cmdOpenCOM->click();
    w.cmdStart->click();
    QVERIFY(w.Timer1->isActive());
    h.port->chunks.push_back(u"$1,1,120,1350,500,100,25;1,118,1342,498,99,24\r\n"_qs);
    w.Timer1->setInterval(0);
    QTRY_COMPARE(w.iPlotX->PointCount(1), 1);
    QCOMPARE(w.iSSi_T1->GetValue(), 120);
    QCOMPARE(w.iSSi_V1->GetValue(), 1350);
    QCOMPARE(w.iSSi_W1->GetValue(), 25);
    QCOMPARE(w.iSSi_T2->GetValue(), 118);
    QCOMPARE(w.iSSi_W2->GetValue(), 24);
    QCOMPARE(w.iPlotX->Point(0, 0), QPointF(120, 1350));
    QCOMPARE(w.iPlotX->Point(1, 0), QPointF(118, 1342));
    QCOMPARE(w.Text11->text(), u"就绪"_qs);
    QCOMPARE(w.Text2->Text(), u"$1,1,120,1350,500,100,25;1,118,1342,498,99,24\r\n"_qs);
    QVERIFY(w.RichText1->Text().startsWith(u"$1,1,120"_qs));
    w.cmdStart->click();
    QVERIFY(!w.Timer1->isActive());
  }

  void clockTickShowsTheLocalTime() {
    Harness h;
    h.clock.now = QDateTime(QDate(2026, 12, 7), QTime(13, 4, 5));
    h.W().OnClockTick();
    QVERIFY(h.W().iSSc_time->HasTime());
    QCOMPARE(TimeOfDayOf(h.W().iSSc_time->Time()), QTime(13, 4, 5));
  }

  // Every way of changing a box runs its handler, not only a mouse click.
  void checkBoxesDriveTracesAndLogPane_data() {
    QTest::addColumn<QString>("way");
    for (const char* way : {"click", "space", "toggle action", "code"}) {
      QTest::newRow(way) << QString::fromLatin1(way);
    }
  }
  void checkBoxesDriveTracesAndLogPane() {
    QFETCH(QString, way);
    Harness h;
    MainWindow& w = h.W();
    const auto change = [&way](QCheckBox* box) {
      if (way == u"click") {
        box->click();
      } else if (way == u"space") {
        QTest::keyClick(box, Qt::Key_Space);
      } else if (way == u"toggle action") {
        QAccessible::queryAccessibleInterface(box)->actionInterface()->doAction(
            QAccessibleActionInterface::toggleAction());
      } else {
        box->setChecked(!box->isChecked());
      }
    };
    change(w.Check1);
    QVERIFY(!w.Check1->isChecked());
    QVERIFY(!w.iPlotX->TraceVisible(0));
    change(w.Check2);
    QVERIFY(!w.iPlotX->TraceVisible(1));
    change(w.Check1);
    QVERIFY(w.iPlotX->TraceVisible(0));
    change(w.Check3);
    QVERIFY(w.Check3->isChecked());
    QVERIFY(w.RichText1->isVisible());
    change(w.Check3);
    QVERIFY(!w.RichText1->isVisible());
  }

  void clearChartLeavesReadoutsAndLog() {
    Harness h;
    MainWindow& w = h.W();
    w.cmdOpenCOM->click();
    h.port->chunks.push_back(u"$1,1,10,1300,1,1,1;0"_qs);
    w.OnAcquisitionTick();
    w.Command1->click();
    QCOMPARE(w.iPlotX->PointCount(0), 0);
    QCOMPARE(w.iSSi_V1->GetValue(), 1300);
    QCOMPARE(w.RichText1->Text(), u"$1,1,10,1300,1,1,1;0"_qs);
  }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
