// The Debian package built by CPack from this build tree: whatever the
// program loads at run time comes from a package that it hard-depends on,
// since a system installed without Recommends has nothing else.
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run {
  bool ok = false;
  QString out;
  QString err;
};

Run RunTool(const QString& program, const QStringList& args, int timeoutMs = 30000) {
  QProcess p;
  p.setWorkingDirectory(QStringLiteral(ORVANTA_BUILD_DIR));
  p.start(program, args);
  Run r;
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    r.err = QStringLiteral("%1 did not finish: %2").arg(program, p.errorString());
    return r;
  }
  r.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  r.out = QString::fromUtf8(p.readAllStandardOutput());
  r.err = QString::fromUtf8(p.readAllStandardError());
  return r;
}

// A control file's fields by name; continuation lines join their field.
QMap<QString, QString> ControlFields(const QString& text) {
  QMap<QString, QString> fields;
  QString last;
  for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
    if (line.startsWith(u' ') && !last.isEmpty()) {
      fields[last] += u'\n' + line.trimmed();
    } else if (const qsizetype colon = line.indexOf(u':'); colon > 0) {
      last = line.left(colon);
      fields[last] = line.mid(colon + 1).trimmed();
    }
  }
  return fields;
}

// The packages a relationship field names on their own, without
// alternatives (a clause "a | b" installs either, so neither is sure).
QStringList HardPackages(const QString& field) {
  QStringList names;
  for (const QString& clause : field.split(u',', Qt::SkipEmptyParts)) {
    if (!clause.contains(u'|')) {
      // "name:arch (>= version)" names "name".
      names << clause.trimmed().section(u' ', 0, 0).section(u'(', 0, 0).section(u':', 0, 0);
    }
  }
  return names;
}

}  // namespace

class TestPackage : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void identity();
  void hardDependencies_data();
  void hardDependencies();

 private:
  QTemporaryDir m_out;
  QMap<QString, QString> m_control;
};

void TestPackage::initTestCase() {
  if (QStandardPaths::findExecutable(QStringLiteral("dpkg-deb")).isEmpty()) {
    QSKIP("dpkg-deb is missing (Debian package dpkg): the package cannot be read");
  }
  QVERIFY(m_out.isValid());
  const Run cpack = RunTool(
      QStringLiteral(ORVANTA_CPACK),
      {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("-B"), m_out.path()}, 480000);
  QVERIFY2(cpack.ok, qPrintable(cpack.out + cpack.err));
  const QStringList debs =
      QDir(m_out.path()).entryList({QStringLiteral("*.deb")}, QDir::Files, QDir::Name);
  QCOMPARE(debs.size(), 1);
  const QString deb = m_out.filePath(debs.first());
  const Run info =
      RunTool(QStringLiteral("dpkg-deb"), {QStringLiteral("-I"), deb, QStringLiteral("control")});
  QVERIFY2(info.ok, qPrintable(info.err));
  m_control = ControlFields(info.out);
  qInfo("%s\nDepends: %s", qPrintable(debs.first()), qPrintable(m_control.value(u"Depends"_qs)));
}

void TestPackage::identity() {
  QCOMPARE(m_control.value(QStringLiteral("Package")), QStringLiteral("orvanta"));
  QCOMPARE(m_control.value(QStringLiteral("Version")), QStringLiteral(ORVANTA_VERSION));
  const Run arch = RunTool(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
  if (arch.ok) {
    QCOMPARE(m_control.value(QStringLiteral("Architecture")), arch.out.trimmed());
  }
}

// Each row names a package, or a file the program loads whose owning
// package (as dpkg reports it on this machine) must be depended on.
void TestPackage::hardDependencies_data() {
  QTest::addColumn<QString>("file");
  QTest::addColumn<QString>("package");
  const QString plugins = QLibraryInfo::path(QLibraryInfo::PluginsPath);
  const QString libs = QLibraryInfo::path(QLibraryInfo::LibrariesPath);
  const QString none;
  QTest::newRow("X11 platform plugin") << plugins + u"/platforms/libqxcb.so"_qs << none;
  QTest::newRow("SQLite driver") << plugins + u"/sqldrivers/libqsqlite.so"_qs << none;
  QTest::newRow("Qt Widgets") << libs + u"/libQt6Widgets.so.6"_qs << none;
  QTest::newRow("Qt SerialPort") << libs + u"/libQt6SerialPort.so.6"_qs << none;
  QTest::newRow("QCustomPlot") << libs + u"/libQCustomPlotQt6.so.2.1"_qs << none;
  QTest::newRow("Qt's Chinese translations")
      << QLibraryInfo::path(QLibraryInfo::TranslationsPath) + u"/qtbase_zh_CN.qm"_qs << none;
  // Where Qt 6 packages keep the X11 plugin apart from the GUI library.
  QTest::newRow("QPA plugins") << none << u"qt6-qpa-plugins"_qs;
  QTest::newRow("SQLite driver by name") << none << u"libqt6sql6-sqlite"_qs;
  QTest::newRow("Song face") << none << u"fonts-arphic-uming"_qs;
}

void TestPackage::hardDependencies() {
  QFETCH(QString, file);
  QFETCH(QString, package);
  if (!file.isEmpty()) {
    if (!QFileInfo::exists(file)) {
      QSKIP(qPrintable(file + u" is not installed here"_qs));
    }
    const Run owner = RunTool(QStringLiteral("dpkg-query"), {QStringLiteral("-S"), file});
    if (!owner.ok) {
      QSKIP(qPrintable(file + u" comes from no Debian package here"_qs));
    }
    // "libqt6gui6:amd64: /usr/lib/..."
    package = owner.out.section(u':', 0, 0).section(u',', 0, 0).trimmed();
  }
  const QStringList hard = HardPackages(m_control.value(QStringLiteral("Depends")));
  QVERIFY2(hard.contains(package),
           qPrintable(package + u" is no hard dependency: "_qs + m_control.value(u"Depends"_qs)));
}

QTEST_MAIN(TestPackage)
#include "test_package.moc"
