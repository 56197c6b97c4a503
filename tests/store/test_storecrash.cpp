// A copy of the program acquiring from the charger simulator is killed with
// SIGKILL at random moments. After each kill the store opens, the session is
// found interrupted at the next start, and it holds every chunk up to at
// least the pass before the kill, exactly as the simulator sent it. The
// command-line tool then exports the interrupted session.

#include <csignal>

#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "chargerscript.h"
#include "frameparser.h"
#include "sessionreader.h"
#include "snapshotfile.h"
#include "storewriter.h"

namespace {

constexpr int kKills = 20;
constexpr int kWaitMs = 15000;
constexpr int kChildTickMs = 20;

// The simulator's options, in both forms.
const QStringList kSimulatorArguments{u"--interval-ms"_qs, u"10"_qs, u"--duration"_qs, u"200"_qs,
                                      u"--repeat"_qs};
ChargerOptions SimulatorOptions() {
  ChargerOptions options;
  options.durationS = 200;
  options.repeat = true;
  return options;
}

// Everything the simulator sends in its first `ticks` ticks.
QString Sent(int ticks) {
  ChargerScript script(SimulatorOptions());
  std::string all;
  for (int i = 0; i < ticks; ++i) {
    all += script.Next().text;
  }
  return QString::fromStdString(all);
}

QString Joined(SessionReader& reader, qint64 id, QList<qint64>* seqs) {
  QString text;
  reader.ForEachChunk(id, [&](const StoredChunk& c) {
    text += c.text;
    *seqs << c.seq;
  });
  return text;
}

// The readings a pass puts on the readouts, as CSV fields.
class ReadingsSink final : public FrameSink {
 public:
  ReadingsSink() : fields(10) {}
  void NotAFrame() override {}
  void Field(int channel, Quantity q, qint32 value) override {
    fields[(channel - 1) * 5 + int(q)] = QString::number(value);
    any = true;
  }
  void ChannelDone(int) override {}
  void Failed(ParseFailure, int) override {}
  QStringList fields;
  bool any = false;
};

class Child {
 public:
  explicit Child(const QString& db) {
    process.setProgram(QStringLiteral(ORVANTA_STORECHILD_PATH));
    process.setArguments({u"acquire"_qs, db, QString::number(kChildTickMs)});
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
  }
  ~Child() {
    process.kill();
    process.waitForFinished();
  }

  // Waits until the child reports pass `n`; false if it never comes.
  bool WaitForPass(qint64 n) {
    while (lastPass < n) {
      if (!process.canReadLine() && !process.waitForReadyRead(kWaitMs)) {
        return false;
      }
      while (process.canReadLine()) {
        const QByteArray line = process.readLine().trimmed();
        if (line.startsWith("pass ")) {
          lastPass = line.mid(5).toLongLong();
        }
      }
    }
    return true;
  }

  void Kill() {
    ::kill(pid_t(process.processId()), SIGKILL);
    process.waitForFinished(kWaitMs);
    while (process.canReadLine()) {
      const QByteArray line = process.readLine().trimmed();
      if (line.startsWith("pass ")) {
        lastPass = line.mid(5).toLongLong();
      }
    }
  }

  QProcess process;
  qint64 lastPass = 0;
};

}  // namespace

class TestStoreCrash : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void cleanupTestCase();
  void killedCopiesLoseAtMostThePassInProgress();
  void interruptedSessionExportsAsSent();
  void toolReportsErrors_data();
  void toolReportsErrors();

 private:
  QTemporaryDir m_dir;
  QProcess m_simulator;
  QString m_sent;
};

void TestStoreCrash::initTestCase() {
  const QString link = m_dir.filePath(u"charger"_qs);
  qputenv("ORVANTA_COM1", link.toLocal8Bit());
  m_simulator.setProgram(QStringLiteral(ORVANTA_CHARGER_PATH));
  m_simulator.setArguments(QStringList(kSimulatorArguments) << link);
  m_simulator.start();
  QVERIFY(m_simulator.waitForReadyRead(kWaitMs));
  QVERIFY(QFileInfo::exists(link));
  // Far more than the test's run reads: a tick is 10 ms.
  m_sent = Sent(60000);
}

