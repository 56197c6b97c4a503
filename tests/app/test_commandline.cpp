// Each program prints its help and its version and exits 0 without a
// display, as from a menu entry or a terminal with none.
#include <QProcess>
#include <QtTest>

class TestCommandLine : public QObject {
  Q_OBJECT
 private slots:
  void textsWithoutDisplay_data();
  void textsWithoutDisplay();
  void badPortAssignmentEndsTheStart_data();
  void badPortAssignmentEndsTheStart();
};

void TestCommandLine::textsWithoutDisplay_data() {
  QTest::addColumn<QString>("program");
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QStringList>("expected");  // all in the standard output
  const QString orvanta = QStringLiteral(ORVANTA_PATH);
  const QString screenshot = QStringLiteral(ORVANTA_SCREENSHOT_PATH);
  const QString charger = QStringLiteral(ORVANTA_CHARGER_PATH);
  const QString version = QStringLiteral(ORVANTA_VERSION);
  const QStringList programHelp{u"--port"_qs, u"COMn=DEVICE"_qs, u"[ports]"_qs, u"--review"_qs,
                                u"--version"_qs};
  QTest::newRow("orvanta --help") << orvanta << QStringList{u"--help"_qs} << programHelp;
  QTest::newRow("orvanta -h") << orvanta << QStringList{u"-h"_qs} << programHelp;
  QTest::newRow("orvanta --review --help")
      << orvanta << QStringList{u"--review"_qs, u"--help"_qs} << programHelp;
  QTest::newRow("orvanta --version")
      << orvanta << QStringList{u"--version"_qs} << QStringList{version};
  QTest::newRow("orvanta-screenshot --help")
      << screenshot << QStringList{u"--help"_qs} << QStringList{u"--print-page"_qs, u"--review"_qs};
  QTest::newRow("orvanta-screenshot --version")
      << screenshot << QStringList{u"--version"_qs} << QStringList{version};
  QTest::newRow("orvanta-charger --help")
      << charger << QStringList{u"--help"_qs} << QStringList{u"LINK"_qs, u"--duration"_qs};
  QTest::newRow("orvanta-charger --version")
      << charger << QStringList{u"--version"_qs} << QStringList{version};
}

void TestCommandLine::textsWithoutDisplay() {
  QFETCH(QString, program);
  QFETCH(QStringList, arguments);
  QFETCH(QStringList, expected);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
    environment.remove(QString::fromLatin1(name));
  }
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  QVERIFY2(process.waitForFinished(30000), qPrintable(process.errorString()));
  const QString out = QString::fromUtf8(process.readAllStandardOutput());
  const QString err = QString::fromUtf8(process.readAllStandardError());
  QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
           qPrintable(QStringLiteral("exit %1: %2").arg(process.exitCode()).arg(err)));
  for (const QString& text : expected) {
    QVERIFY2(out.contains(text), qPrintable(text + u'\n' + out));
  }
}

void TestCommandLine::badPortAssignmentEndsTheStart_data() {
  QTest::addColumn<QString>("assignment");
  QTest::newRow("port 17") << u"COM17=/dev/ttyUSB0"_qs;
  QTest::newRow("no device") << u"COM2="_qs;
  QTest::newRow("no port") << u"/dev/ttyUSB0"_qs;
}

// Before any window or store: exit 2, saying which assignment is wrong.
void TestCommandLine::badPortAssignmentEndsTheStart() {
  QFETCH(QString, assignment);
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.insert(u"QT_QPA_PLATFORM"_qs, u"offscreen"_qs);
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(QStringLiteral(ORVANTA_PATH), {u"--no-store"_qs, u"--port"_qs, assignment});
  QVERIFY2(process.waitForFinished(30000), qPrintable(process.errorString()));
  const QString err = QString::fromUtf8(process.readAllStandardError());
  QCOMPARE(process.exitCode(), 2);
  QVERIFY2(err.contains(u"--port"_qs) && err.contains(assignment), qPrintable(err));
}

QTEST_APPLESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
