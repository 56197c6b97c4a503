// The store on its own: what is recorded reads back as it was received, a
// session whose writer vanished is found interrupted, and the exports have
// the exact bytes users rely on.

#include <QBuffer>
#include <QCommandLineParser>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QUuid>
#include <QtTest>

#include "fakeservices.h"
#include "sessionexport.h"
#include "sessionreader.h"
#include "sessionrecording.h"
#include "snapshotfile.h"
#include "storeoptions.h"
#include "storewriter.h"

namespace {

struct Pass {
  QString text;
  QList<std::pair<int, qint32>> fields;  // (channel * 10 + quantity, value)
};

// Drives the recorder as the acquisition pass would.
void Run(SessionRecording& recording, const Pass& pass) {
  recording.ChunkReceived(pass.text);
  for (const auto& [key, value] : pass.fields) {
    recording.FieldApplied(key / 10, Quantity(key % 10), value);
  }
  recording.PassEnded();
}

QList<StoredChunk> Chunks(SessionReader& reader, qint64 id) {
  QList<StoredChunk> chunks;
  reader.ForEachChunk(id, [&](const StoredChunk& c) { chunks << c; });
  return chunks;
}

bool WaitIdle(SessionStore& store) {
  QSignalSpy committed(&store, &SessionStore::Committed);
  while (store.Pending() > 0) {
    if (!committed.wait(5000)) {
      return false;
    }
  }
  return true;
}

}  // namespace

class TestSessionStore : public QObject {
  Q_OBJECT
 private slots:
  void recordsEachChunkWithWhatWasApplied();
  void abandonedSessionIsFoundInterrupted();
  void completeReadingsReadBack_data();
  void completeReadingsReadBack();
  void exports_data();
  void exports();
  void sizeLimitDeletesOldestFinishedSessions_data();
  void sizeLimitDeletesOldestFinishedSessions();
  void olderStoreGetsLabDistinctIdentities();
  void options_data();
  void options();
};

void TestSessionStore::recordsEachChunkWithWhatWasApplied() {
  QTemporaryDir dir;
  const QString path = dir.filePath(u"store/sessions.db"_qs);
  FakeClock clock;
  {
    SessionRecording recording({.path = path, .bench = u"台架 7"_qs}, clock);
    Run(recording, {u"before the port opened"_qs, {}});
    recording.SetCells({u"A0001"_qs, QString()});
    recording.PortOpened(u"COM3"_qs, u"/dev/ttyUSB0"_qs);
    Run(recording,
        {u"$1,1,7,1300,500,1,25;0\r\n"_qs, {{10, 7}, {11, 1300}, {12, 500}, {13, 1}, {14, 25}}});
    recording.SetCells({u"A0001"_qs, u"B-02 电芯"_qs});  // the second cell scanned later
    clock.Advance(1000);
    Run(recording, {QString(), {}});  // nothing received: no row
    Run(recording, {u"$1,0,,,,,,1,8,12"_qs, {{20, 8}, {21, 12}}});
    clock.Advance(1000);
    Run(recording, {u"噪声 \0 x"_qs, {}});
    recording.PortClosed();
    QVERIFY(WaitIdle(recording.Store()));
    QVERIFY(recording.Store().Recording());
  }
  QVERIFY(QFileInfo(path).permissions() & QFile::ReadOwner);
  QCOMPARE(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);

  QString error;
  auto reader = SessionReader::Open(path, &error);
  QVERIFY2(reader, qPrintable(error));
  const QList<StoredSession> sessions = reader->Sessions();
  QCOMPARE(sessions.size(), 1);
  const StoredSession s = sessions[0];
  QCOMPARE(s.port, u"COM3"_qs);
  QCOMPARE(s.device, u"/dev/ttyUSB0"_qs);
  QCOMPARE(s.ended, SessionEnd::Closed);
  QCOMPARE(s.startUtc, clock.now.toUTC());
  QCOMPARE(s.endUtc, clock.now.toUTC().addMSecs(2000));
  QCOMPARE(s.chunks, 3);
  QCOMPARE(s.frames, 2);
  QCOMPARE(s.bench, u"台架 7"_qs);
  QCOMPARE(s.cells[0], u"A0001"_qs);
  QCOMPARE(s.cells[1], u"B-02 电芯"_qs);
  QVERIFY2(QUuid::fromString(s.uuid).version() == QUuid::Random, qPrintable(s.uuid));
  QCOMPARE(s.confirmedSeq, 0);
  QCOMPARE(reader->Find(std::nullopt)->id, s.id);
  QVERIFY(!reader->Find(s.id + 1));

  const QList<StoredChunk> chunks = Chunks(*reader, s.id);
  QCOMPARE(chunks.size(), 3);
  QCOMPARE(chunks[0].seq, 1);
  QCOMPARE(chunks[2].seq, 3);
  QCOMPARE(chunks[0].text, u"$1,1,7,1300,500,1,25;0\r\n"_qs);
  QCOMPARE(chunks[2].text, u"噪声 \0 x"_qs);
  QCOMPARE(chunks[1].wallMs, clock.now.toMSecsSinceEpoch() + 1000);
  QCOMPARE(chunks[1].monoMs, 1000);
  QVERIFY(chunks[0].channel[0].All());
  QCOMPARE(*chunks[0].channel[0].fields[1], 1300);
  QVERIFY(!chunks[0].channel[1].Any());
  QCOMPARE(chunks[1].channel[1].fields[1], std::optional<qint32>(12));
  QVERIFY(!chunks[1].channel[1].fields[2]);
  QVERIFY(!chunks[2].channel[0].Any() && !chunks[2].channel[1].Any());
}