void TestStoreCrash::cleanupTestCase() {
  m_simulator.terminate();
  m_simulator.waitForFinished();
}

void TestStoreCrash::killedCopiesLoseAtMostThePassInProgress() {
  QTemporaryDir dir;
  const QString db = dir.filePath(u"sessions.db"_qs);
  for (int round = 0; round < kKills; ++round) {
    {
      Child child(db);
      // A random moment: after a random number of passes, while the last
      // pass's commit may or may not be done.
      QVERIFY(child.WaitForPass(1 + QRandomGenerator::global()->bounded(12)));
      child.Kill();
      QCOMPARE(child.process.exitStatus(), QProcess::CrashExit);

      // The next start finds the session unfinished.
      StoreWriter next({.path = db});
      QVERIFY2(next.Open(), qPrintable(next.Error()));
      // The killed copy's lock file is cleared away; only the new writer's is left.
      QCOMPARE(QDir(dir.path()).entryList({u"sessions.db.writer-*.lock"_qs}).size(), 1);
      auto reader = SessionReader::Open(db, nullptr);
      QVERIFY(reader);
      const QList<StoredSession> sessions = reader->Sessions();
      QCOMPARE(sessions.size(), round + 1);
      const StoredSession s = sessions.last();
      QCOMPARE(s.ended, SessionEnd::Interrupted);
      QCOMPARE(s.port, u"COM1"_qs);
      QList<qint64> seqs;
      const QString text = Joined(*reader, s.id, &seqs);
      // A pass runs only once the one before it is on disk, so at most the
      // pass in progress (and one that ran but was not yet reported) differ.
      QVERIFY2(seqs.size() >= child.lastPass - 1 && seqs.size() <= child.lastPass + 1,
               qPrintable(u"stored %1, last pass %2"_qs.arg(seqs.size()).arg(child.lastPass)));
      QCOMPARE(s.chunks, seqs.size());
      for (qsizetype i = 0; i < seqs.size(); ++i) {
        QCOMPARE(seqs[i], i + 1);
      }
      QVERIFY2(m_sent.contains(text), qPrintable(text.left(200)));
    }
    // Every earlier session stays interrupted, none doubled.
    auto reader = SessionReader::Open(db, nullptr);
    for (const StoredSession& s : reader->Sessions()) {
      QCOMPARE(s.ended, SessionEnd::Interrupted);
    }
  }
}

void TestStoreCrash::interruptedSessionExportsAsSent() {
  QTemporaryDir dir;
  const QString db = dir.filePath(u"sessions.db"_qs);
  {
    Child child(db);
    QVERIFY(child.WaitForPass(10));
    child.Kill();
  }
  StoreWriter next({.path = db});
  QVERIFY(next.Open());
  auto reader = SessionReader::Open(db, nullptr);
  const StoredSession s = *reader->Find(std::nullopt);
  QList<qint64> seqs;
  const QString text = Joined(*reader, s.id, &seqs);
  QVERIFY(m_sent.contains(text));

  const auto tool = [&](const QString& option) {
    QProcess p;
    p.start(QStringLiteral(ORVANTA_SESSIONS_PATH),
            {u"--db"_qs, db, u"export"_qs, u"latest"_qs, option, u"-"_qs});
    p.waitForFinished(kWaitMs);
    return std::pair(p.exitCode(), p.readAllStandardOutput());
  };
  const auto [data1Exit, data1] = tool(u"--data1"_qs);
  QCOMPARE(data1Exit, 0);
  QCOMPARE(data1, SnapshotBytes(s.endUtc.toLocalTime(), text));

  const auto [csvExit, csv] = tool(u"--csv"_qs);
  QCOMPARE(csvExit, 0);
  QVERIFY(csv.startsWith("\xEF\xBB\xBF"));
  // One row per frame, each with the readings of the frame it came from.
  QStringList expected;
  reader->ForEachChunk(s.id, [&](const StoredChunk& c) {
    ReadingsSink sink;
    Parse(c.text, sink);
    if (sink.any) {
      expected << sink.fields.join(u',');
    }
  });
  QStringList rows = QString::fromUtf8(csv.mid(3)).split(u"\r\n"_qs).mid(1);
  QCOMPARE(rows.takeLast(), QString());
  for (QString& row : rows) {
    row = row.section(u',', 1);  // the wall time is the store's own
  }
  QCOMPARE(rows.size(), s.frames);
  QCOMPARE(rows, expected);
}

