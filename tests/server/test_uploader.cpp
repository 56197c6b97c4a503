// The uploader against a real server, in one process: every session and
// chunk arrives once and exactly, a batch sent again changes nothing, an
// outage or a refused login only delays it, and the local size limit keeps
// what the server lacks.

#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest/QtTest>

#include "pgserver.h"
#include "servercheck.h"
#include "sessionlabel.h"
#include "sessionstore.h"
#include "storewriter.h"
#include "uploader.h"

namespace {

StoredChunk MakeChunk(qint64 seq) {
  StoredChunk c;
  c.seq = seq;
  c.wallMs = 1'760'000'000'000 + seq * 1000 + seq % 7;
  c.monoMs = 5'000 + seq * 999;
  switch (seq % 5) {
    case 0:
      c.text = QString::fromUtf16(u"$1,1,\0\0,4100\r\n", 14);  // NULs from a noisy line
      break;
    case 1:
      c.text = QStringLiteral("C:\\log\\%1 \"quoted\" {a,b}\r\n").arg(seq);
      break;
    case 2:
      c.text = QStringLiteral("放电结束 %1\n").arg(seq);
      break;
    default:
      c.text = QStringLiteral("$1,1,%1,%2,500,%3,25;1,%1,%4,498,%3,24\r\n")
                   .arg(seq)
                   .arg(1400 - seq % 400)
                   .arg(seq / 7)
                   .arg(1390 - seq % 390);
      for (int f = 0; f < 5; ++f) {
        c.channel[0].fields[size_t(f)] = qint32(seq * 10 + f);
        if (seq % 3) {
          c.channel[1].fields[size_t(f)] = -qint32(seq + f);
        }
      }
  }
  return c;
}

bool WaitStored(SessionStore& store) {
  QSignalSpy committed(&store, &SessionStore::Committed);
  while (store.Pending() > 0) {
    if (!committed.wait(10000)) {
      return false;
    }
  }
  return true;
}

}  // namespace