void TestSessionStore::abandonedSessionIsFoundInterrupted() {
  QTemporaryDir dir;
  const QString path = dir.filePath(u"sessions.db"_qs);
  StoredChunk chunk;
  chunk.seq = 1;
  chunk.wallMs = 5000;
  chunk.text = u"x"_qs;
  {
    // A writer that stops without ending its session, as a killed one does.
    StoreWriter gone({.path = path});
    std::deque<StoreCommand> commands(3);
    commands[0].kind = StoreCommand::Kind::Begin;
    commands[0].session = 1;
    commands[0].startMs = 1000;
    commands[1].session = commands[2].session = 1;
    commands[1].chunk = chunk;
    // The wall clock was set back before the last chunk.
    commands[2].chunk = chunk;
    commands[2].chunk.seq = 2;
    commands[2].chunk.wallMs = 4000;
    QVERIFY2(gone.Write(commands), qPrintable(gone.Error()));

    // A live writer's sessions are left alone.
    StoreWriter alive({.path = path});
    QVERIFY(alive.Open());
    auto reader = SessionReader::Open(path, nullptr);
    QCOMPARE(reader->Find(std::nullopt)->ended, SessionEnd::Running);
    QVERIFY(!reader->Find(std::nullopt)->writerGone);
  }
  {
    // Until the next start, a reader tells the session's writer is gone.
    auto reader = SessionReader::Open(path, nullptr);
    const StoredSession s = *reader->Find(std::nullopt);
    QCOMPARE(s.ended, SessionEnd::Running);
    QVERIFY(s.writerGone);
    QCOMPARE(s.endUtc.toMSecsSinceEpoch(), 4000);
  }
  StoreWriter next({.path = path});
  QVERIFY(next.Open());
  auto reader = SessionReader::Open(path, nullptr);
  const StoredSession s = *reader->Find(std::nullopt);
  QCOMPARE(s.ended, SessionEnd::Interrupted);
  QCOMPARE(s.endUtc.toMSecsSinceEpoch(), 4000);  // the last chunk's time, by sequence
  QCOMPARE(s.chunks, 2);
}

using Readings = std::array<std::optional<qint32>, kQuantityCount>;

void TestSessionStore::completeReadingsReadBack_data() {
  QTest::addColumn<Readings>("readings");  // channel 1's; channel 2 always lacks its time
  constexpr qint32 kMin = std::numeric_limits<qint32>::min();
  constexpr qint32 kMax = std::numeric_limits<qint32>::max();
  QTest::newRow("discharging") << Readings{3600, 3712, -1500, 2750, 31};
  QTest::newRow("extremes") << Readings{kMin, kMax, kMax, kMin, kMin};
  QTest::newRow("no capacity") << Readings{10, 1300, 500, std::nullopt, 25};
}

