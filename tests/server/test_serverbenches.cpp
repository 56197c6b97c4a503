// Benches as separate processes, each with its own simulated charger and
// local store, copying to one real server: every chunk of every session
// arrives exactly once and as the charger sent it, through a server outage
// and a bench killed in the middle of a batch; a refused login is reported
// without its password while recording goes on.

#include <csignal>

#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include "chargerscript.h"
#include "pgserver.h"
#include "servercheck.h"
#include "sessionreader.h"
#include "uploader.h"

namespace {

constexpr int kWaitMs = 60000;
// Short, so that a refused login or a killed bench costs seconds of the
// test's time; the outage runs with the program's own retry period.
constexpr int kRetryMs = 500;
constexpr int kOutageMs = 30000;

// Each bench's charger differs, so that chunks mixed up between benches show.
QStringList SimulatorArguments(int bench) {
  return {QStringLiteral("--interval-ms"), QStringLiteral("10"),
          QStringLiteral("--duration"),    QString::number(400 + 37 * bench),
          QStringLiteral("--repeat"),      QStringLiteral("--malformed-every"),
          QString::number(5 + bench)};
}

// Everything that charger sends in its first `ticks` ticks.
QString Sent(int bench, int ticks) {
  ChargerOptions options;
  options.durationS = 400 + 37 * bench;
  options.repeat = true;
  options.malformedEvery = 5 + bench;
  ChargerScript script(options);
  std::string all;
  for (int i = 0; i < ticks; ++i) {
    all += script.Next().text;
  }
  return QString::fromStdString(all);
}

// One bench: its charger and the program copy recording it.
struct Bench {
  QTemporaryDir dir;
  QProcess charger;
  QProcess child;
  QString store;
  QString output;  // everything the child printed, both channels
  qint64 lastPass = 0;
  int failures = 0;
  int recoveries = 0;
  int retryMs = kRetryMs;  // the uploader's retry period

  bool Start(int index, const QString& uri) {
    store = dir.filePath(QStringLiteral("sessions.db"));
    const QString link = dir.filePath(QStringLiteral("charger"));
    charger.setProgram(QStringLiteral(ORVANTA_CHARGER_PATH));
    charger.setArguments(SimulatorArguments(index) << link);
    charger.start();
    if (!charger.waitForReadyRead(kWaitMs)) {
      return false;
    }
    return StartChild(index, uri, link);
  }

  bool StartChild(int index, const QString& uri, const QString& link = {}) {
    lastPass = 0;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVANTA_COM1"),
               link.isEmpty() ? dir.filePath(QStringLiteral("charger")) : link);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QStringLiteral(ORVANTA_BENCHCHILD_PATH),
                {store, uri, QStringLiteral("bench-%1").arg(index), QString::number(retryMs)});
    return child.waitForStarted(kWaitMs);
  }

  void Read() {
    while (child.canReadLine()) {
      const QString line = QString::fromUtf8(child.readLine()).trimmed();
      output += line + u'\n';
      if (line.startsWith(u"pass ")) {
        lastPass = line.mid(5).toLongLong();
      } else if (line.startsWith(u"failing ")) {
        ++failures;
      } else if (line == u"caught up") {
        ++recoveries;
      }
    }
  }

  bool Stop() {
    child.write("stop\n");
    const bool stopped = child.waitForFinished(kWaitMs) &&
                         child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
    Read();
    return stopped;
  }

  ~Bench() {
    for (QProcess* p : {&child, &charger}) {
      if (p->state() != QProcess::NotRunning) {
        p->terminate();
        if (!p->waitForFinished(5000)) {
          p->kill();
          p->waitForFinished();
        }
      }
    }
  }
};

// Waits until every bench has done `passes` passes.
bool WaitForPasses(std::vector<std::unique_ptr<Bench>>& benches, qint64 passes) {
  return QTest::qWaitFor(
      [&] {
        bool all = true;
        for (auto& b : benches) {
          b->child.waitForReadyRead(10);
          b->Read();
          all = all && b->lastPass >= passes;
        }
        return all;
      },
      kWaitMs);
}

}  // namespace

