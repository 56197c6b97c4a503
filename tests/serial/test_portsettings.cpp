// The settings text is parsed strictly: one good form, everything else fails.

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

QTEST_APPLESS_MAIN(TestPortSettings)
#include "test_portsettings.moc"
