// A pulled device, seen through the real window over a pseudo-terminal: the
// port lamp blinks and the title says the device is being reopened until it
// is back; what it queued before the reopen is discarded.
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "devicelossnotice.h"
#include "lamp.h"
#include "pseudoterminal.h"
#include "serialportdevice.h"
#include "textboxes.h"
#include "windowharness.h"

namespace {
constexpr int kWaitMs = 5000;
}  // namespace

class TestDeviceLossNotice : public QObject {
  Q_OBJECT
 private slots:
  void pulledDeviceBlinksTheLampAndNamesItInTheTitle();
};

void TestDeviceLossNotice::pulledDeviceBlinksTheLampAndNamesItInTheTitle() {
  QTemporaryDir dir;
  const std::string link = dir.filePath(QStringLiteral("charger")).toStdString();
  PseudoTerminal pty;
  QVERIFY2(pty.Open(link), pty.Error().c_str());
  qputenv("ORVANTA_COM1", QByteArray::fromStdString(link));
  WindowOn<SerialPortDevice> h;
  MainWindow& w = h.W();
  w.cmdOpenCOM->click();  // passes are run here, not by the timer
  QCOMPARE(w.windowTitle(), QStringLiteral("Orvanta"));

  pty.Close();  // the cable is pulled
  const QString away = QStringLiteral("Orvanta - ") + DeviceLossNotice::NoticeText();
  QTRY_COMPARE_WITH_TIMEOUT(w.windowTitle(), away, kWaitMs);
  // The lamp blinks; the designed states stay.
  QTRY_COMPARE_WITH_TIMEOUT(w.LED1->FillColor(), QColor(128, 128, 128), kWaitMs);
  QTRY_COMPARE_WITH_TIMEOUT(w.LED1->FillColor(), QColor(0, 255, 0), kWaitMs);
  QVERIFY(w.cmdCloseCOM->isVisible() && w.cmdCloseCOM->isEnabled());
  QVERIFY(w.cmdOpenCOM->isHidden());

  // Plugged in again, with something queued before the reopen.
  QVERIFY(pty.Open(link));
  QVERIFY(pty.Write("stale\r\n"));
  QTRY_COMPARE_WITH_TIMEOUT(w.windowTitle(), QStringLiteral("Orvanta"), kWaitMs);
  QCOMPARE(w.LED1->FillColor(), QColor(0, 255, 0));
  QVERIFY(pty.Write("fresh\r\n"));
  QTRY_COMPARE_WITH_TIMEOUT(h.port->BytesBuffered(), qint64(7), kWaitMs);
  w.OnAcquisitionTick();
  QCOMPARE(w.Text2->Text(), QStringLiteral("fresh\r\n"));

  // Pulled again, then closed by the user: the notice ends with the port.
  pty.Close();
  QTRY_COMPARE_WITH_TIMEOUT(w.windowTitle(), away, kWaitMs);
  w.cmdCloseCOM->click();
  QCOMPARE(w.windowTitle(), QStringLiteral("Orvanta"));
  QCOMPARE(w.LED1->FillColor(), QColor(128, 128, 128));
  QVERIFY(!w.findChild<DeviceLossNotice*>()->Showing());
  qunsetenv("ORVANTA_COM1");
}

QTEST_MAIN(TestDeviceLossNotice)
#include "test_devicelossnotice.moc"
