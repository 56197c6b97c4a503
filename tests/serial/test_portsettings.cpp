// The settings text is parsed strictly: one good form, everything else fails.
// Ports lead to assigned devices, from the command line before the settings
// file, then to the environment's, then to the system's own.

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include "portsettings.h"

Q_DECLARE_METATYPE(PortParity)
Q_DECLARE_METATYPE(PortStopBits)

class TestPortSettings : public QObject {
  Q_OBJECT
 private slots:
  void accepted_data();
  void accepted();
  void rejected_data();
  void rejected();
  void portMap_data();
  void portMap();
  void portSection_data();
  void portSection();
};

void TestPortSettings::accepted_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("baud");
  QTest::addColumn<PortParity>("parity");
  QTest::addColumn<int>("dataBits");
  QTest::addColumn<PortStopBits>("stopBits");

  QTest::newRow("the charger's") << "115200,n,8,1" << 115200 << PortParity::None << 8
                                 << PortStopBits::One;
  QTest::newRow("upper-case parity")
      << "9600,N,8,1" << 9600 << PortParity::None << 8 << PortStopBits::One;
  QTest::newRow("even, 7 bits, 2 stop")
      << "4800,e,7,2" << 4800 << PortParity::Even << 7 << PortStopBits::Two;
  QTest::newRow("odd, 1.5 stop") << "1200,o,5,1.5" << 1200 << PortParity::Odd << 5
                                 << PortStopBits::OneAndHalf;
  QTest::newRow("mark") << "300,m,6,1" << 300 << PortParity::Mark << 6 << PortStopBits::One;
  QTest::newRow("space") << "921600,S,8,1" << 921600 << PortParity::Space << 8 << PortStopBits::One;
}

void TestPortSettings::accepted() {
  QFETCH(QString, text);
  QFETCH(int, baud);
  QFETCH(PortParity, parity);
  QFETCH(int, dataBits);
  QFETCH(PortStopBits, stopBits);
  const std::optional<PortSettings> parsed = ParsePortSettings(text);
  QVERIFY(parsed);
  QCOMPARE(parsed->baud, baud);
  QVERIFY(parsed->parity == parity);
  QCOMPARE(parsed->dataBits, dataBits);
  QVERIFY(parsed->stopBits == stopBits);
}

void TestPortSettings::rejected_data() {
  QTest::addColumn<QString>("text");
  for (const char* text : {
           "",                   // nothing
           "115200",             // one field
           "115200,n,8",         // three fields
           "115200,n,8,1,",      // a fifth, empty field
           "115200,n,8,1,x",     // five fields
           "115200;n;8;1",       // wrong separator
           " 115200,n,8,1",      // blank before the baud rate
           "115200 ,n,8,1",      // blank after it
           "115200,n,8,1 ",      // trailing blank
           "115200,n,8,1\r\n",   // line end
           "+115200,n,8,1",      // sign
           "-9600,n,8,1",        // negative
           "0,n,8,1",            // zero baud
           "115200.0,n,8,1",     // fraction
           "0x1C200,n,8,1",      // hexadecimal
           "99999999999,n,8,1",  // beyond 32 bits
           "fast,n,8,1",         // words
           ",n,8,1",             // empty baud
           "115200,,8,1",        // empty parity
           "115200,x,8,1",       // unknown parity
           "115200,none,8,1",    // spelt out
           "115200,n,4,1",       // too few data bits
           "115200,n,9,1",       // too many
           "115200,n,08,1",      // padded
           "115200,n,8,0",       // no stop bit
           "115200,n,8,3",       // three stop bits
           "115200,n,8,1.0",     // spelt differently
           "115200,n,8,",        // empty stop bits
       }) {
    QTest::newRow(text) << QString::fromUtf8(text);
  }
  QTest::newRow("full-width digits") << u"１１５２００,n,8,1"_qs;
}

void TestPortSettings::rejected() {
  QFETCH(QString, text);
  QVERIFY(!ParsePortSettings(text));
}