class TestServerBenches : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { m_skip = pgserver::Skipped(); }

  // Four benches record at once; the server stops for a while in the middle
  // and comes back.
  void fourBenchesThroughAnOutage() {
    SkipWithoutServer();
    pgserver::Psql(QStringLiteral("CREATE DATABASE lab"));
    const QString uri = pgserver::Uri(QStringLiteral("lab"));
    std::vector<std::unique_ptr<Bench>> benches;
    for (int i = 0; i < 4; ++i) {
      benches.push_back(std::make_unique<Bench>());
      benches.back()->retryMs = Uploader::kRetryMs;
      QVERIFY(benches.back()->Start(i, uri));
    }
    QVERIFY(WaitForPasses(benches, 150));
    QVERIFY(pgserver::Stop());
    // Every bench notices, and goes on recording meanwhile.
    const qint64 before = benches[0]->lastPass;
    QVERIFY(QTest::qWaitFor(
        [&] {
          bool all = true;
          for (auto& b : benches) {
            b->child.waitForReadyRead(10);
            b->Read();
            all = all && b->failures > 0;
          }
          return all;
        },
        kWaitMs));
    QTest::qWait(kOutageMs);
    for (auto& b : benches) {
      b->Read();
    }
    QVERIFY2(benches[0]->lastPass > before + 100, qPrintable(benches[0]->output.right(300)));
    QVERIFY(pgserver::Start());
    QVERIFY(WaitForPasses(benches, benches[0]->lastPass + 150));
    for (auto& b : benches) {
      QVERIFY2(b->Stop(), qPrintable(b->output.right(500)));
      QVERIFY2(b->recoveries > 0, qPrintable(b->output.right(500)));
    }
    for (int i = 0; i < 4; ++i) {
      VerifyBench(uri, *benches[size_t(i)], i, 1);
    }
    QCOMPARE(servercheck::Sessions(uri).size(), 4);
  }

  // A bench killed while a batch is open on the server starts again and
  // sends everything once.
  void killedInTheMiddleOfABatch() {
    SkipWithoutServer();
    pgserver::Psql(QStringLiteral("CREATE DATABASE killed"));
    const QString uri = pgserver::Uri(QStringLiteral("killed"));
    QString error;
    QVERIFY2(serverconnection::Open(uri, QStringLiteral("blocker"), &error), qPrintable(error));
    QSqlDatabase blocker = QSqlDatabase::database(QStringLiteral("blocker"), false);
    std::vector<std::unique_ptr<Bench>> benches;
    benches.push_back(std::make_unique<Bench>());
    Bench& bench = *benches.back();
    QVERIFY(bench.Start(7, uri));
    QVERIFY(WaitForPasses(benches, 60));
    // Holding back every insert of chunks: the bench's next batch waits
    // inside its transaction.
    QVERIFY(blocker.transaction());
    QSqlQuery lock(blocker);
    QVERIFY2(lock.exec(QStringLiteral("LOCK TABLE chunks IN SHARE MODE")),
             qPrintable(lock.lastError().text()));
    QString waiting;
    QVERIFY(QTest::qWaitFor(
        [&] {
          bench.child.waitForReadyRead(10);
          bench.Read();
          pgserver::Psql(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE"
                                        " wait_event_type = 'Lock' AND datname = 'killed'"),
                         &waiting);
          return waiting.trimmed() == u"1";
        },
        kWaitMs));
    const qint64 killedAt = bench.lastPass;
    ::kill(pid_t(bench.child.processId()), SIGKILL);
    QVERIFY(bench.child.waitForFinished(kWaitMs));
    QVERIFY(blocker.rollback());
    QVERIFY(bench.StartChild(7, uri));
    QVERIFY(QTest::qWaitFor(
        [&] {
          bench.child.waitForReadyRead(10);
          bench.Read();
          return bench.lastPass >= 60;
        },
        kWaitMs));
    QVERIFY2(bench.Stop(), qPrintable(bench.output.right(500)));
    QVERIFY(killedAt > 0);
    VerifyBench(uri, bench, 7, 2);
  }

  void refusedLoginIsToldWithoutItsPassword_data() {
    QTest::addColumn<bool>("closedPort");
    QTest::newRow("wrong password") << false;
    QTest::newRow("unreachable") << true;
  }
  void refusedLoginIsToldWithoutItsPassword() {
    SkipWithoutServer();
    QFETCH(bool, closedPort);
    const QByteArray real = qgetenv("PGPASSWORD");
    const QByteArray wrong = "Wr0ng-" + real.left(6);
    if (!closedPort) {
      qputenv("PGPASSWORD", wrong);
    }
    const QString uri = closedPort ? QStringLiteral("postgresql://postgres@127.0.0.1:%1/postgres")
                                         .arg(pgserver::FreePort())
                                   : pgserver::Uri();
    std::vector<std::unique_ptr<Bench>> benches;
    benches.push_back(std::make_unique<Bench>());
    const bool started = benches.back()->Start(3, uri);
    qputenv("PGPASSWORD", real);
    QVERIFY(started);
    QVERIFY(WaitForPasses(benches, 100));  // recording goes on
    Bench& bench = *benches.back();
    QVERIFY2(bench.failures > 0, qPrintable(bench.output.right(500)));
    QVERIFY2(bench.output.contains(closedPort ? QStringLiteral("refused")
                                              : QStringLiteral("password authentication")),
             qPrintable(bench.output.right(500)));
    QVERIFY(!bench.output.contains(QString::fromLatin1(real)));
    QVERIFY(!bench.output.contains(QString::fromLatin1(wrong)));
    auto reader = SessionReader::Open(bench.store, nullptr);
    QVERIFY(reader);
    const qint64 stored = reader->Find({}).value_or(StoredSession{}).chunks;
    QVERIFY2(stored >= 99, qPrintable(QString::number(stored) + reader->ReadError()));
  }

 private:
  void SkipWithoutServer() {
    if (!m_skip.isEmpty()) {
      QSKIP(qPrintable(m_skip));
    }
  }

  // The server holds each of the bench's sessions as its store does, and
  // the store holds what the charger sent.
  static void VerifyBench(const QString& uri, Bench& bench, int index, int sessions) {
    auto reader = SessionReader::Open(bench.store, nullptr);
    QVERIFY(reader);
    const QList<StoredSession> local = reader->Sessions();
    QCOMPARE(local.size(), sessions);
    const QString sent = Sent(index, 100000);
    QSqlDatabase::removeDatabase(QStringLiteral("servercheck"));
    QHash<QString, servercheck::ServerSession> server;
    for (const servercheck::ServerSession& s : servercheck::Sessions(uri)) {
      server.insert(s.uuid, s);
    }
    for (const StoredSession& l : local) {
      QVERIFY(server.contains(l.uuid));
      const servercheck::ServerSession& s = server[l.uuid];
      QCOMPARE(s.bench, QStringLiteral("bench-%1").arg(index));
      QCOMPARE(s.rows, l.chunks);
      QCOMPARE(s.distinctSeqs, l.chunks);
      QCOMPARE(s.chunks, l.chunks);
      QCOMPARE(s.frames, l.frames);
      QCOMPARE(s.ended, int(l.ended));
      QVERIFY(l.chunks > 50);
      const QString difference = servercheck::Compare(uri, *reader, l);
      QVERIFY2(difference.isEmpty(), qPrintable(difference));
      QString text;
      for (const StoredChunk& c : servercheck::Chunks(uri, l.uuid)) {
        text += c.text;
      }
      QVERIFY2(sent.contains(text), qPrintable(text.left(200)));
    }
  }

  QString m_skip;
};

ORVANTA_SERVER_TEST_MAIN(TestServerBenches)
#include "test_serverbenches.moc"
