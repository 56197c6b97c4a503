// orvanta-sessions as users run it: output to a full disk or a full device
// is an error with its reason, never success; an export into a pipe goes
// into the pipe; a damaged store is an error; a backup reads back whole.

#include <sys/stat.h>

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "sessionreader.h"
#include "storewriter.h"
#include "tmpfs.h"

namespace {

void WriteStore(const QString& path) {
  StoreWriter writer({.path = path});
  std::deque<StoreCommand> commands(1);
  commands[0].kind = StoreCommand::Kind::Begin;
  commands[0].session = 1;
  for (int i = 1; i <= 40; ++i) {
    StoreCommand& c = commands.emplace_back();
    c.session = 1;
    c.chunk.seq = i;
    c.chunk.wallMs = 1'760'000'000'000 + i * 1000;
    c.chunk.text = QStringLiteral("$1,1,%1,%2,500,%1,25;0,,,,,\r\n").arg(i).arg(1400 - i);
    c.chunk.channel[0].fields = {i, 1400 - i, 500, i, 25};
  }
  StoreCommand& end = commands.emplace_back();
  end.kind = StoreCommand::Kind::End;
  end.session = 1;
  QVERIFY(writer.Write(commands));
}

QByteArray Bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class TestSessionsTool : public QObject {
  Q_OBJECT
 private slots:
  void outputFailuresAreErrors_data();
  void outputFailuresAreErrors();
  void labelsAfterTheFact();
};

void TestSessionsTool::outputFailuresAreErrors_data() {
  QTest::addColumn<QString>("setup");  // what the test makes first
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("stderrHas");
  QTest::newRow("list to a full device")
      << u"stdout=/dev/full"_qs << QStringList{u"list"_qs} << 1 << u"No space left"_qs;
  QTest::newRow("summary to a full device")
      << u"stdout=/dev/full"_qs << QStringList{u"summary"_qs, u"latest"_qs} << 1
      << u"No space left"_qs;
  QTest::newRow("CSV on standard output, full device")
      << u"stdout=/dev/full"_qs << QStringList{u"export"_qs, u"1"_qs, u"--csv"_qs, u"-"_qs} << 1
      << u"No space left"_qs;
  QTest::newRow("data1 to a full disk keeps the earlier file")
      << u"full disk"_qs << QStringList{u"export"_qs, u"1"_qs, u"--data1"_qs, u"OUT"_qs} << 1
      << u"No space left"_qs;
  QTest::newRow("CSV into a pipe")
      << u"fifo"_qs << QStringList{u"export"_qs, u"latest"_qs, u"--csv"_qs, u"OUT"_qs} << 0
      << QString();
  QTest::newRow("an option given twice")
      << QString() << QStringList{u"export"_qs, u"1"_qs, u"--csv"_qs, u"a"_qs, u"--csv"_qs, u"b"_qs}
      << 2 << u"--csv"_qs;
  QTest::newRow("a damaged store")
      << u"damaged"_qs << QStringList{u"list"_qs} << 1 << u"malformed"_qs;
  QTest::newRow("BDF to a full disk")
      << u"full disk folder"_qs << QStringList{u"export"_qs, u"1"_qs, u"--bdf"_qs, u"OUT"_qs} << 1
      << u"No space left"_qs;
  QTest::newRow("BDF of a session")
      << QString() << QStringList{u"export"_qs, u"latest"_qs, u"--bdf"_qs, u"OUT"_qs} << 0
      << QString();
  QTest::newRow("BDF into a missing folder")
      << QString() << QStringList{u"export"_qs, u"1"_qs, u"--bdf"_qs, u"OUT/no"_qs} << 1
      << u"OUT/no"_qs;
  QTest::newRow("backup") << QString() << QStringList{u"backup"_qs, u"OUT"_qs} << 0 << QString();
  QTest::newRow("help of a command")
      << QString() << QStringList{u"export"_qs, u"--help"_qs} << 0 << QString();
}

void TestSessionsTool::outputFailuresAreErrors() {
  QFETCH(QString, setup);
  QFETCH(QStringList, args);
  QFETCH(int, code);
  QFETCH(QString, stderrHas);
  QTemporaryDir dir;
  const QString db = dir.filePath(u"sessions.db"_qs);
  WriteStore(db);
  QString out = dir.filePath(u"out"_qs);
  SmallTmpfs disk(u"256k"_qs);
  const QByteArray earlier = "an earlier export";
  QProcess tool;
  QProcess reader;  // the other end of the pipe
  if (setup.startsWith(u"stdout=")) {
    tool.setStandardOutputFile(setup.mid(7));
  } else if (setup == u"full disk") {
    if (!disk.Mounted()) {
      QSKIP("mounting a small file system needs root");
    }
    out = disk.FilePath(u"data1.txt"_qs);
    QFile file(out);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(earlier) == earlier.size());
    file.close();
    disk.Fill();
  } else if (setup == u"full disk folder") {
    if (!disk.Mounted()) {
      QSKIP("mounting a small file system needs root");
    }
    out = disk.FilePath(u"."_qs);
    disk.Fill();
  } else if (setup == u"fifo") {
    QCOMPARE(::mkfifo(QFile::encodeName(out).constData(), 0600), 0);
    reader.start(u"cat"_qs, {out});
    QVERIFY(reader.waitForStarted());
  } else if (setup == u"damaged") {
    QFile file(db);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray garbage(8192, '\xA5');
    QVERIFY(file.seek(4096) && file.write(garbage) == garbage.size());  // all but the header page
  }
  if (args.contains(u"--bdf"_qs) && setup.isEmpty()) {
    QVERIFY(QDir(out).mkpath(u"."_qs));
  }
  args.replaceInStrings(u"OUT"_qs, out);
  stderrHas.replace(u"OUT"_qs, out);
  tool.start(QStringLiteral(ORVANTA_SESSIONS_PATH), QStringList{u"--db"_qs, db} + args);
  QVERIFY(tool.waitForFinished(30000));
  const QString err = QString::fromUtf8(tool.readAllStandardError());
  QVERIFY2(tool.exitCode() == code, qPrintable(u"%1: %2"_qs.arg(tool.exitCode()).arg(err)));
  QVERIFY2(stderrHas.isEmpty() ? err.isEmpty() : err.contains(stderrHas), qPrintable(err));