// Port 4 is looked up with ORVANTA_COM4 set to `environment` (unless empty).
void TestPortSettings::portMap_data() {
  QTest::addColumn<QStringList>("assignments");
  QTest::addColumn<QString>("environment");
  QTest::addColumn<QString>("device");  // of port 4
  QTest::addColumn<int>("rejected");
  const QString fallback = u"/dev/ttyS3"_qs;
  QTest::newRow("none: the system's") << QStringList() << QString() << fallback << 0;
  QTest::newRow("assigned") << QStringList{u"COM4=/dev/ttyUSB0"_qs} << QString()
                            << u"/dev/ttyUSB0"_qs << 0;
  QTest::newRow("lower case and blanks") << QStringList{u"com4 = /dev/serial/by-id/usb-FTDI"_qs}
                                         << QString() << u"/dev/serial/by-id/usb-FTDI"_qs << 0;
  QTest::newRow("the later of two")
      << QStringList{u"COM4=/dev/a"_qs, u"COM4=/dev/b"_qs} << QString() << u"/dev/b"_qs << 0;
  QTest::newRow("another port's") << QStringList{u"COM14=/dev/a"_qs, u"COM1=/dev/b"_qs} << QString()
                                  << fallback << 0;
  QTest::newRow("assignment before the environment")
      << QStringList{u"COM4=/dev/a"_qs} << u"/dev/env"_qs << u"/dev/a"_qs << 0;
  QTest::newRow("the environment's") << QStringList() << u"/dev/env"_qs << u"/dev/env"_qs << 0;
  QTest::newRow("a bad one leaves the good")
      << QStringList{u"COM4=/dev/a"_qs, u"COM4="_qs} << QString() << u"/dev/a"_qs << 1;
  for (const char* bad : {"COM17=/dev/a", "COM0=/dev/a", "COM=/dev/a", "COM4", "COM4=  ",
                          "ttyS3=/dev/a", "COM+4=/dev/a", "COM04x=/dev/a", "=/dev/a", ""}) {
    QTest::newRow(bad) << QStringList{QString::fromUtf8(bad)} << QString() << fallback << 1;
  }
  QTest::newRow("full-width digit")
      << QStringList{u"COM４=/dev/a"_qs} << QString() << fallback << 1;
}

void TestPortSettings::portMap() {
  QFETCH(QStringList, assignments);
  QFETCH(QString, environment);
  QFETCH(QString, device);
  QFETCH(int, rejected);
  PortMap map;
  int failures = 0;
  for (const QString& a : assignments) {
    QString error;
    if (!map.Assign(a, &error)) {
      ++failures;
      QVERIFY2(!error.isEmpty() && error.contains(a), qPrintable(error));
    }
  }
  QCOMPARE(failures, rejected);
  if (environment.isEmpty()) {
    qunsetenv("ORVANTA_COM4");
  } else {
    qputenv("ORVANTA_COM4", environment.toLocal8Bit());
  }
  const QString found = map.Device(4);
  qunsetenv("ORVANTA_COM4");
#ifdef Q_OS_WIN
  if (device == u"/dev/ttyS3"_qs) {
    device = u"COM4"_qs;
  }
#endif
  QCOMPARE(found, device);
}

// The settings file's [ports] section, after the command line's `given`.
void TestPortSettings::portSection_data() {
  QTest::addColumn<QByteArray>("file");
  QTest::addColumn<QStringList>("given");
  QTest::addColumn<QStringList>("expected");  // devices of COM1 to COM3
  QTest::addColumn<int>("problems");
  QTest::newRow("the file's") << QByteArray("[ports]\nCOM2=/dev/ttyUSB1\nCOM3=/dev/ttyACM0\n")
                              << QStringList()
                              << QStringList{u"/dev/ttyS0"_qs, u"/dev/ttyUSB1"_qs,
                                             u"/dev/ttyACM0"_qs}
                              << 0;
  QTest::newRow("the command line's first")
      << QByteArray("[ports]\nCOM2=/dev/file2\nCOM3=/dev/file3\n")
      << QStringList{u"COM2=/dev/cli2"_qs}
      << QStringList{u"/dev/ttyS0"_qs, u"/dev/cli2"_qs, u"/dev/file3"_qs} << 0;
  QTest::newRow("a bad entry among good ones")
      << QByteArray("[ports]\nCOM99=/dev/x\nCOM1=/dev/one\nCOM3=\n") << QStringList()
      << QStringList{u"/dev/one"_qs, u"/dev/ttyS1"_qs, u"/dev/ttyS2"_qs} << 2;
  QTest::newRow("other sections are not ports")
      << QByteArray("[other]\nCOM1=/dev/x\n[ports]\n") << QStringList()
      << QStringList{u"/dev/ttyS0"_qs, u"/dev/ttyS1"_qs, u"/dev/ttyS2"_qs} << 0;
}

void TestPortSettings::portSection() {
  QFETCH(QByteArray, file);
  QFETCH(QStringList, given);
  QFETCH(QStringList, expected);
  QFETCH(int, problems);
  QTemporaryDir dir;
  const QString path = dir.filePath(u"orvanta.ini"_qs);
  QFile out(path);
  QVERIFY(out.open(QIODevice::WriteOnly) && out.write(file) == file.size());
  out.close();
  QSettings settings(path, QSettings::IniFormat);
  PortMap map;
  for (const QString& a : given) {
    QString error;
    QVERIFY(map.Assign(a, &error));
  }
  QCOMPARE(ReadPortSection(settings, map).size(), problems);
#ifndef Q_OS_WIN
  for (int n = 1; n <= 3; ++n) {
    QCOMPARE(map.Device(n), expected[n - 1]);
  }
#endif
}

QTEST_APPLESS_MAIN(TestPortSettings)
#include "test_portsettings.moc"