// The fast read packs readings in pairs: each comes back whole, and a
// channel with any reading missing not at all.
void TestSessionStore::completeReadingsReadBack() {
  QFETCH(Readings, readings);
  QTemporaryDir dir;
  // Channel 1's last complete readings are the newest chunk's; channel 2's
  // are in the chunk before.
  std::deque<StoreCommand> commands(4);
  commands[0].kind = StoreCommand::Kind::Begin;
  commands[0].session = commands[1].session = commands[2].session = commands[3].session = 1;
  commands[1].chunk.seq = 1;
  commands[1].chunk.channel = {StoredChannel{readings},
                               StoredChannel{Readings{std::nullopt, 1, 2, 3, 4}}};
  commands[2].chunk.seq = 2;
  commands[2].chunk.channel = {StoredChannel{Readings{1, 2, 3, 4, 5}},
                               StoredChannel{Readings{9, 8, 7, 6, 5}}};
  commands[3].chunk.seq = 3;
  commands[3].chunk.channel = {StoredChannel{Readings{11, 12, 13, 14, 15}},
                               StoredChannel{Readings{10, 8, std::nullopt, 6, 5}}};
  QVERIFY(StoreWriter({.path = dir.filePath(u"s.db"_qs)}).Write(commands));
  QList<StoredChunk> read;
  const auto reader = SessionReader::Open(dir.filePath(u"s.db"_qs), nullptr);
  QVERIFY(reader->ForEachChunkPart(1, SessionReader::ChunkParts::CompleteReadings,
                                   [&](const StoredChunk& c) { read << c; }));
  QCOMPARE(read.size(), 3);
  const bool complete = std::all_of(readings.begin(), readings.end(), [](auto r) { return !!r; });
  QVERIFY(read[0].channel[0].fields == (complete ? readings : Readings{}));
  QVERIFY(!read[0].channel[1].Any());
  const auto last = reader->LastCompleteReadings(1);
  QVERIFY(last);
  QVERIFY((*last)[0].fields == commands[3].chunk.channel[0].fields);
  QVERIFY((*last)[1].fields == commands[2].chunk.channel[1].fields);
}

void TestSessionStore::exports_data() {
  QTest::addColumn<QList<Pass>>("passes");
  QTest::addColumn<QByteArray>("csvRows");  // after the header
  const QByteArray t0 =
      QDateTime(QDate(2026, 3, 7), QTime(9, 5, 3)).toString(u"yyyy-MM-ddTHH:mm:ss.zzz").toLatin1();
  const QByteArray t1 =
      QDateTime(QDate(2026, 3, 7), QTime(9, 5, 4)).toString(u"yyyy-MM-ddTHH:mm:ss.zzz").toLatin1();
  QTest::newRow("two channels, then a notice")
      << QList<Pass>{{u"$1,1,7,1300,-5,1,25;1,6,1299,498,0,24\r\n"_qs,
                      {{10, 7},
                       {11, 1300},
                       {12, -5},
                       {13, 1},
                       {14, 25},
                       {20, 6},
                       {21, 1299},
                       {22, 498},
                       {23, 0},
                       {24, 24}}},
                     {u" Exit from discharge .... "_qs, {}}}
      << t0 + ",7,1300,-5,1,25,6,1299,498,0,24\r\n";
  QTest::newRow("absent channel and a cut-short field; GBK and beyond")
      << QList<Pass>{{u"$1,0,,,,,,1,60,1300"_qs, {{20, 60}, {21, 1300}}},
                     {u"电池 ½ 😀 end\r\n"_qs, {}},
                     {u"$1,1,9,1,2,3,4;0\r\n"_qs, {{10, 9}, {11, 1}, {12, 2}, {13, 3}, {14, 4}}}}
      << t0 + ",,,,,,60,1300,,,\r\n" + t1 + ",9,1,2,3,4,,,,,\r\n";
}

void TestSessionStore::exports() {
  QFETCH(QList<Pass>, passes);
  QFETCH(QByteArray, csvRows);
  QTemporaryDir dir;
  const QString path = dir.filePath(u"sessions.db"_qs);
  FakeClock clock;
  QString text;
  {
    SessionRecording recording({.path = path}, clock);
    recording.PortOpened(u"COM1"_qs, u"/dev/ttyS0"_qs);
    for (const Pass& pass : passes) {
      Run(recording, pass);
      text += pass.text;
      if (pass.fields.isEmpty() == false) {
        clock.Advance(1000);
      }
    }
    recording.PortClosed();
    QVERIFY(WaitIdle(recording.Store()));
  }
  auto reader = SessionReader::Open(path, nullptr);
  const StoredSession session = *reader->Find(std::nullopt);
  QString error;

  QBuffer csv;
  csv.open(QIODevice::WriteOnly);
  QVERIFY(ExportCsv(*reader, session, csv, &error));
  const QByteArray header =
      "\xEF\xBB\xBF" +
      u"记录时间,通道 1 时间(S),通道 1 电压(mV),通道 1 电流(mA),通道 1 容量(mAh),"
      "通道 1 温度,通道 2 时间(S),通道 2 电压(mV),通道 2 电流(mA),"
      "通道 2 容量(mAh),通道 2 温度\r\n"_qs.toUtf8();
  QCOMPARE(csv.data(), header + csvRows);

  QBuffer data1;
  data1.open(QIODevice::WriteOnly);
  QVERIFY(ExportData1(*reader, session, data1, &error));
  QCOMPARE(data1.data(), SnapshotBytes(session.endUtc.toLocalTime(), text));
  QVERIFY(data1.data().startsWith(QTextCodec::codecForName("GBK")->fromUnicode(
      SnapshotHeader(clock.now.addMSecs(clock.monotonicMs)))));
}