void TestStoreCrash::toolReportsErrors_data() {
  QTest::addColumn<QStringList>("arguments");  // after --db STORE
  QTest::addColumn<int>("exitCode");
  QTest::addColumn<QString>("says");  // in standard error, or output for 0
  QTest::newRow("list") << QStringList{u"list"_qs} << 0 << u"\tCOM2\t/dev/ttyUSB1\t1\t0\t中断"_qs;
  QTest::newRow("missing store") << QStringList{u"--db"_qs, u"/nonexistent/s.db"_qs, u"list"_qs}
                                 << 1 << u"没有找到记录文件"_qs;
  QTest::newRow("not a store") << QStringList{u"--db"_qs, u"TEXTFILE"_qs, u"list"_qs} << 1
                               << u"TEXTFILE"_qs;
  QTest::newRow("unknown id") << QStringList{u"export"_qs, u"99"_qs, u"--csv"_qs, u"-"_qs} << 1
                              << u"没有编号为 99 的记录"_qs;
  QTest::newRow("id not a number")
      << QStringList{u"export"_qs, u"first"_qs, u"--data1"_qs, u"-"_qs} << 1 << u"first"_qs;
  QTest::newRow("unwritable target")
      << QStringList{u"export"_qs, u"latest"_qs, u"--csv"_qs, u"/nonexistent/x.csv"_qs} << 1
      << u"/nonexistent/x.csv"_qs;
  QTest::newRow("no target") << QStringList{u"export"_qs, u"latest"_qs} << 2 << u"用法"_qs;
  QTest::newRow("unknown command") << QStringList{u"frobnicate"_qs} << 2 << u"frobnicate"_qs;
}

void TestStoreCrash::toolReportsErrors() {
  QFETCH(QStringList, arguments);
  QFETCH(int, exitCode);
  QFETCH(QString, says);
  QTemporaryDir dir;
  const QString db = dir.filePath(u"sessions.db"_qs);
  const QString text = dir.filePath(u"text.db"_qs);
  {
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("plain text, not SQLite");
  }
  {
    StoreWriter gone({.path = db});
    std::deque<StoreCommand> commands(2);
    commands[0].kind = StoreCommand::Kind::Begin;
    commands[0].session = 1;
    commands[0].port = u"COM2"_qs;
    commands[0].device = u"/dev/ttyUSB1"_qs;
    commands[1].session = 1;
    commands[1].chunk.seq = 1;
    commands[1].chunk.text = u"noise"_qs;
    QVERIFY(gone.Write(commands));
  }
  StoreWriter(StoreWriter::Config{.path = db}).Open();  // the next start
  arguments.replaceInStrings(u"TEXTFILE"_qs, text);
  QProcess tool;
  QProcessEnvironment chinese = QProcessEnvironment::systemEnvironment();
  chinese.insert(u"LC_ALL"_qs, u"zh_CN.UTF-8"_qs);  // the messages checked are the Chinese ones
  tool.setProcessEnvironment(chinese);
  tool.start(QStringLiteral(ORVANTA_SESSIONS_PATH), QStringList{u"--db"_qs, db} + arguments);
  QVERIFY(tool.waitForFinished(kWaitMs));
  QCOMPARE(tool.exitCode(), exitCode);
  const QString output =
      QString::fromUtf8(exitCode == 0 ? tool.readAllStandardOutput() : tool.readAllStandardError());
  QVERIFY2(output.contains(says.replace(u"TEXTFILE"_qs, text)), qPrintable(output));
  if (exitCode == 0) {
    QVERIFY(output.startsWith(u"1\t"_qs) && output.count(u'\n') == 1);  // one line a session
  }
}

QTEST_GUILESS_MAIN(TestStoreCrash)
#include "test_storecrash.moc"
