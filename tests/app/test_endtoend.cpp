// The whole program on a pseudo-terminal: the real port layer and the real
// window read frames written to the terminal, and keep going when the
// device is pulled out and plugged in again.

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "dischargechart.h"
#include "fakeservices.h"
#include "lamp.h"
#include "logpane.h"
#include "mainwindow.h"
#include "pseudoterminal.h"
#include "segmentreadout.h"
#include "serialportdevice.h"
#include "textboxes.h"
#include "windowharness.h"

namespace {

constexpr int kWaitMs = 5000;
const QByteArray kFrame1 = "$1,1,120,1350,500,100,25;1,118,1342,498,99,24\r\n";
const QByteArray kFrame2 = "$1,1,121,1349,500,101,25;1,119,1341,498,100,24\r\n";
const QByteArray kFrame3 = "$1,1,190,1301,499,130,26;1,188,1296,497,128,25\r\n";
const QByteArray kNotice = " Exit from discharge .... ";

// A window on the real port layer, with ORVANTA_COM1 pointing at a
// pseudo-terminal the test writes to.
class Bench : public WindowOn<SerialPortDevice> {
 public:
  Bench() {
    link = dir.filePath(QStringLiteral("charger"));
    qputenv("ORVANTA_COM1", link.toLocal8Bit());  // read when the port opens
    // Passes are driven by hand; the timer's own ticks stay out of the way.
    window->Timer1->setInterval(3'600'000);
  }
  ~Bench() { qunsetenv("ORVANTA_COM1"); }

  bool PlugIn() { return pty.Open(link.toStdString()); }

  // Writes bytes and waits until the port holds them all.
  bool Send(const QByteArray& bytes) {
    const qint64 before = device->BytesBuffered();
    if (!pty.Write({bytes.constData(), size_t(bytes.size())})) {
      return false;
    }
    return QTest::qWaitFor([&] { return device->BytesBuffered() == before + bytes.size(); },
                           kWaitMs);
  }

  QTemporaryDir dir;
  QString link;
  PseudoTerminal pty;
  SerialPortDevice* device = port;
};

QString Text(const QByteArray& bytes) {
  return QString::fromLatin1(bytes);
}

}  // namespace

class TestEndToEnd : public QObject {
  Q_OBJECT
 private slots:
  void framesReachTheDisplaysAndSurviveAPulledCable();
  void portClosesWhileTheDeviceIsAway();
};