void TestSessionStore::sizeLimitDeletesOldestFinishedSessions_data() {
  QTest::addColumn<qint64>("limit");
  QTest::addColumn<QString>("fourth");  // session 4: running, interrupted or none
  QTest::addColumn<QList<qint64>>("kept");
  // Sessions 1 to 3 are finished; each holds about 100 kB.
  QTest::newRow("no limit") << qint64(0) << u"running"_qs << QList<qint64>{1, 2, 3, 4};
  QTest::newRow("under the limit")
      << qint64(10'000'000) << u"running"_qs << QList<qint64>{1, 2, 3, 4};
  QTest::newRow("two over") << qint64(250'000) << u"running"_qs << QList<qint64>{3, 4};
  QTest::newRow("never the running one") << qint64(1) << u"running"_qs << QList<qint64>{4};
  QTest::newRow("never the newest, interrupted")
      << qint64(1) << u"interrupted"_qs << QList<qint64>{4};
  QTest::newRow("never the newest, finished") << qint64(1) << u"none"_qs << QList<qint64>{3};
}

void TestSessionStore::sizeLimitDeletesOldestFinishedSessions() {
  QFETCH(qint64, limit);
  QFETCH(QString, fourth);
  QFETCH(QList<qint64>, kept);
  QTemporaryDir dir;
  const QString path = dir.filePath(u"sessions.db"_qs);
  const auto session = [](qint64 token, bool end) {
    std::deque<StoreCommand> commands(end ? 3 : 2);
    commands[0].kind = StoreCommand::Kind::Begin;
    commands[0].session = token;
    commands[1].session = token;
    commands[1].chunk.seq = 1;
    commands[1].chunk.text = QString(100'000, u'x');
    if (end) {
      commands[2].kind = StoreCommand::Kind::End;
      commands[2].session = token;
    }
    return commands;
  };
  auto running = std::make_unique<StoreWriter>(StoreWriter::Config{.path = path});
  {
    StoreWriter finished({.path = path});
    for (qint64 token = 1; token <= 3; ++token) {
      QVERIFY(finished.Write(session(token, true)));
    }
  }
  if (fourth != u"none") {
    QVERIFY(running->Write(session(1, false)));
  }
  if (fourth != u"running") {
    running.reset();  // a writer that is gone: its session is found interrupted
  }
  StoreWriter limited({.path = path, .limitBytes = limit});
  QVERIFY(limited.Open());
  QCOMPARE(limited.ApplyLimit(), 3 + (fourth == u"none" ? 0 : 1) - int(kept.size()));
  QVERIFY(limited.IsOpen());
  if (limit > 1) {
    // The freed space went back to the file system.
    QCOMPARE_LE(QFileInfo(path).size(), limit + 64 * 1024);
  }
  auto reader = SessionReader::Open(path, nullptr);
  QList<qint64> ids;
  for (const StoredSession& s : reader->Sessions()) {
    ids << s.id;
  }
  QCOMPARE(ids, kept);
}

// A store from before sessions had a lab identity: opening it for writing
// gives each old session its own UUID and keeps everything else.
void TestSessionStore::olderStoreGetsLabDistinctIdentities() {
  QTemporaryDir dir;
  const QString path = dir.filePath(u"sessions.db"_qs);
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_qs, u"v2"_qs);
    db.setDatabaseName(path);
    QVERIFY(db.open());
    QSqlQuery q(db);
    for (const char* sql :
         {"CREATE TABLE sessions(id INTEGER PRIMARY KEY AUTOINCREMENT, start_ms INTEGER NOT NULL,"
          " end_ms INTEGER, port TEXT NOT NULL, device TEXT NOT NULL,"
          " ended INTEGER NOT NULL DEFAULT 0, owner TEXT NOT NULL,"
          " chunks INTEGER NOT NULL DEFAULT 0, frames INTEGER NOT NULL DEFAULT 0)",
          "CREATE INDEX sessions_running ON sessions(ended) WHERE ended = 0",
          "CREATE TABLE chunks(session_id INTEGER NOT NULL, seq INTEGER NOT NULL,"
          " wall_ms INTEGER NOT NULL, mono_ms INTEGER NOT NULL, text TEXT NOT NULL,"
          " t1 INTEGER, v1 INTEGER, i1 INTEGER, r1 INTEGER, w1 INTEGER,"
          " t2 INTEGER, v2 INTEGER, i2 INTEGER, r2 INTEGER, w2 INTEGER,"
          " PRIMARY KEY(session_id, seq)) WITHOUT ROWID",
          "INSERT INTO sessions VALUES(4, 1000, 2000, 'COM2', '/dev/ttyS1', 1, 'x', 1, 0)",
          "INSERT INTO sessions VALUES(9, 3000, 4000, 'COM5', '/dev/ttyS4', 2, 'x', 0, 0)",
          "INSERT INTO chunks(session_id, seq, wall_ms, mono_ms, text) VALUES(4, 1, 1500, 5, 'a')",
          "PRAGMA user_version = 2"}) {
      QVERIFY2(q.exec(QString::fromLatin1(sql)), sql);
    }
    db.close();
  }
  QSqlDatabase::removeDatabase(u"v2"_qs);
  StoreWriter writer({.path = path});
  QVERIFY2(writer.Open(), qPrintable(writer.Error()));
  writer.Close();

  QString error;
  auto reader = SessionReader::Open(path, &error);
  QVERIFY2(reader, qPrintable(error));
  const QList<StoredSession> sessions = reader->Sessions();
  QCOMPARE(sessions.size(), 2);
  QCOMPARE(sessions[0].id, 4);
  QCOMPARE(sessions[1].port, u"COM5"_qs);
  QCOMPARE(Chunks(*reader, 4).value(0).text, u"a"_qs);
  for (const StoredSession& s : sessions) {
    const QUuid uuid = QUuid::fromString(s.uuid);
    QVERIFY2(uuid.version() == QUuid::Random && uuid.variant() == QUuid::DCE, qPrintable(s.uuid));
    QCOMPARE(s.uuid, uuid.toString(QUuid::WithoutBraces));  // lower case, no braces
    QVERIFY(s.bench.isEmpty() && s.cells[0].isEmpty() && s.cells[1].isEmpty());
  }
  QVERIFY(sessions[0].uuid != sessions[1].uuid);
}

