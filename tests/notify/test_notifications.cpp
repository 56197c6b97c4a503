// Desktop notifications against a notification service on a private bus:
// a dbus-daemon of the test's own, with a stand-in for the desktop's
// org.freedesktop.Notifications registered on it.
#include <QCommandLineParser>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "acquisitionpass.h"
#include "clock.h"
#include "testnotifications.h"

namespace {

class TestClock final : public Clock {
 public:
  qint64 MonotonicMs() const override { return ms; }
  QDateTime LocalNow() const override {
    return QDateTime(QDate(2026, 3, 7), QTime(9, 5, 3)).addMSecs(ms);
  }
  qint64 ms = 1'000'000;
};

const QString kFrame = QStringLiteral("$1,1,120,1380,500,17,25;1,118,1371,480,16,24\r\n");

}  // namespace

class FakeNotificationService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  struct Received {
    QString summary, body;
    QVariantMap hints;
  };
  QList<Received> received;
  QStringList capabilities{QStringLiteral("body")};

 public slots:
  uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
              const QStringList&, const QVariantMap& hints, int) {
    received.append({summary, body, hints});
    emit Arrived();
    return uint(received.size());
  }
  QStringList GetCapabilities() { return capabilities; }

 signals:
  void Arrived();
};

class TestNotificationsBus : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void cleanupTestCase();
  void init();
  void cleanup();
  void OncePerOccurrence_data();
  void OncePerOccurrence();
  void TurnedOff_data();
  void TurnedOff();
  void SoundOnceWithOrWithoutTheService_data();
  void SoundOnceWithOrWithoutTheService();

 private:
  // Waits until everything sent before has reached the service: the bus
  // keeps one connection's calls in order, so a marker's arrival says so.
  QList<FakeNotificationService::Received> Arrived(DesktopNotifier& notifier);

  QProcess m_daemon;
  QString m_address;
  std::unique_ptr<FakeNotificationService> m_service;
  int m_connections = 0;
  QString m_serverName, m_clientName;
};

