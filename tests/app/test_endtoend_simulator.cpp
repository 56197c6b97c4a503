// The charger simulator, the real port layer and the real window together:
// what the simulator sends is what the window shows and logs.

#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "chargerscript.h"
#include "dischargechart.h"
#include "fakeservices.h"
#include "logpane.h"
#include "mainwindow.h"
#include "segmentreadout.h"
#include "serialportdevice.h"

namespace {

constexpr int kWaitMs = 10000;

// Everything a simulator run with these options sends, tick by tick.
QStringList Script(const ChargerOptions& options, int ticks) {
  ChargerScript script(options);
  QStringList sent;
  for (int i = 0; i < ticks; ++i) {
    sent << QString::fromStdString(script.Next().text);
  }
  return sent;
}

class SimulatorRun {
 public:
  explicit SimulatorRun(const QStringList& arguments) {
    link = dir.filePath(QStringLiteral("charger"));
    qputenv("ORVANTA_COM1", link.toLocal8Bit());
    simulator.setProgram(QStringLiteral(ORVANTA_CHARGER_PATH));
    simulator.setArguments(QStringList(arguments) << link);
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    auto port = std::make_unique<SerialPortDevice>();
    device = port.get();
    window = std::make_unique<MainWindow>(MainWindowServices{.port = std::move(port),
                                                             .messages = &messages,
                                                             .folders = &folders,
                                                             .clock = nullptr,
                                                             .pause = {}});
    window->Timer1->setInterval(3'600'000);  // passes are driven by the test
  }
  ~SimulatorRun() {
    simulator.kill();
    simulator.waitForFinished();
    qunsetenv("ORVANTA_COM1");
  }

  bool Start() {
    simulator.start();
    // The link exists once the first line is out.
    return simulator.waitForReadyRead(kWaitMs) && QFileInfo::exists(link);
  }

  // One pass after each arrival, until the notice shows or nothing comes.
  void Follow() {
    QSignalSpy arrived(device, &SerialPortDevice::DataReceived);
    while (window->Text11->text() != QStringLiteral("暂停") && arrived.wait(kWaitMs)) {
      window->OnAcquisitionTick();
      arrived.clear();
    }
  }

  QTemporaryDir dir;
  QString link;
  QProcess simulator;
  RecordingMessageSink messages;
  FakeFolderChooser folders;
  SerialPortDevice* device = nullptr;
  std::unique_ptr<MainWindow> window;
};

}  // namespace

class TestEndToEndSimulator : public QObject {
  Q_OBJECT
 private slots:
  void wholeDischargeIsShownAndLogged();
  void acquisitionResumesAfterTheSimulatorDisappears();
};

void TestEndToEndSimulator::wholeDischargeIsShownAndLogged() {
  SimulatorRun run({u"--interval-ms"_qs, u"150"_qs, u"--speed"_qs, u"100"_qs, u"--duration"_qs,
                    u"1000"_qs, u"--quit-when-done"_qs});
  QVERIFY(run.Start());
  MainWindow& w = *run.window;
  QTest::mouseClick(w.cmdOpenCOM, Qt::LeftButton);
  QTest::mouseClick(w.cmdStart, Qt::LeftButton);
  QVERIFY(run.messages.texts.isEmpty());
  run.Follow();

  ChargerOptions options;
  options.durationS = 1000;
  options.speed = 100;
  const QStringList sent = Script(options, 11);
  QCOMPARE(sent.last(), QString::fromLatin1(kEndOfDischarge));
  QCOMPARE(w.Text11->text(), QStringLiteral("暂停"));
  QCOMPARE(w.RichText1->Text(), sent.join(QString()));
  QCOMPARE(w.iPlotX->PointCount(0), 10);
  QCOMPARE(w.iPlotX->PointCount(1), 10);
  // The last frame: 900 s into a 1000 s discharge.
  QCOMPARE(w.iSSi_T1->GetValue(), 900);
  QVERIFY(w.iSSi_V1->GetValue() > 1000 && w.iSSi_V1->GetValue() < 1150);
  QVERIFY(w.iSSi_R1->GetValue() > 100 && w.iSSi_R1->GetValue() < 130);  // ~490 mA for 900 s
  QCOMPARE(sent[9], QStringLiteral("$1,1,%1,%2,%3,%4,%5;1,%6,%7,%8,%9,%10\r\n")
                        .arg(w.iSSi_T1->GetValue())
                        .arg(w.iSSi_V1->GetValue())
                        .arg(w.iSSi_I1->GetValue())
                        .arg(w.iSSi_R1->GetValue())
                        .arg(w.iSSi_W1->GetValue())
                        .arg(w.iSSi_T2->GetValue())
                        .arg(w.iSSi_V2->GetValue())
                        .arg(w.iSSi_I2->GetValue())
                        .arg(w.iSSi_R2->GetValue())
                        .arg(w.iSSi_W2->GetValue()));
}

void TestEndToEndSimulator::acquisitionResumesAfterTheSimulatorDisappears() {
  // Ticks 4 to 6 without a device, then a new terminal at the same link.
  SimulatorRun run({u"--interval-ms"_qs, u"150"_qs, u"--speed"_qs, u"100"_qs, u"--duration"_qs,
                    u"2000"_qs, u"--disappear-at"_qs, u"4"_qs, u"--disappear-for"_qs, u"3"_qs,
                    u"--quit-when-done"_qs});
  QVERIFY(run.Start());
  MainWindow& w = *run.window;
  QSignalSpy away(run.device, &SerialPortDevice::DeviceWentAway);
  QSignalSpy back(run.device, &SerialPortDevice::DeviceCameBack);
  QTest::mouseClick(w.cmdOpenCOM, Qt::LeftButton);
  QTest::mouseClick(w.cmdStart, Qt::LeftButton);
  run.Follow();

  QCOMPARE(away.count(), 1);
  QCOMPARE(back.count(), 1);
  QCOMPARE(w.Text11->text(), QStringLiteral("暂停"));
  QCOMPARE(w.iSSi_T1->GetValue(), 1900);  // the last frame arrived
  ChargerOptions options;
  options.durationS = 2000;
  options.speed = 100;
  options.disappearAt = 4;
  options.disappearFor = 3;
  const QStringList sent = Script(options, 24);
  // Every frame sent before the cut is in the log. After the return, what
  // the new terminal queued before the device was reopened is discarded, as
  // at an open; every frame from the reopen on follows, to the notice.
  const QString log = w.RichText1->Text();
  QVERIFY(log.startsWith(sent.mid(0, 4).join(QString())));
  qsizetype firstAfter = 7;
  while (firstAfter < sent.size() && !log.endsWith(sent.mid(firstAfter).join(QString()))) {
    ++firstAfter;
  }
  QVERIFY2(firstAfter <= sent.size() - 3, qPrintable(QString::number(firstAfter)));
  QCOMPARE(log.size(),
           sent.mid(0, 4).join(QString()).size() + sent.mid(firstAfter).join(QString()).size());
  QVERIFY(w.iPlotX->PointCount(0) >= 12);
  QVERIFY(run.messages.texts.isEmpty());
  QVERIFY(w.MSComm1->IsOpen());
}

QTEST_MAIN(TestEndToEndSimulator)
#include "test_endtoend_simulator.moc"
