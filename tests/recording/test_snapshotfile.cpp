#include <QDir>
#include <QTemporaryDir>
#include <QtTest>
#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

#include "logtext.h"
#include "snapshotfile.h"
#include "tmpfs.h"

class TestSnapshotFile : public QObject {
  Q_OBJECT
 private slots:
  void bytes_data();
  void bytes();
  void logStoreGivesTheSameBytes_data();
  void logStoreGivesTheSameBytes();
  void fileName_data();
  void fileName();
  void atomicWriteReplacesWholeFile();
  void writesInPlaceWhereNoNewFileCanBeMade();
  void fullDiskKeepsTheEarlierFile_data();
  void fullDiskKeepsTheEarlierFile();
};

namespace {

QDateTime At(int y, int mo, int d, int h, int mi, int s) {
  return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
}

}  // namespace

void TestSnapshotFile::bytes_data() {
  QTest::addColumn<QDateTime>("when");
  QTest::addColumn<QString>("log");
  QTest::addColumn<QByteArray>("expectedHex");

  const QByteArray exampleHeader =
      "32 30 32 36 C4 EA 33 D4 C2 37 C8 D5 20 20 39 CA B1 35 B7 D6 33 C3 EB 0D 0A";
  QTest::newRow("worked example") << At(2026, 3, 7, 9, 5, 3) << QStringLiteral("ABC")
                                  << exampleHeader + " 41 42 43 0D 0A";
  QTest::newRow("empty log") << At(2026, 3, 7, 9, 5, 3) << QString() << exampleHeader + " 0D 0A";
  // 2026年1月1日  0时0分7秒
  QTest::newRow("seven seconds past midnight on 1 January")
      << At(2026, 1, 1, 0, 0, 7) << QString()
      << QByteArray(
             "32 30 32 36 C4 EA 31 D4 C2 31 C8 D5 20 20 30 CA B1 30 B7 D6 37 C3 EB 0D 0A 0D 0A");
  // 2025年12月31日  23时59分59秒
  QTest::newRow("last second of a year") << At(2025, 12, 31, 23, 59, 59) << QString()
                                         << QByteArray(
                                                "32 30 32 35 C4 EA 31 32 D4 C2 33 31 C8 D5 20 20 "
                                                "32 33 CA B1 35 39 B7 D6 35 39 C3 EB 0D "
                                                "0A 0D 0A");
  QTest::newRow("line ends kept as received")
      << At(2026, 3, 7, 9, 5, 3) << QStringLiteral("a\nb\r\nc\r")
      << exampleHeader + " 61 0A 62 0D 0A 63 0D 0D 0A";
  QTest::newRow("markup saved literally")
      << At(2026, 3, 7, 9, 5, 3) << QStringLiteral("<b>x</b><img src=y>")
      << exampleHeader + " " + QByteArray("<b>x</b><img src=y>").toHex(' ') + " 0D 0A";
  QTest::newRow("Chinese in the log")
      << At(2026, 3, 7, 9, 5, 3) << QStringLiteral("就绪") << exampleHeader + " BE CD D0 F7 0D 0A";
  QTest::newRow("characters outside GBK become ?")
      << At(2026, 3, 7, 9, 5, 3)
      << QStringLiteral("a") + QChar(0x0E01) + QString::fromUtf8("\xF0\x9F\x98\x80") +
             QChar(0xD800) + QStringLiteral("b")
      << exampleHeader + " 61 3F 3F 3F 62 0D 0A";
}

void TestSnapshotFile::bytes() {
  QFETCH(QDateTime, when);
  QFETCH(QString, log);
  QFETCH(QByteArray, expectedHex);
  const QByteArray expected = QByteArray::fromHex(expectedHex.toLower().replace(' ', ""));
  QCOMPARE(SnapshotBytes(when, log).toHex(' '), expected.toHex(' '));
  QCOMPARE(SnapshotBytes(when, LogText(log)).toHex(' '), expected.toHex(' '));
}

void TestSnapshotFile::logStoreGivesTheSameBytes_data() {
  QTest::addColumn<QString>("log");
  // Over a megabyte, so the store hands its text over in several pieces;
  // characters GBK has and has not lie on both sides of the piece borders.
  const QString line = QStringLiteral("$1,1,120,1350,500,100,25;\u5c31\u7eea\r\n");
  QString frames;
  while (frames.size() < 700000) {
    frames += line;
  }
  QTest::newRow("frames with Chinese") << frames;
  QTest::newRow("ASCII then a pair and lone halves")
      << QString(1100000, u'x') + QStringLiteral("\r\n") + QString::fromUtf8("\xF0\x9F\x98\x80") +
             QChar(0xDC00) + QStringLiteral("\n") + QChar(0xD800);
  QTest::newRow("no line ends at all")
      << QString(600000, u'y') + QStringLiteral("\u5c31") + QString(600000, u'y') + QChar(0xD800);
}