void TestNotificationsBus::initTestCase() {
  m_daemon.start(
      QStringLiteral("dbus-daemon"),
      {QStringLiteral("--session"), QStringLiteral("--print-address"), QStringLiteral("--nofork")});
  if (!m_daemon.waitForStarted()) {
    QSKIP("dbus-daemon is not installed");
  }
  while (!m_daemon.canReadLine()) {
    QVERIFY2(m_daemon.waitForReadyRead(10'000), "dbus-daemon printed no address");
  }
  m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
  QVERIFY(!m_address.isEmpty());
}

void TestNotificationsBus::cleanupTestCase() {
  m_daemon.terminate();
  m_daemon.waitForFinished();
}

void TestNotificationsBus::init() {
  ++m_connections;
  m_serverName = QStringLiteral("server%1").arg(m_connections);
  m_clientName = QStringLiteral("client%1").arg(m_connections);
  QDBusConnection server = QDBusConnection::connectToBus(m_address, m_serverName);
  QVERIFY(server.isConnected());
  m_service = std::make_unique<FakeNotificationService>();
  QVERIFY(server.registerObject(QStringLiteral("/org/freedesktop/Notifications"), m_service.get(),
                                QDBusConnection::ExportAllSlots));
  QVERIFY(server.registerService(QStringLiteral("org.freedesktop.Notifications")));
}

void TestNotificationsBus::cleanup() {
  QDBusConnection::disconnectFromBus(m_serverName);
  QDBusConnection::disconnectFromBus(m_clientName);
  m_service.reset();
}

QList<FakeNotificationService::Received> TestNotificationsBus::Arrived(DesktopNotifier& notifier) {
  QSignalSpy spy(m_service.get(), &FakeNotificationService::Arrived);
  const qsizetype before = m_service->received.size();
  notifier.Notify({QStringLiteral("marker"), QString(), false});
  while (m_service->received.size() == before ||
         m_service->received.last().summary != QStringLiteral("marker")) {
    if (!spy.wait(10'000)) {
      return {};
    }
  }
  QList<FakeNotificationService::Received> all = m_service->received;
  all.removeLast();
  m_service->received.clear();
  return all;
}

enum class Drive { Notice, Silence, StoreFailing };

void TestNotificationsBus::OncePerOccurrence_data() {
  QTest::addColumn<int>("drive");
  QTest::addColumn<QStringList>("cells");
  QTest::addColumn<QString>("summary");
  QTest::addColumn<QStringList>("named");     // in the body
  QTest::addColumn<QStringList>("notNamed");  // never in the body
  QTest::addColumn<bool>("urgent");
  QTest::newRow("end of discharge, both cells labelled")
      << int(Drive::Notice) << QStringList{u"A0001"_qs, u"B0042"_qs} << QStringLiteral("放电结束")
      << QStringList{u"COM3"_qs, u"A0001"_qs, u"B0042"_qs} << QStringList{} << false;
  QTest::newRow("end of discharge, channel 2 unlabelled")
      << int(Drive::Notice) << QStringList{u"A0001"_qs, u""_qs} << QStringLiteral("放电结束")
      << QStringList{u"通道 1（电池 A0001）"_qs, u"通道 2"_qs} << QStringList{u"电池 ）"_qs}
      << false;
  QTest::newRow("device silent for a minute")
      << int(Drive::Silence) << QStringList{u""_qs, u"C7"_qs} << QStringLiteral("设备无数据")
      << QStringList{u"COM3"_qs, u"60"_qs, u"通道 2（电池 C7）"_qs} << QStringList{u"通道 1（"_qs}
      << true;
  QTest::newRow("store failing for a minute")
      << int(Drive::StoreFailing) << QStringList{u"A0001"_qs, u"A0002"_qs}
      << QStringLiteral("记录已停止")
      << QStringList{u"A0001"_qs, u"A0002"_qs, u"disk is full"_qs, u"60"_qs} << QStringList{}
      << true;
}

// Each condition tells the desktop once when it arises, stays quiet while
// it lasts, and tells again only when it arises anew after clearing; just
// short of its minute it tells nothing.
void TestNotificationsBus::OncePerOccurrence() {
  QFETCH(int, drive);
  QFETCH(QStringList, cells);
  QFETCH(QString, summary);
  QFETCH(QStringList, named);
  QFETCH(QStringList, notNamed);
  QFETCH(bool, urgent);

  TestClock clock;
  TestNotifications n(clock, QDBusConnection::connectToBus(m_address, m_clientName), true);
  n.SetCells({cells[0], cells[1]});
  AttentionWatch& watch = n.Watch();
  const QString notice = QString::fromUtf16(kEndOfDischargeNotice);
  // One pass a second, as the acquisition timer runs them.
  const auto pass = [&](const QString& text) {
    clock.ms += 1000;
    watch.ChunkReceived(text);
    watch.PassEnded();
    watch.Check();
  };
  const auto second = [&] {
    clock.ms += 1000;
    watch.Check();
  };
  watch.PortChanged(true, QStringLiteral("COM3"), QStringLiteral("/dev/ttyUSB0"));

  // Up to just short of the condition, then over it and on.
  const auto arise = [&](bool complete) {
    switch (Drive(drive)) {
      case Drive::Notice:
        for (int i = 0; i < 5; ++i) {
          pass(kFrame);
        }
        if (complete) {
          pass(notice);
          for (int i = 0; i < 70; ++i) {
            pass(i % 10 == 0 ? notice : QString());
          }
        }
        break;
      case Drive::Silence:
        pass(kFrame);
        for (int i = 0; i < (complete ? 100 : 59); ++i) {
          pass(QString());
        }
        break;
      case Drive::StoreFailing:
        watch.RecordingChanged(false, QStringLiteral("disk is full"));
        for (int i = 0; i < (complete ? 100 : 59); ++i) {
          second();
          watch.RecordingChanged(false, QStringLiteral("disk is full"));
        }
        break;
    }
  };
  const auto clear = [&] {
    watch.RecordingChanged(true, QString());
    pass(kFrame);
  };

  arise(false);
  QCOMPARE(Arrived(n.Notifier()).size(), 0);
  clear();
  arise(true);
  QList<FakeNotificationService::Received> got = Arrived(n.Notifier());
  QCOMPARE(got.size(), 1);
  QCOMPARE(got[0].summary, summary);
  for (const QString& word : named) {
    QVERIFY2(got[0].body.contains(word), qPrintable(got[0].body + u" lacks "_qs + word));
  }
  for (const QString& word : notNamed) {
    QVERIFY2(!got[0].body.contains(word), qPrintable(got[0].body));
  }
  QCOMPARE(got[0].hints.value(QStringLiteral("urgency")).toInt(), urgent ? 2 : 1);
  QVERIFY(!got[0].hints.value(QStringLiteral("sound-name")).toString().isEmpty());

  clear();
  arise(true);
  QCOMPARE(Arrived(n.Notifier()).size(), 1);
}

void TestNotificationsBus::TurnedOff_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QString>("settingsLine");
  QTest::addColumn<int>("expected");
  QTest::newRow("on by default") << QStringList{} << QString() << 1;
  QTest::newRow("--no-notify") << QStringList{u"--no-notify"_qs} << QString() << 0;
  QTest::newRow("settings file off") << QStringList{} << QStringLiteral("enabled=false") << 0;
  QTest::newRow("settings file on") << QStringList{} << QStringLiteral("enabled=true") << 1;
  QTest::newRow("--no-notify over the file")
      << QStringList{u"--no-notify"_qs} << QStringLiteral("enabled=true") << 0;
}

void TestNotificationsBus::TurnedOff() {
  QFETCH(QStringList, arguments);
  QFETCH(QString, settingsLine);
  QFETCH(int, expected);
  QTemporaryDir dir;
  const QString ini = dir.filePath(QStringLiteral("orvanta.ini"));
  if (!settingsLine.isEmpty()) {
    QFile file(ini);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[notify]\n" + settingsLine.toUtf8() + "\n");
  }
  QSettings settings(ini, QSettings::IniFormat);
  QCommandLineParser parser;
  AddNotifyOptions(parser);
  QVERIFY(parser.parse(QStringList{u"orvanta"_qs} + arguments));

  TestClock clock;
  const QDBusConnection bus = QDBusConnection::connectToBus(m_address, m_clientName);
  TestNotifications n(clock, bus, NotificationsEnabled(parser, settings));
  n.Watch().PortChanged(true, QStringLiteral("COM1"), QString());
  n.Watch().ChunkReceived(QString::fromUtf16(kEndOfDischargeNotice));
  // A notifier of its own on the same connection carries the marker.
  DesktopNotifier marker(bus, {}, {});
  QCOMPARE(Arrived(marker).size(), expected);
}

void TestNotificationsBus::SoundOnceWithOrWithoutTheService_data() {
  QTest::addColumn<bool>("service");
  QTest::addColumn<QStringList>("capabilities");
  QTest::addColumn<int>("beeps");
  QTest::addColumn<int>("fallbacks");
  QTest::newRow("service plays the sound")
      << true << QStringList{u"body"_qs, u"sound"_qs} << 0 << 0;
  QTest::newRow("service without sound") << true << QStringList{u"body"_qs} << 1 << 0;
  QTest::newRow("no service: tray") << false << QStringList{} << 1 << 1;
}

// One sound per notification: the desktop's, or the program's beep where
// the desktop plays none; with no service the tray gets the message.
void TestNotificationsBus::SoundOnceWithOrWithoutTheService() {
  QFETCH(bool, service);
  QFETCH(QStringList, capabilities);
  QFETCH(int, beeps);
  QFETCH(int, fallbacks);
  m_service->capabilities = capabilities;
  if (!service) {
    QVERIFY(QDBusConnection(m_serverName)
                .unregisterService(QStringLiteral("org.freedesktop.Notifications")));
  }
  int beeped = 0;
  QList<Notification> fellBack;
  DesktopNotifier notifier(
      QDBusConnection::connectToBus(m_address, m_clientName),
      [&](const Notification& n) { fellBack << n; }, [&] { ++beeped; });
  QSignalSpy done(&notifier, service ? &DesktopNotifier::Delivered : &DesktopNotifier::FellBack);
  notifier.Notify({QStringLiteral("放电结束"), QStringLiteral("COM1：A0001"), false});
  QVERIFY(done.wait(10'000));
  QCOMPARE(beeped, beeps);
  QCOMPARE(fellBack.size(), fallbacks);
  if (fallbacks) {
    QCOMPARE(fellBack[0].body, QStringLiteral("COM1：A0001"));
  }
}

QTEST_MAIN(TestNotificationsBus)
#include "test_notifications.moc"
