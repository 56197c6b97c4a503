// The store at the edges of its promise: a store file deleted or rebuilt
// while a session runs, the size limit on a nearly full disk, files at the
// store's path that are not ours, read-only media, and backups.

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "fakeservices.h"
#include "sessionreader.h"
#include "sessionrecording.h"
#include "storewriter.h"
#include "tmpfs.h"

namespace {

constexpr int kWaitMs = 10000;

QString Frame(int i) {
  return QStringLiteral("$1,1,%1,%2,500,%1,25;1,%1,1299,498,%1,24\r\n").arg(i).arg(1400 - i);
}

// The program's recording, driven as the acquisition pass drives it.
struct Recorder {
  explicit Recorder(const QString& db)
      : recording(SessionStore::Settings{.path = db, .retryMs = 50}, clock) {
    recording.SetMessage([this](const QString& text) { messages << text; });
  }
  SessionStore& Store() { return recording.Store(); }
  void Pass() {
    const QString text = Frame(int(sent.size()) + 1);
    recording.ChunkReceived(text);
    recording.FieldApplied(1, Quantity::Time, qint32(sent.size()) + 1);
    recording.PassEnded();
    sent << text;
    clock.Advance(1000);
  }
  bool Drain() {
    QSignalSpy committed(&Store(), &SessionStore::Committed);
    while (Store().Pending() > 0) {
      if (!committed.wait(kWaitMs)) {
        return false;
      }
    }
    return true;
  }

  FakeClock clock;
  SessionRecording recording;
  QStringList sent;
  QStringList messages;
};

struct Stored {
  QList<qint64> ids;
  QList<QStringList> texts;  // per session, in sequence order
};

Stored Read(const QString& db) {
  Stored stored;
  auto reader = SessionReader::Open(db, nullptr);
  if (!reader) {
    return stored;
  }
  for (const StoredSession& s : reader->Sessions()) {
    stored.ids << s.id;
    QStringList texts;
    reader->ForEachChunk(s.id, [&](const StoredChunk& c) { texts << c.text; });
    if (s.chunks != texts.size()) {
      texts << u"chunk count %1"_qs.arg(s.chunks);
    }
    stored.texts << texts;
  }
  return stored;
}

void RemoveStore(const QString& db) {
  for (const char* suffix : {"", "-wal", "-shm"}) {
    QFile::remove(db + QLatin1StringView(suffix));
  }
}

QByteArray Bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("unreadable");
}

std::deque<StoreCommand> Session(qint64 token, int chunks, int textSize, bool end) {
  std::deque<StoreCommand> commands(1);
  commands[0].kind = StoreCommand::Kind::Begin;
  commands[0].session = token;
  for (int i = 1; i <= chunks; ++i) {
    StoreCommand& c = commands.emplace_back();
    c.session = token;
    c.chunk.seq = i;
    c.chunk.wallMs = 1'700'000'000'000 + i * 1000;
    c.chunk.text = QString(textSize, QChar(u'a' + i % 26));
  }
  if (end) {
    StoreCommand& c = commands.emplace_back();
    c.kind = StoreCommand::Kind::End;
    c.session = token;
  }
  return commands;
}

}  // namespace

class TestStoreEdges : public QObject {
  Q_OBJECT
 private slots:
  void storeRemovedMidSessionStartsAnew_data();
  void storeRemovedMidSessionStartsAnew();
  void limitCleansUpOnANearlyFullDisk();
  void notOursIsNeverChanged_data();
  void notOursIsNeverChanged();
  void readOnlyMediaAndBackups();
  void liveConnectionSettings_data();
  void liveConnectionSettings();
};

void TestStoreEdges::storeRemovedMidSessionStartsAnew_data() {
  QTest::addColumn<bool>("fullFirst");
  QTest::newRow("deleted to free a full disk") << true;
  QTest::newRow("deleted while recording") << false;
}

