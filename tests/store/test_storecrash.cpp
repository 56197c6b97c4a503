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

QTEST_GUILESS_MAIN(TestStoreCrash)
#include "test_storecrash.moc"
