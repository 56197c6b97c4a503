#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyleOptionButton>
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
  // Rectangles in twips as the window is designed: left, top, width, height
  // (the size is left out, as 0 x 0, for labels that size themselves to
  // their text), relative to the frame for its children.
  void geometryAsDesigned_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("inFrame");
    QTest::addColumn<QRect>("twips");
    auto row = [](const char* name, bool inFrame, int l, int t, int w, int h) {
      QTest::newRow(name) << QString::fromLatin1(name) << inFrame << QRect(l, t, w, h);
    };
    row("iPlotX", false, 0, 0, 14295, 6975);
    row("RichText1", false, 4680, 1200, 5055, 4575);
    row("Frame3", false, 120, 7080, 8775, 2055);
    row("Label15", true, 1440, 360, 0, 0);
    row("Label16", true, 3195, 360, 0, 0);
    row("Label17", true, 4440, 360, 0, 0);
    row("Label18", true, 5775, 360, 0, 0);
    row("Label10", true, 7080, 360, 0, 0);
    row("Label1", true, 480, 840, 855, 255);
    row("Label2", true, 480, 1440, 735, 255);
    row("iSSi_T1", true, 1320, 720, 1500, 420);
    row("iSSi_V1", false, 3240, 7800, 1020, 420);
    row("iSSi_I1", true, 4440, 720, 1020, 420);
    row("iSSi_R1", true, 5760, 720, 1020, 420);
    row("iSSi_W1", true, 7080, 720, 1020, 420);
    row("iSSi_T2", true, 1320, 1320, 1500, 420);
    row("iSSi_V2", true, 3120, 1320, 1020, 420);
    row("iSSi_I2", true, 4440, 1320, 1020, 420);
    row("iSSi_R2", true, 5760, 1320, 1020, 420);
    row("iSSi_W2", true, 7080, 1320, 1020, 420);
    row("cmbCOM", false, 9240, 7320, 1215, 330);
    row("cmdOpenCOM", false, 10680, 7320, 1095, 375);
    row("cmdCloseCOM", false, 10680, 7320, 1095, 375);
    row("LED1", false, 11925, 7380, 255, 255);
    row("cmdStart", false, 12360, 7320, 1095, 375);
    row("LED2", false, 13560, 7380, 375, 255);
    row("Check1", false, 9240, 7845, 1335, 255);
    row("Command1", false, 10680, 7800, 1110, 360);
    row("iSSc_time", false, 12000, 7920, 2055, 495);
    row("Check2", false, 9240, 8280, 1335, 180);
    row("Check3", false, 10680, 8280, 1095, 180);
    row("CmdSaveDisp", false, 9240, 8760, 1215, 375);
    row("TxtSavePath", false, 10800, 8790, 1695, 315);
    row("CmdAmend", false, 12840, 8760, 1215, 375);
    row("Text3", false, 5520, 9600, 735, 375);
    row("Text2", false, 6480, 9600, 5295, 615);
    row("Label19", false, 12000, 9600, 0, 0);
    row("Text11", false, 12840, 9600, 1095, 375);
  }
  void geometryAsDesigned() {
    QFETCH(QString, name);
    QFETCH(bool, inFrame);
    QFETCH(QRect, twips);
    Harness h;
    QWidget* w = h.W().Control(name);
    QVERIFY(w);
    QCOMPARE(w->parentWidget(), inFrame ? h.W().Frame3 : static_cast<QWidget*>(&h.W()));
    const QRect designed(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    if (twips.width() == 0) {
      QCOMPARE(w->pos(), designed.topLeft());
      QCOMPARE(w->size(), w->sizeHint());
    } else {
      QCOMPARE(w->geometry(), designed);
    }
  }

  // No two controls overlap, in window coordinates, except where the layout
  // lays one over another on purpose.
  void controlsOverlapOnlyByDesign() {
    Harness h;
    // The row heading "通道 1" is designed 15 twips (one pixel) wider than
    // the gap before the time column.
    const QSet<QString> byDesign = {u"RichText1/iPlotX"_qs, u"cmdCloseCOM/cmdOpenCOM"_qs,
                                    u"Frame3/iSSi_V1"_qs, u"Label1/iSSi_T1"_qs};
    QList<QWidget*> controls;
    for (QStringView name : MainWindow::TabOrder()) {
      controls << h.W().Control(name);
    }
    QStringList overlaps;
    for (int i = 0; i < controls.size(); ++i) {
      for (int j = i + 1; j < controls.size(); ++j) {
        QWidget* a = controls[i];
        QWidget* b = controls[j];
        if (a->isAncestorOf(b) || b->isAncestorOf(a)) {
          continue;  // the frame holds its children
        }
        const QRect ra(a->mapTo(&h.W(), QPoint(0, 0)), a->size());
        const QRect rb(b->mapTo(&h.W(), QPoint(0, 0)), b->size());
        QStringList pair{a->objectName(), b->objectName()};
        pair.sort();
        if (ra.intersects(rb) && !byDesign.contains(pair.join(u'/'))) {
          overlaps << pair.join(u'/');
        }
      }
    }
    QCOMPARE(overlaps.join(u" "), QString());
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
#ifdef Q_OS_WIN
    row("TxtSavePath", true, true, u"C:\\"_qs);
#else
    row("TxtSavePath", true, true, QDir::homePath());  // no drive C: the home folder
#endif
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
                                           u"Check3"_qs,      u"iPlotX"_qs,      u"cmdOpenCOM"_qs};
    QTest::newRow("open failed") << true << QStringList{u"cmbCOM"_qs,    u"CmdSaveDisp"_qs,
                                                        u"CmdAmend"_qs,  u"TxtSavePath"_qs,
                                                        u"Text11"_qs,    u"Command1"_qs,
                                                        u"Text3"_qs,     u"Check1"_qs,
                                                        u"Check2"_qs,    u"cmdCloseCOM"_qs,
                                                        u"Check3"_qs,    u"iPlotX"_qs,
                                                        u"cmdOpenCOM"_qs};
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
    // The chart's toolbar buttons, in the chart's place, count as one stop.
    QStringList seen;
    int chartButtons = 0;
    for (int i = 0; i < 100 && seen.size() < walk.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QWidget* focus = QApplication::focusWidget();
      // The editable port list hands the focus to its text field.
      while (focus && focus->objectName().isEmpty()) {
        focus = focus->parentWidget();
      }
      const QString name = focus ? focus->objectName() : QString();
      if (name == u"iPlotX") {
        ++chartButtons;
      }
      if (seen.isEmpty() || seen.last() != name) {
        seen << name;
      }
    }
    QCOMPARE(seen, walk);
    // The chart's nine commands, "历史记录", "电池编号" and its plot area.
    QCOMPARE(chartButtons, 12);
  }

  // A port name typed into the list, then a click on "打开串口" at once: the
  // click arrives and opens that port; the list's handler, raised as the
  // focus leaves the list, never pauses inside the button's press.
  void clickRightAfterTypingAPortNameOpensIt_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("portNumber");
    QTest::newRow("COM4") << u"COM4"_qs << 4;
    QTest::newRow("com3, completed to COM3") << u"com3"_qs << 3;
  }
  void clickRightAfterTypingAPortNameOpensIt() {
    QFETCH(QString, typed);
    QFETCH(int, portNumber);
    Harness h;
    MainWindow& w = h.W();
    QApplication::setActiveWindow(&w);
    QVERIFY(QTest::qWaitForWindowActive(&w));
    w.cmbCOM->setFocus(Qt::TabFocusReason);
    w.cmbCOM->lineEdit()->selectAll();
    QTest::keyClick(w.cmbCOM->lineEdit(), Qt::Key_Backspace);
    QTest::keyClicks(w.cmbCOM->lineEdit(), typed);
    QTest::mouseClick(w.cmdOpenCOM, Qt::LeftButton);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QVERIFY(h.port->open);
    QCOMPARE(h.port->portNumber, portNumber);
    QCOMPARE(w.cmbCOM->currentText(), u"COM%1"_qs.arg(portNumber));
    QVERIFY(!w.cmdOpenCOM->isDown());
    QVERIFY(w.cmdCloseCOM->isVisible() && w.cmdStart->isEnabled());
    QCOMPARE(w.LED1->FillColor(), QColor(0, 255, 0));
    QVERIFY(!h.pressedDuringPause.contains(true));
  }

  // Each readout's face for a frame, read through the window: digit count
  // and leading positions as designed (' ' is an unlit position).
  void readoutsShowTheFrame_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("atStart");
    QTest::addColumn<QString>("shown");
    QTest::newRow("iSSi_T1") << u"iSSi_T1"_qs << u"     0"_qs << u"   120"_qs;
    QTest::newRow("iSSi_V1") << u"iSSi_V1"_qs << u"0000"_qs << u"1350"_qs;
    QTest::newRow("iSSi_I1") << u"iSSi_I1"_qs << u"   0"_qs << u"  25"_qs;
    QTest::newRow("iSSi_R1") << u"iSSi_R1"_qs << u"   0"_qs << u" 100"_qs;
    QTest::newRow("iSSi_W1") << u"iSSi_W1"_qs << u"0000"_qs << u"0025"_qs;
    QTest::newRow("iSSi_T2") << u"iSSi_T2"_qs << u"     0"_qs << u"123456"_qs;
    QTest::newRow("iSSi_V2") << u"iSSi_V2"_qs << u"0000"_qs << u"0998"_qs;
    QTest::newRow("iSSi_I2") << u"iSSi_I2"_qs << u"   0"_qs << u"   7"_qs;
    QTest::newRow("iSSi_R2") << u"iSSi_R2"_qs << u"   0"_qs << u"9999"_qs;
    QTest::newRow("iSSi_W2") << u"iSSi_W2"_qs << u"0000"_qs << u"0007"_qs;
  }
  void readoutsShowTheFrame() {
    QFETCH(QString, name);
    QFETCH(QString, atStart);
    QFETCH(QString, shown);
    Harness h;
    auto* readout = qobject_cast<SegmentReadout*>(h.W().Control(name));
    QVERIFY(readout);
    QCOMPARE(readout->Glyphs(), atStart);
    h.W().cmdOpenCOM->click();
    h.port->chunks.push_back(u"$1,1,120,1350,25,100,25;1,123456,998,7,9999,7\r\n"_qs);
    h.W().OnAcquisitionTick();
    QCOMPARE(readout->Glyphs(), shown);
  }

  // The lamps light in light green, RGB(0, 255, 0).
  void lampsLightGreen() {
    Harness h;
    h.W().cmdOpenCOM->click();
    QCOMPARE(h.W().LED1->FillColor(), QColor(0, 255, 0));
    h.W().cmdStart->click();
    QCOMPARE(h.W().LED2->FillColor(), QColor(0, 255, 0));
  }

  // The low check boxes keep their designed height and draw a whole square.
  void checkSquaresFitTheirBoxes_data() {
    QTest::addColumn<QString>("name");
    QTest::newRow("Check1") << u"Check1"_qs;
    QTest::newRow("Check2") << u"Check2"_qs;
    QTest::newRow("Check3") << u"Check3"_qs;
  }
  void checkSquaresFitTheirBoxes() {
    QFETCH(QString, name);
    Harness h;
    auto* box = qobject_cast<QCheckBox*>(h.W().Control(name));
    QStyleOptionButton option;
    option.initFrom(box);
    const QRect square = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
    QVERIFY2(box->rect().contains(square),
             qPrintable(u"%1x%2 at %3 in %4 high"_qs.arg(square.width())
                            .arg(square.height())
                            .arg(square.top())
                            .arg(box->height())));
    QCOMPARE(square.width(), square.height());
    QVERIFY(square.height() >= 9);
  }

  // The raw box hands back every chunk exactly and shows a long one by its
  // ends, so that laying it out never stalls the window.
  void rawBoxShowsLongChunksByTheirEnds_data() {
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<bool>("whole");
    QTest::newRow("a frame") << u"$1,1,120,1350,500,100,25;0\n"_qs << true;
    QTest::newRow("8000 characters") << QString(8000, u'x') << true;
    QTest::newRow("320000 characters, no line break")
        << QString(160000, u'a') + QString(160000, u'b') << false;
    QTest::newRow("surrogate pairs at the cuts")
        << QString(6000, u'a') + u"😀"_qs.repeated(2000) << false;
  }
  void rawBoxShowsLongChunksByTheirEnds() {
    QFETCH(QString, chunk);
    QFETCH(bool, whole);
    Harness h;
    MainWindow& w = h.W();
    w.cmdOpenCOM->click();
    h.port->chunks.push_back(chunk);
    w.OnAcquisitionTick();
    QCOMPARE(w.Text2->Text(), chunk);
    const QString shown = w.Text2->toPlainText();
    if (whole) {
      QCOMPARE(shown, chunk);
      return;
    }
    QVERIFY(shown.size() < 8100);
    QVERIFY(shown.startsWith(chunk.left(3999)));
    QVERIFY(shown.endsWith(chunk.right(3999)));
    QVERIFY(shown.contains(u"省略"_qs));
    for (qsizetype i = 0; i < shown.size(); ++i) {
      QVERIFY(!shown.at(i).isHighSurrogate() ||
              (i + 1 < shown.size() && shown.at(i + 1).isLowSurrogate()));
    }
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