void TestStoreEdges::storeRemovedMidSessionStartsAnew() {
  QFETCH(bool, fullFirst);
  SmallTmpfs disk(u"1m"_qs);
  if (fullFirst && !disk.Mounted()) {
    QSKIP("mounting a small file system needs root");
  }
  const QString db = disk.FilePath(u"sessions.db"_qs);
  Recorder rig(db);
  QSignalSpy changed(&rig.Store(), &SessionStore::RecordingChanged);
  QSignalSpy recreated(&rig.Store(), &SessionStore::Recreated);
  rig.recording.PortOpened(u"COM1"_qs, u"/dev/ttyS0"_qs);
  for (int i = 0; i < 5; ++i) {
    rig.Pass();
  }
  QVERIFY(rig.Drain());
  qsizetype kept = rig.sent.size();  // what the deleted file took with it
  if (fullFirst) {
    disk.Fill();
    for (int i = 0; i < 200 && rig.Store().Recording(); ++i) {
      rig.Pass();
      changed.wait(20);
    }
    QVERIFY(!rig.Store().Recording());
    for (int i = 0; i < 5; ++i) {
      rig.Pass();  // held in memory
    }
    kept = rig.sent.size() - rig.Store().Pending();
    RemoveStore(db);
    QVERIFY(disk.Free());
    QVERIFY(changed.wait(kWaitMs));
  } else {
    RemoveStore(db);
    QVERIFY(recreated.wait(kWaitMs));
    QVERIFY(rig.messages.join(u'\n').contains(u"重新建立"_qs));
  }
  QVERIFY(rig.Store().Recording());
  rig.Pass();
  rig.recording.PortClosed();
  // A second session in the new file gets an id of its own.
  rig.recording.PortOpened(u"COM1"_qs, u"/dev/ttyS0"_qs);
  const QStringList first = rig.sent.mid(kept);
  rig.sent.clear();
  rig.Pass();
  rig.Pass();
  rig.recording.PortClosed();
  QVERIFY(rig.Drain());

  const Stored stored = Read(db);
  QCOMPARE(stored.ids, (QList<qint64>{1, 2}));
  QCOMPARE(stored.texts[0], first);
  QCOMPARE(stored.texts[1], rig.sent);
}

void TestStoreEdges::limitCleansUpOnANearlyFullDisk() {
  SmallTmpfs disk(u"16m"_qs);
  if (!disk.Mounted()) {
    QSKIP("mounting a small file system needs root");
  }
  const QString db = disk.FilePath(u"sessions.db"_qs);
  {
    StoreWriter writer({.path = db});
    // About 3 MB, written as the program writes: a little at a time.
    const std::deque<StoreCommand> big = Session(1, 10000, 300, true);
    for (auto from = big.begin(); from != big.end();) {
      const auto to = big.end() - from > 500 ? from + 500 : big.end();
      QVERIFY2(writer.Write({from, to}), qPrintable(writer.Error()));
      from = to;
    }
    QVERIFY2(writer.Write(Session(2, 10, 300, true)), qPrintable(writer.Error()));
  }
  // Less room left than the session to delete takes: deleting it in one
  // transaction would need about its size again in the log.
  disk.Fill();
  QFile filler(disk.FilePath(u"filler"_qs));
  QVERIFY(filler.resize(filler.size() - 600 * 1024));
  const qint64 before = QFileInfo(db).size();

  StoreWriter limited({.path = db, .limitBytes = 100 * 1024});
  QVERIFY(limited.Open());
  const int deleted = limited.ApplyLimit();
  QCOMPARE(deleted, 1);
  QVERIFY2(limited.LimitError().isEmpty(), qPrintable(limited.LimitError()));
  QVERIFY(limited.IsOpen());
  QCOMPARE(Read(db).ids, QList<qint64>{2});
  QCOMPARE_LT(QFileInfo(db).size(), before / 4);
  QCOMPARE_LE(QFileInfo(db + u"-wal"_qs).size(), 1 << 20);
}

void TestStoreEdges::notOursIsNeverChanged_data() {
  QTest::addColumn<QString>("what");
  QTest::addColumn<bool>("movedAside");
  QTest::newRow("a link to another file") << u"link"_qs << false;
  QTest::newRow("another program's database") << u"foreign"_qs << true;
  QTest::newRow("a store of a newer program") << u"newer"_qs << false;
}