void TestSessionStore::options_data() {
  QTest::addColumn<QStringList>("arguments");
  QTest::addColumn<QString>("environment");
  QTest::addColumn<bool>("ok");
  QTest::addColumn<bool>("enabled");
  QTest::addColumn<qint64>("limit");
  const qint64 g = qint64(1) << 30;
  QTest::newRow("defaults") << QStringList() << QString() << true << true << 2 * g;
  QTest::newRow("off") << QStringList{u"--no-store"_qs} << QString() << true << false << 2 * g;
  QTest::newRow("environment") << QStringList() << u"10G"_qs << true << true << 10 * g;
  QTest::newRow("command line wins") << QStringList{u"--store-limit"_qs, u"500m"_qs} << u"10G"_qs
                                     << true << true << (qint64(500) << 20);
  QTest::newRow("plain bytes, no limit")
      << QStringList{u"--store-limit=0"_qs} << QString() << true << true << qint64(0);
  QTest::newRow("bytes") << QStringList{u"--store-limit=123456"_qs} << QString() << true << true
                         << qint64(123456);
  QTest::newRow("malformed") << QStringList{u"--store-limit=2GB"_qs} << QString() << false << true
                             << 2 * g;
  // A malformed environment value runs with the default, and says so.
  QTest::newRow("negative") << QStringList() << u"-1"_qs << true << true << 2 * g;
  QTest::newRow("too large") << QStringList() << u"99999999999T"_qs << true << true << 2 * g;
}

void TestSessionStore::options() {
  QFETCH(QStringList, arguments);
  QFETCH(QString, environment);
  QFETCH(bool, ok);
  QFETCH(bool, enabled);
  QFETCH(qint64, limit);
  QCommandLineParser parser;
  AddStoreOptions(parser);
  QVERIFY(parser.parse(QStringList{u"orvanta"_qs} + arguments));
  StoreOptions options;
  QString error;
  QCOMPARE(ReadStoreOptions(parser, environment, &options, &error), ok);
  QCOMPARE(error.isEmpty(), ok);
  const bool badEnvironment = !environment.isEmpty() && !ParseByteSize(environment);
  QCOMPARE(options.warning.contains(u"ORVANTA_STORE_LIMIT"_qs),
           ok && badEnvironment && !arguments.join(u' ').contains(u"store-limit"_qs));
  QCOMPARE(options.enabled, enabled);
  QCOMPARE(options.limitBytes, limit);
}

QTEST_GUILESS_MAIN(TestSessionStore)
#include "test_sessionstore.moc"