class TestUploader : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() { m_skip = pgserver::Skipped(); }

  void copiesEverySessionOnceAndExactly() {
    SkipWithoutServer();
    const QString uri = Database(QStringLiteral("exact"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sessions.db"));
    SessionStore store({.path = path, .bench = QStringLiteral("台架 1")});
    // More chunks than one batch takes, a session relabelled while running,
    // one without chunks.
    const qint64 a = store.BeginSession(QStringLiteral("COM1"), QStringLiteral("/dev/a"), 1000,
                                        {QStringLiteral("A0001"), QString()});
    for (qint64 seq = 1; seq <= 2300; ++seq) {
      store.Append(a, MakeChunk(seq));
    }
    store.EndSession(a, SessionEnd::Closed, 9000);
    const qint64 b = store.BeginSession(QStringLiteral("COM2"), QStringLiteral("/dev/b"), 2000);
    store.Append(b, MakeChunk(1));
    store.SetCells(b, {QStringLiteral("B7"), QStringLiteral("B8")});
    store.Append(b, MakeChunk(2));
    const qint64 c = store.BeginSession(QStringLiteral("COM3"), QStringLiteral("/dev/c"), 3000);
    store.EndSession(c, SessionEnd::ProgramExit, 3500);
    QVERIFY(WaitStored(store));

    {
      Uploader uploader({.batch = {.uri = uri, .storePath = path, .batchChunks = 1000}});
      QSignalSpy caughtUp(&uploader, &Uploader::CaughtUp);
      QSignalSpy uploaded(&uploader, &Uploader::Uploaded);
      uploader.Wake();
      QVERIFY(caughtUp.wait(30000));
      qint64 biggest = 0;
      for (const QList<QVariant>& batch : uploaded) {
        biggest = std::max(biggest, batch[0].toLongLong());
      }
      QCOMPARE(biggest, 1000);  // the batch size holds
      // The running session goes on, then ends.
      store.Append(b, MakeChunk(3));
      store.EndSession(b, SessionEnd::Interrupted, 7000);
      QVERIFY(WaitStored(store));
      caughtUp.clear();
      uploader.Wake();
      QVERIFY(caughtUp.wait(30000));
      // The pass that reported may have read the store before the end was
      // in it (it began on the first wake); the next one sends the end.
      QTRY_COMPARE_WITH_TIMEOUT(Server(uri).value(1).ended, int(SessionEnd::Interrupted), 30000);
    }
    VerifyMirrors(uri, path, 3);
    QCOMPARE(Server(uri).value(0).cell1, QStringLiteral("A0001"));
    QCOMPARE(Server(uri).value(1).cell2, QStringLiteral("B8"));
    QCOMPARE(Server(uri).value(1).ended, int(SessionEnd::Interrupted));
    QCOMPARE(Server(uri).value(0).bench, QStringLiteral("台架 1"));

    // The confirmations are lost (as when the program dies between the
    // server's commit and the local one): everything is sent again, and the
    // server is unchanged.
    {
      QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("x"));
      db.setDatabaseName(path);
      QVERIFY(db.open());
      QVERIFY(QSqlQuery(db).exec(
          QStringLiteral("UPDATE sessions SET confirmed_seq = 0, confirmed_end = 0")));
      db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("x"));
    {
      Uploader again({.batch = {.uri = uri, .storePath = path, .batchChunks = 700}});
      QSignalSpy caughtUp(&again, &Uploader::CaughtUp);
      again.Wake();
      QVERIFY(caughtUp.wait(30000));
    }
    VerifyMirrors(uri, path, 3);
  }

  // The server goes away while the store records: the notice comes, the
  // store goes on, and once the server is back everything arrives once.
  void outageDelaysButLosesNothing() {
    SkipWithoutServer();
    const QString uri = Database(QStringLiteral("outage"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sessions.db"));
    SessionStore store({.path = path});
    Uploader uploader(
        {.batch = {.uri = uri, .storePath = path, .batchChunks = 500}, .retryMs = 300});
    connect(&store, &SessionStore::Committed, &uploader, &Uploader::Wake);
    QSignalSpy state(&uploader, &Uploader::StateChanged);
    QSignalSpy caughtUp(&uploader, &Uploader::CaughtUp);
    const qint64 s = store.BeginSession(QStringLiteral("COM1"), QStringLiteral("/dev/a"), 1);
    qint64 seq = 0;
    for (; seq < 200; ++seq) {
      store.Append(s, MakeChunk(seq + 1));
    }
    QVERIFY(caughtUp.wait(30000));
    QVERIFY(state.isEmpty());

    QVERIFY(pgserver::Stop());
    for (; seq < 1500; ++seq) {
      store.Append(s, MakeChunk(seq + 1));
    }
    QVERIFY(state.wait(30000));
    QCOMPARE(state.last().value(0).toBool(), true);
    QVERIFY(uploader.Failing());
    QVERIFY(WaitStored(store));  // recording is not held up
    QVERIFY(store.Recording());
    store.EndSession(s, SessionEnd::Closed, 99);
    QVERIFY(WaitStored(store));
    QVERIFY(pgserver::Start());
    QVERIFY(QTest::qWaitFor([&] { return !uploader.Failing(); }, 30000));
    QCOMPARE(state.last().value(0).toBool(), false);
    QVERIFY(state.last().value(1).toString().isEmpty());
    VerifyMirrors(uri, path, 1);
  }

  void refusedOrUnreachable_data() {
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("closedPort");
    QTest::addColumn<QString>("reason");
    QTest::newRow("wrong password") << "Wr0ng-Pa55" << false << "password authentication failed";
    QTest::newRow("closed port") << QString() << true << "refused";
  }
  void refusedOrUnreachable() {
    SkipWithoutServer();
    QFETCH(QString, password);
    QFETCH(bool, closedPort);
    QFETCH(QString, reason);
    const QByteArray real = qgetenv("PGPASSWORD");
    const QString uri = closedPort ? QStringLiteral("postgresql://postgres@127.0.0.1:%1/postgres")
                                         .arg(pgserver::FreePort())
                                   : pgserver::Uri();
    if (!password.isEmpty()) {
      qputenv("PGPASSWORD", password.toUtf8());
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sessions.db"));
    SessionStore store({.path = path});
    Uploader uploader({.batch = {.uri = uri, .storePath = path}, .retryMs = 200});
    connect(&store, &SessionStore::Committed, &uploader, &Uploader::Wake);
    QSignalSpy state(&uploader, &Uploader::StateChanged);
    const qint64 s = store.BeginSession(QStringLiteral("COM1"), QStringLiteral("/dev/a"), 1);
    for (qint64 seq = 1; seq <= 50; ++seq) {
      store.Append(s, MakeChunk(seq));
    }
    const bool failed = state.wait(20000);
    qputenv("PGPASSWORD", real);
    QVERIFY(failed);
    const QString error = state.last().value(1).toString();
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY(!error.contains(QString::fromLatin1(real)));
    QVERIFY(password.isEmpty() || !error.contains(password));
    QVERIFY(WaitStored(store));
    QVERIFY(store.Recording());
  }

  // Labels changed while no uploader runs (afterwards, with the sessions
  // tool) reach the server once the next uploader starts, and only once.
  void labelChangedOfflineReachesTheServer_data() {
    QTest::addColumn<QString>("cell1");  // null: channel 1 keeps its label
    QTest::addColumn<QString>("cell2");
    QTest::addColumn<QString>("want1");
    QTest::addColumn<QString>("want2");
    QTest::newRow("one relabelled") << QString() << u"Z0009"_qs << u"A0001"_qs << u"Z0009"_qs;
    QTest::newRow("both cleared") << u""_qs << u""_qs << u""_qs << u""_qs;
  }
  void labelChangedOfflineReachesTheServer() {
    SkipWithoutServer();
    QFETCH(QString, cell1);
    QFETCH(QString, cell2);
    const QString uri = Database(QStringLiteral("relabel_%1")
                                     .arg(QLatin1StringView(QTest::currentDataTag()))
                                     .replace(u' ', u'_'));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sessions.db"));
    qint64 id = 0;
    {
      SessionStore store({.path = path});
      id = store.BeginSession(QStringLiteral("COM1"), QStringLiteral("/dev/a"), 1000,
                              {QStringLiteral("A0001"), QStringLiteral("A0002")});
      for (qint64 seq = 1; seq <= 30; ++seq) {
        store.Append(id, MakeChunk(seq));
      }
      store.EndSession(id, SessionEnd::Closed, 5000);
      QVERIFY(WaitStored(store));
      Uploader uploader({.batch = {.uri = uri, .storePath = path}});
      QSignalSpy caughtUp(&uploader, &Uploader::CaughtUp);
      uploader.Wake();
      QVERIFY(caughtUp.wait(30000));
    }
    QCOMPARE(Server(uri).value(0).cell2, QStringLiteral("A0002"));
    QString error;
    const auto keepOrSet = [](const QString& c) {
      return c.isNull() ? std::nullopt : std::optional<QString>(c);
    };
    QVERIFY2(LabelStoredSession(path, id, {keepOrSet(cell1), keepOrSet(cell2)}, &error),
             qPrintable(error));
    for (const bool again : {false, true}) {
      Uploader uploader({.batch = {.uri = uri, .storePath = path}});
      QSignalSpy caughtUp(&uploader, &Uploader::CaughtUp);
      QSignalSpy uploaded(&uploader, &Uploader::Uploaded);
      QVERIFY(caughtUp.wait(30000));  // sent at its start, unasked
      QCOMPARE(uploaded.size(), again ? 0 : 1);
    }
    QFETCH(QString, want1);
    QFETCH(QString, want2);
    QCOMPARE(Server(uri).value(0).cell1, want1);
    QCOMPARE(Server(uri).value(0).cell2, want2);
    VerifyMirrors(uri, path, 1);
  }

  // With a server configured, the size limit deletes only sessions whose
  // chunks and end are all on the server, and says why it stays over.
  void sizeLimitKeepsWhatTheServerLacks_data() {
    QTest::addColumn<bool>("relabelled");  // session 3's new labels are not on the server yet
    QTest::addColumn<QList<qint64>>("kept");
    QTest::newRow("all but its labels confirmed") << false << QList<qint64>{1, 2, 4};
    QTest::newRow("labels changed since") << true << QList<qint64>{1, 2, 3, 4};
  }
  void sizeLimitKeepsWhatTheServerLacks() {
    QFETCH(bool, relabelled);
    QFETCH(QList<qint64>, kept);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sessions.db"));
    {
      SessionStore store({.path = path, .limitBytes = 0});
      for (int i = 0; i < 4; ++i) {
        const qint64 s = store.BeginSession(QStringLiteral("COM1"), QStringLiteral("/dev/a"), i);
        for (qint64 seq = 1; seq <= 300; ++seq) {
          store.Append(s, MakeChunk(seq));
        }
        store.EndSession(s, SessionEnd::Closed, i + 1);
      }
      QVERIFY(WaitStored(store));
    }
    const auto confirm = [&](const QString& sql) {
      bool ok = false;
      {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("c"));
        db.setDatabaseName(path);
        ok = db.open() && QSqlQuery(db).exec(sql);
        db.close();
      }
      QSqlDatabase::removeDatabase(QStringLiteral("c"));
      return ok;
    };
    // Session 1: all chunks, no end; session 2: end, one chunk short;
    // session 3: whole.
    QVERIFY(confirm(QStringLiteral(
        "UPDATE sessions SET confirmed_seq = CASE id WHEN 1 THEN 300 WHEN 2 THEN 299"
        " WHEN 3 THEN 300 ELSE 0 END, confirmed_end = CASE id WHEN 1 THEN 0 ELSE 1 END")));
    QString error;
    QVERIFY2(!relabelled || LabelStoredSession(path, 3, {u"C3"_qs, std::nullopt}, &error),
             qPrintable(error));
    StoreWriter writer({.path = path, .limitBytes = 1, .keepUnconfirmed = true});
    QVERIFY2(writer.Open(), qPrintable(writer.Error()));
    QCOMPARE(writer.ApplyLimit(), relabelled ? 0 : 1);  // session 3 at most (4 is the newest)
    QVERIFY2(writer.LimitError().contains(QStringLiteral("until the lab server has them")),
             qPrintable(writer.LimitError()));
    auto reader = SessionReader::Open(path, nullptr);
    QVERIFY(reader);
    QList<qint64> ids;
    for (const StoredSession& s : reader->Sessions()) {
      ids << s.id;
    }
    QCOMPARE(ids, kept);
  }

 private:
  void SkipWithoutServer() {
    if (!m_skip.isEmpty()) {
      QSKIP(qPrintable(m_skip));
    }
  }

  static QString Database(const QString& name) {
    pgserver::Psql(QStringLiteral("CREATE DATABASE ") + name);
    return pgserver::Uri(name);
  }

  static QList<servercheck::ServerSession> Server(const QString& uri) {
    QSqlDatabase::removeDatabase(QStringLiteral("servercheck"));
    return servercheck::Sessions(uri);
  }

  // The server mirrors the local store: each session once, each chunk once
  // and as stored, counts and ends as here; the store knows it.
  static void VerifyMirrors(const QString& uri, const QString& path, int sessions) {
    auto reader = SessionReader::Open(path, nullptr);
    QVERIFY(reader);
    const QList<StoredSession> local = reader->Sessions();
    const QList<servercheck::ServerSession> server = Server(uri);
    QCOMPARE(local.size(), sessions);
    QCOMPARE(server.size(), sessions);
    for (qsizetype i = 0; i < local.size(); ++i) {
      const StoredSession& l = local[i];
      const servercheck::ServerSession& s = server[i];
      QCOMPARE(s.uuid, l.uuid);
      QCOMPARE(s.port, l.port);
      QCOMPARE(s.ended, int(l.ended));
      QCOMPARE(s.endMs, l.endUtc.isValid() ? l.endUtc.toMSecsSinceEpoch() : -1);
      QCOMPARE(s.cell1, l.cells[0]);
      QCOMPARE(s.cell2, l.cells[1]);
      QCOMPARE(s.rows, l.chunks);
      QCOMPARE(s.distinctSeqs, l.chunks);
      QCOMPARE(s.chunks, l.chunks);
      QCOMPARE(s.frames, l.frames);
      const QString difference = servercheck::Compare(uri, *reader, l);
      QVERIFY2(difference.isEmpty(), qPrintable(difference));
      QCOMPARE(l.confirmedSeq, l.chunks);
    }
  }

  QString m_skip;
};

ORVANTA_SERVER_TEST_MAIN(TestUploader)
#include "test_uploader.moc"