void TestStoreEdges::notOursIsNeverChanged() {
  QFETCH(QString, what);
  QFETCH(bool, movedAside);
  QTemporaryDir dir;
  const QString db = dir.filePath(u"sessions.db"_qs);
  const QString other = dir.filePath(u"other.db"_qs);
  {
    QSqlDatabase sql = QSqlDatabase::addDatabase(u"QSQLITE"_qs, u"other"_qs);
    sql.setDatabaseName(what == u"link" ? other : db);
    QVERIFY(sql.open());
    QSqlQuery q(sql);
    QVERIFY(q.exec(u"CREATE TABLE t(x)"_qs));
    QVERIFY(q.exec(u"INSERT INTO t VALUES(42)"_qs));
    if (what == u"newer") {
      QVERIFY(q.exec(u"PRAGMA user_version = 99"_qs));
    }
    q.finish();
    sql.close();
  }
  QSqlDatabase::removeDatabase(u"other"_qs);
  if (what == u"link") {
    QVERIFY(QFile::link(other, db));
  }
  const QString target = what == u"link" ? other : db;
  const QByteArray bytes = Bytes(target);

  Recorder rig(db);
  QSignalSpy moved(&rig.Store(), &SessionStore::MovedAside);
  QSignalSpy changed(&rig.Store(), &SessionStore::RecordingChanged);
  if (movedAside) {
    QVERIFY(moved.wait(kWaitMs));
    QCOMPARE(Bytes(moved.at(0).at(0).toString()), bytes);
    QTRY_VERIFY(rig.messages.join(u'\n').contains(moved.at(0).at(0).toString()));
  } else {
    QVERIFY(changed.wait(kWaitMs));
    QVERIFY(!rig.Store().Recording());
    QCOMPARE(Bytes(target), bytes);
    QVERIFY(!QFileInfo::exists(target + u"-wal"_qs));
    QVERIFY(QFileInfo(db).isSymLink() == (what == u"link"));
  }
}

void TestStoreEdges::readOnlyMediaAndBackups() {
  SmallTmpfs medium(u"2m"_qs);
  if (!medium.Mounted()) {
    QSKIP("mounting a small file system needs root");
  }
  const QString db = medium.FilePath(u"sessions.db"_qs);
  const QString backup = medium.FilePath(u"copy.db"_qs);
  {
    StoreWriter writer({.path = db});
    QVERIFY(writer.Write(Session(1, 20, 50, true)));
    QVERIFY(writer.Write(Session(2, 7, 50, false)));
    // A backup while the store is being written holds what is in its log.
    QString error;
    QVERIFY2(BackupStore(db, backup, &error), qPrintable(error));
    QVERIFY(!BackupStore(db, backup, &error));  // never over an existing file
    QVERIFY(!error.isEmpty());
  }
  QCOMPARE(QFileInfo(backup).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
  QVERIFY(!QFileInfo::exists(backup + u"-wal"_qs));
  const Stored original = Read(db);
  QCOMPARE(original.ids, (QList<qint64>{1, 2}));
  QCOMPARE(Read(backup).texts, original.texts);

  QVERIFY(medium.Remount(true));
  const auto writable = qScopeGuard([&] { medium.Remount(false); });
  QString error;
  QVERIFY2(SessionReader::Open(db, &error), qPrintable(error));
  QCOMPARE(Read(db).texts, original.texts);
}

void TestStoreEdges::liveConnectionSettings_data() {
  QTest::addColumn<QString>("pragma");
  QTest::addColumn<QString>("value");
  // Each commit reaches the disk before the next chunk comes.
  QTest::newRow("synced in full") << u"synchronous"_qs << u"2"_qs;
  QTest::newRow("write-ahead log") << u"journal_mode"_qs << u"wal"_qs;
  QTest::newRow("freed pages can be handed back") << u"auto_vacuum"_qs << u"2"_qs;
  QTest::newRow("the log is cut back to a megabyte") << u"journal_size_limit"_qs << u"1048576"_qs;
}

void TestStoreEdges::liveConnectionSettings() {
  QFETCH(QString, pragma);
  QFETCH(QString, value);
  QTemporaryDir dir;
  StoreWriter writer({.path = dir.filePath(u"sessions.db"_qs)});
  QVERIFY(writer.Open());
  QSqlQuery q(QSqlDatabase::database(writer.ConnectionName(), false));
  QVERIFY(q.exec(u"PRAGMA "_qs + pragma) && q.next());
  QCOMPARE(q.value(0).toString(), value);
}

QTEST_GUILESS_MAIN(TestStoreEdges)
#include "test_storeedges.moc"