  const QStringList bdfFiles = QDir(out).entryList({u"*.bdf.csv"_qs}, QDir::AllEntries);
  if (setup == u"full disk") {
    QCOMPARE(Bytes(out), earlier);
  } else if (setup == u"full disk folder") {
    QCOMPARE(bdfFiles, QStringList());
  } else if (args.contains(u"--bdf"_qs) && code == 0) {
    // Channel 1 alone had readings: one file, its path printed.
    QCOMPARE(bdfFiles.size(), 1);
    QCOMPARE(QString::fromUtf8(tool.readAllStandardOutput()),
             QDir(out).filePath(bdfFiles[0]) + u'\n');
    QCOMPARE(Bytes(QDir(out).filePath(bdfFiles[0])).count('\n'), 41);
  } else if (setup == u"fifo") {
    QVERIFY(reader.waitForFinished(30000));
    const QByteArray csv = reader.readAllStandardOutput();
    QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
    QCOMPARE(csv.count("\r\n"), 41);  // the header and 40 frames
    QVERIFY(!QFileInfo(out).isFile());
  } else if (args[0] == u"backup") {
    auto copy = SessionReader::Open(out, nullptr);
    QVERIFY(copy);
    QCOMPARE(copy->Sessions().size(), 1);
    QCOMPARE(copy->Sessions()[0].chunks, 40);
  } else if (args.contains(u"--help"_qs)) {
    QVERIFY(tool.readAllStandardOutput().contains("export ID|latest"));
  }
}

// `label` changes only the channels it names, `list --cell` finds a cell on
// either channel, and a label never reaches a session that is not there.
void TestSessionsTool::labelsAfterTheFact() {
  QTemporaryDir dir;
  const QString db = dir.filePath(u"sessions.db"_qs);
  WriteStore(db);
  WriteStore(db);  // session 2
  const auto run = [&](const QStringList& args, QString* out = nullptr) {
    QProcess tool;
    tool.start(QStringLiteral(ORVANTA_SESSIONS_PATH), QStringList{u"--db"_qs, db} + args);
    if (!tool.waitForFinished(30000)) {
      return -1;
    }
    if (out) {
      *out = QString::fromUtf8(tool.readAllStandardOutput());
    }
    return tool.exitCode();
  };
  QCOMPARE(run({u"label"_qs, u"1"_qs, u"--cell1"_qs, u" A0001\r"_qs}), 0);
  QCOMPARE(run({u"label"_qs, u"2"_qs, u"--cell2"_qs, u"A0001"_qs}), 0);
  QCOMPARE(run({u"label"_qs, u"2"_qs, u"--cell1"_qs, u"电芯 B7"_qs}), 0);
  QCOMPARE(run({u"label"_qs, u"1"_qs, u"--cell1"_qs, u"Z9"_qs, u"--cell1"_qs, u"Z8"_qs}), 2);
  QCOMPARE(run({u"label"_qs, u"3"_qs, u"--cell1"_qs, u"A0002"_qs}), 1);
  QCOMPARE(run({u"label"_qs, u"1"_qs}), 2);

  QString listed;
  QCOMPARE(run({u"list"_qs, u"--cell"_qs, u"A0001"_qs}, &listed), 0);
  QStringList lines = listed.split(u'\n', Qt::SkipEmptyParts);
  QCOMPARE(lines.size(), 2);
  QVERIFY2(lines[0].startsWith(u"1\t"_qs) && lines[0].endsWith(u"\tA0001\t-"_qs),
           qPrintable(lines[0]));
  QVERIFY2(lines[1].startsWith(u"2\t"_qs) && lines[1].endsWith(u"\t电芯 B7\tA0001"_qs),
           qPrintable(lines[1]));
  QCOMPARE(run({u"list"_qs, u"--cell"_qs, u"B7"_qs}, &listed), 0);
  QCOMPARE(listed, QString());

  // An empty label takes it off; the other channel keeps its own.
  QCOMPARE(run({u"label"_qs, u"2"_qs, u"--cell2"_qs, QString()}), 0);
  QCOMPARE(run({u"list"_qs, u"--cell"_qs, u"A0001"_qs}, &listed), 0);
  QCOMPARE(listed.count(u'\n'), 1);
  QCOMPARE(run({u"list"_qs}, &listed), 0);
  QVERIFY2(listed.split(u'\n')[1].endsWith(u"\t电芯 B7\t-"_qs), qPrintable(listed));
}

QTEST_GUILESS_MAIN(TestSessionsTool)
#include "test_sessionstool.moc"