void TestSnapshotFile::logStoreGivesTheSameBytes() {
  QFETCH(QString, log);
  const QDateTime when = At(2026, 3, 7, 9, 5, 3);
  QCOMPARE(SnapshotBytes(when, LogText(log)), SnapshotBytes(when, log));
}

void TestSnapshotFile::fileName_data() {
  QTest::addColumn<QString>("folder");
  QTest::addColumn<QString>("expected");
#ifdef Q_OS_WIN
  QTest::newRow("drive root") << QStringLiteral("C:\\") << QStringLiteral("C:\\\\data1.txt");
  QTest::newRow("folder") << QStringLiteral("C:\\Scripts")
                          << QStringLiteral("C:\\Scripts\\data1.txt");
  QTest::newRow("empty") << QString() << QStringLiteral("\\data1.txt");
#else
  QTest::newRow("folder") << QStringLiteral("/tmp/a") << QStringLiteral("/tmp/a/data1.txt");
  QTest::newRow("ends in separator")
      << QStringLiteral("/tmp/a/") << QStringLiteral("/tmp/a//data1.txt");
  QTest::newRow("empty") << QString() << QStringLiteral("/data1.txt");
#endif
}

void TestSnapshotFile::fileName() {
  QFETCH(QString, folder);
  QFETCH(QString, expected);
  QCOMPARE(SnapshotFileName(folder), expected);
}

void TestSnapshotFile::atomicWriteReplacesWholeFile() {
  QTemporaryDir dir;
  QVERIFY(dir.isValid());
  const QString name = dir.filePath(QStringLiteral("data1.txt"));
  QVERIFY(WriteFileAtomically(name, QByteArray(1000, 'x')));
  QVERIFY(WriteFileAtomically(name, "short"));
  QFile file(name);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), QByteArray("short"));
  QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
           QStringList{QStringLiteral("data1.txt")});
}

// A folder where data1.txt may be written but no new file made: the save
// writes it in place instead of failing.
void TestSnapshotFile::writesInPlaceWhereNoNewFileCanBeMade() {
#ifdef Q_OS_UNIX
  if (::geteuid() == 0) {
    QSKIP("root may create files in any folder");
  }
#endif
  QTemporaryDir dir;
  const QString name = dir.filePath(QStringLiteral("data1.txt"));
  QVERIFY(WriteFileAtomically(name, "earlier"));
  QFile folder(dir.path());
  const QFileDevice::Permissions before = folder.permissions();
  QVERIFY(folder.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner));
  const bool written = WriteFileAtomically(name, "later");
  folder.setPermissions(before);
  QVERIFY(written);
  QFile file(name);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), QByteArray("later"));
}

void TestSnapshotFile::fullDiskKeepsTheEarlierFile_data() {
  QTest::addColumn<int>("bytes");
  // A small write waits in the file's buffer until the commit; a large one
  // fails as it is written.
  QTest::newRow("the first minutes of a test") << 3000;
  QTest::newRow("hours of log") << 600000;
}

void TestSnapshotFile::fullDiskKeepsTheEarlierFile() {
  QFETCH(int, bytes);
  SmallTmpfs disk(u"1m"_qs);
  if (!disk.Mounted()) {
    QSKIP("mounting a small file system needs root");
  }
  const QString name = SnapshotFileName(disk.Path());
  const QByteArray earlier = "an earlier save\r\n";
  QVERIFY(WriteFileAtomically(name, earlier));
  disk.Fill();
  QVERIFY(!WriteFileAtomically(name, QByteArray(bytes, 'f')));
  QFile file(name);
  QVERIFY(file.open(QIODevice::ReadOnly));
  QCOMPARE(file.readAll(), earlier);
  QCOMPARE(QDir(disk.Path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // and the filler
  // With room again the save goes through.
  QVERIFY(disk.Free());
  QVERIFY(WriteFileAtomically(name, QByteArray(bytes, 'f')));
  QCOMPARE(QFileInfo(name).size(), bytes);
}

QTEST_GUILESS_MAIN(TestSnapshotFile)
#include "test_snapshotfile.moc"