void TestEndToEnd::framesReachTheDisplaysAndSurviveAPulledCable() {
  Bench bench;
  MainWindow& w = *bench.window;
  QVERIFY(bench.PlugIn());
  QVERIFY(bench.pty.Write("sent before the port was opened\r\n"));

  QCOMPARE(w.cmbCOM->currentText(), QStringLiteral("COM1"));
  QTest::mouseClick(w.cmdOpenCOM, Qt::LeftButton);
  QVERIFY2(bench.messages.texts.isEmpty(), qPrintable(bench.messages.texts.join(u'\n')));
  QVERIFY(w.MSComm1->IsOpen());
  QCOMPARE(w.LED1->FillColor(), QColor(0, 255, 0));
  QTest::mouseClick(w.cmdStart, Qt::LeftButton);
  QVERIFY(w.Timer1->isActive());
  QCOMPARE(w.cmdStart->text(), QStringLiteral("断开设备"));

  QVERIFY(bench.Send(kFrame1));
  w.OnAcquisitionTick();
  QCOMPARE(w.Text2->Text(), Text(kFrame1));  // what came before the open is gone
  QCOMPARE(w.RichText1->Text(), Text(kFrame1));
  QCOMPARE(w.iSSi_T1->GetValue(), 120);
  QCOMPARE(w.iSSi_V1->GetValue(), 1350);
  QCOMPARE(w.iSSi_I1->GetValue(), 500);
  QCOMPARE(w.iSSi_R1->GetValue(), 100);
  QCOMPARE(w.iSSi_W1->GetValue(), 25);
  QCOMPARE(w.iSSi_T2->GetValue(), 118);
  QCOMPARE(w.iSSi_V2->GetValue(), 1342);
  QCOMPARE(w.iSSi_W2->GetValue(), 24);
  QCOMPARE(w.iPlotX->PointCount(0), 1);
  QCOMPARE(w.iPlotX->PointCount(1), 1);
  QCOMPARE(w.Text11->text(), QStringLiteral("就绪"));

  QVERIFY(bench.Send(kNotice));
  w.OnAcquisitionTick();
  QCOMPARE(w.Text11->text(), QStringLiteral("暂停"));
  QCOMPARE(w.Text3->text(), QStringLiteral("1"));

  // A frame arrives, then the cable is pulled before the next pass.
  QVERIFY(bench.Send(kFrame2));
  QSignalSpy away(bench.device, &SerialPortDevice::DeviceWentAway);
  QSignalSpy back(bench.device, &SerialPortDevice::DeviceCameBack);
  bench.pty.Close();
  QVERIFY(away.wait(kWaitMs));
  w.OnAcquisitionTick();
  QCOMPARE(w.Text2->Text(), Text(kFrame2));
  QCOMPARE(w.iSSi_V1->GetValue(), 1349);
  QCOMPARE(w.iPlotX->PointCount(0), 2);
  QCOMPARE(w.RichText1->Text(), Text(kFrame1 + kNotice + kFrame2));

  // Nothing more to read: the passes end quietly and the window stays as it was.
  w.OnAcquisitionTick();
  w.OnAcquisitionTick();
  QCOMPARE(w.Text2->Text(), Text(kFrame2));
  QCOMPARE(w.iPlotX->PointCount(0), 2);
  QCOMPARE(w.Text11->text(), QStringLiteral("就绪"));
  QVERIFY(w.MSComm1->IsOpen());
  QVERIFY(w.Timer1->isActive());
  QCOMPARE(w.LED1->FillColor(), QColor(0, 255, 0));
  QVERIFY(bench.messages.texts.isEmpty());
  // Still answering clicks.
  QTest::mouseClick(w.Check3, Qt::LeftButton);
  QVERIFY(!w.RichText1->isHidden());

  QVERIFY(bench.PlugIn());
  QVERIFY(back.wait(kWaitMs));
  QVERIFY(bench.Send(kFrame3));
  w.OnAcquisitionTick();
  QCOMPARE(w.Text2->Text(), Text(kFrame3));
  QCOMPARE(w.iSSi_T1->GetValue(), 190);
  QCOMPARE(w.iSSi_V2->GetValue(), 1296);
  QCOMPARE(w.iPlotX->PointCount(0), 3);
  QCOMPARE(w.iPlotX->PointCount(1), 3);
  QCOMPARE(w.RichText1->Text(), Text(kFrame1 + kNotice + kFrame2 + kFrame3));
  QVERIFY(bench.device->DeviceErrorCount() <= 3);

  QTest::mouseClick(w.cmdStart, Qt::LeftButton);
  QVERIFY(!w.Timer1->isActive());
  QTest::mouseClick(w.cmdCloseCOM, Qt::LeftButton);
  QVERIFY(!w.MSComm1->IsOpen());
  QVERIFY(!w.cmdOpenCOM->isHidden());
  QVERIFY(w.cmdCloseCOM->isHidden());
  QCOMPARE(w.LED1->FillColor(), QColor(128, 128, 128));
  QVERIFY(bench.messages.texts.isEmpty());
}

void TestEndToEnd::portClosesWhileTheDeviceIsAway() {
  Bench bench;
  MainWindow& w = *bench.window;
  QVERIFY(bench.PlugIn());
  QTest::mouseClick(w.cmdOpenCOM, Qt::LeftButton);
  QTest::mouseClick(w.cmdStart, Qt::LeftButton);
  QSignalSpy away(bench.device, &SerialPortDevice::DeviceWentAway);
  bench.pty.Close();
  QVERIFY(away.wait(kWaitMs));

  // "断开设备" and "关闭串口" work as ever: back to Open, then Closed.
  QTest::mouseClick(w.cmdStart, Qt::LeftButton);
  QVERIFY(!w.Timer1->isActive());
  QCOMPARE(w.cmdStart->text(), QStringLiteral("连接设备"));
  QCOMPARE(w.LED2->FillColor(), QColor(128, 128, 128));
  QTest::mouseClick(w.cmdCloseCOM, Qt::LeftButton);
  QVERIFY(!w.MSComm1->IsOpen());
  QVERIFY(!bench.device->Reopening());
  QVERIFY(w.cmbCOM->isEnabled());
  QVERIFY(bench.messages.texts.isEmpty());

  // Opening while the device is still away fails with the open message.
  QTest::mouseClick(w.cmdOpenCOM, Qt::LeftButton);
  QCOMPARE(
      bench.messages.texts,
      QStringList{QStringLiteral("打开串口时发生错误，请确定该串口是否存在或者是否已被占用。")});
  QVERIFY(!w.MSComm1->IsOpen());
  QVERIFY(!w.cmdCloseCOM->isHidden());

  // Plugged in again: the open button, reached from the keyboard, opens it.
  QVERIFY(bench.PlugIn());
  QTest::keyClick(w.cmdOpenCOM, Qt::Key_Space);
  QVERIFY(w.MSComm1->IsOpen());
  QVERIFY(w.cmdOpenCOM->isHidden());
  QCOMPARE(bench.messages.texts.size(), 1);
}

QTEST_MAIN(TestEndToEnd)
#include "test_endtoend.moc"
