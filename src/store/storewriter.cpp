#include "storewriter.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

#include "storeschema.h"

namespace {

constexpr char kInsertChunk[] =
    "INSERT INTO chunks(session_id, seq, wall_ms, mono_ms, text,"
    " t1, v1, i1, r1, w1, t2, v2, i2, r2, w2)"
    " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

const QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// SQLite's primary result code for a constraint, such as a key stored twice.
constexpr int kSqliteConstraint = 19;

// Rows of one session deleted in one transaction by the size limit: a few
// hundred kilobytes of journal, so the clean-up needs little free space and
// never holds the file's write lock for long.
constexpr int kDeleteStepRows = 500;
// What the write-ahead log is cut back to when it starts over.
constexpr qint64 kJournalLimitBytes = qint64(1) << 20;
// Free pages given back to the file system in one step, at first and at
// least.
constexpr qint64 kVacuumStepPages = 2048;
constexpr qint64 kVacuumLeastPages = 8;

QString AsideName(const QString& path, const char* why) {
  return path + QLatin1StringView(why) +
         QDateTime::currentDateTimeUtc().toString(u"yyyyMMddTHHmmsszzzZ");
}

QVariant Field(const std::optional<qint32>& value) {
  return value ? QVariant(*value) : QVariant(QMetaType(QMetaType::Int));
}

}  // namespace

StoreWriter::StoreWriter(Config config)
    : m_config(std::move(config)),
      m_connection(storeschema::UniqueConnectionName("writer")),
      m_owner(QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

StoreWriter::~StoreWriter() {
  Close();
  QSqlDatabase::removeDatabase(m_connection);
}

QString StoreWriter::OwnerLockPath(const QString& path, const QString& owner) {
  return path + QStringLiteral(".writer-") + owner + QStringLiteral(".lock");
}

bool StoreWriter::Open() {
  if (m_open) {
    return true;
  }
  m_error.clear();
  if (!OpenFile()) {
    return false;
  }
  const std::optional<storefile::FileId> id = storefile::IdentityOf(m_config.path);
  if (m_fileId && id != m_fileId) {
    // Another file than the one the sessions' rows went into: they start
    // over in this one, under the ids it gives them.
    ForgetStoredRows();
    m_recreated = true;
  }
  m_fileId = id;
  m_open = true;
  MarkAbandonedSessions();
  return m_open;
}

bool StoreWriter::CheckFile() {
  if (m_open && storefile::IdentityOf(m_config.path) == m_fileId) {
    return true;
  }
  Close();
  return Open();
}

void StoreWriter::ForgetStoredRows() {
  for (auto& [token, session] : m_sessions) {
    session.id = 0;
    session.chunks = 0;
    session.frames = 0;
  }
}

bool StoreWriter::OpenFile() {
  const QFileInfo file(m_config.path);
  const QString folder = file.absolutePath();
  if (!QFileInfo(folder).isDir()) {
    if (!QDir().mkpath(folder)) {
      m_error = QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
      return false;
    }
    QFile::setPermissions(folder, kOwnerOnly | QFile::ExeOwner);
  }
  // Looked at before SQLite touches it: opening in WAL mode rewrites the
  // header of whatever database is there.
  QString reason;
  const storefile::Verdict verdict =
      storefile::Inspect(m_config.path, storeschema::kVersion, &reason);
  switch (verdict) {
    case storefile::Verdict::NotOurs:
    case storefile::Verdict::Newer:
      m_error = reason;
      return false;
    case storefile::Verdict::Foreign: {
      // Someone else's database at our name: kept as it is under another
      // name, and our own started.
      const QString aside = AsideName(m_config.path, ".foreign-");
      if (!QFile::rename(m_config.path, aside)) {
        m_error = reason;
        return false;
      }
      m_movedAside = aside;
      ForgetStoredRows();
      return OpenFile();
    }
    case storefile::Verdict::NotDatabase:
    case storefile::Verdict::Missing:
    case storefile::Verdict::Empty:
    case storefile::Verdict::Store:
      break;
  }
  if (!storefile::JournalsAreOurs(m_config.path, &reason)) {
    m_error = reason;
    return false;
  }
  const bool fresh = verdict == storefile::Verdict::Missing || verdict == storefile::Verdict::Empty;
  if (verdict == storefile::Verdict::Missing) {
    // SQLite gives its journal files the permissions of the database file.
    // Another copy of the program starting at the same moment may create it
    // first; its file is then used as it is. NewOnly never follows a link.
    QFile create(m_config.path);
    const bool created = create.open(QIODevice::WriteOnly | QIODevice::NewOnly);
    if ((created && !create.setPermissions(kOwnerOnly)) ||
        (!created && !QFileInfo::exists(m_config.path))) {
      m_error = QStringLiteral("cannot create %1: %2")
                    .arg(QDir::toNativeSeparators(m_config.path), create.errorString());
      return false;
    }
  }
  if (!m_ownerLock) {
    m_ownerLock = std::make_unique<QLockFile>(OwnerLockPath(m_config.path, m_owner));
    m_ownerLock->setStaleLockTime(0);
  }
  if (!m_ownerLock->isLocked()) {
    if (!m_ownerLock->tryLock(0)) {
      m_error = QStringLiteral("cannot create the lock file %1")
                    .arg(QDir::toNativeSeparators(OwnerLockPath(m_config.path, m_owner)));
      return false;
    }
    QFile::setPermissions(OwnerLockPath(m_config.path, m_owner), kOwnerOnly);
  }
  QSqlDatabase db = QSqlDatabase::contains(m_connection)
                        ? QSqlDatabase::database(m_connection, false)
                        : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
  if (!db.isValid()) {
    m_error = QStringLiteral("the SQLite driver (QSQLITE) is missing");
    return false;
  }
  db.setDatabaseName(m_config.path);
  db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_config.busyTimeoutMs));
  if (!db.open()) {
    return Fail(QStringLiteral("open"), db.lastError());
  }
  if (!PrepareFile(fresh)) {
    Close();
    return false;
  }
  return true;
}

bool StoreWriter::PrepareFile(bool fresh) {
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  QSqlQuery q(db);
  // A new file gives freed pages back to the file system on request, so the
  // size limit can shrink it; this must be set before its first table.
  if (fresh && !q.exec(QStringLiteral("PRAGMA auto_vacuum = INCREMENTAL"))) {
    return Fail(QStringLiteral("auto_vacuum"), q.lastError());
  }
  q.finish();
  // The first statement reads the file: a damaged one shows here. Switching
  // a new file to WAL needs it to itself, and SQLite reports "busy" at once
  // instead of waiting while another copy of the program is setting it up,
  // so this one waits here (on the store's own thread) for up to the busy
  // timeout.
  QDeadlineTimer deadline(m_config.busyTimeoutMs);
  while (!q.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !q.next()) {
    const int code = q.lastError().nativeErrorCode().toInt() & 0xff;
    if ((code != storeschema::kSqliteBusy && code != storeschema::kSqliteLocked) ||
        deadline.hasExpired()) {
      return Fail(QStringLiteral("journal_mode"), q.lastError());
    }
    q.finish();
    QThread::msleep(10);
  }
  q.finish();
  if (!q.exec(QStringLiteral("PRAGMA synchronous = FULL"))) {
    return Fail(QStringLiteral("synchronous"), q.lastError());
  }
  // The log is cut back to this size whenever it starts over, so it holds
  // no more than about one batch or clean-up step once that is stored.
  if (!q.exec(QStringLiteral("PRAGMA journal_size_limit = %1").arg(kJournalLimitBytes))) {
    return Fail(QStringLiteral("journal_size_limit"), q.lastError());
  }
  QString error;
  if (!storeschema::Migrate(db, &error)) {
    // The header looked like ours, the tables do not: refused, left as is.
    m_error = error;
    return false;
  }
  return true;
}

bool StoreWriter::Fail(const QString& what, const QSqlError& error) {
  m_error = storeschema::Describe(what, error);
  const bool damaged = storeschema::IsCorruption(error);
  Close();
  if (damaged) {
    const QString aside = AsideName(m_config.path, ".damaged-");
    if (QFile::rename(m_config.path, aside)) {
      m_movedAside = aside;
      for (const char* suffix : {"-wal", "-shm"}) {
        const QString journal = m_config.path + QLatin1StringView(suffix);
        if (QFile::exists(journal)) {
          QFile::rename(journal, aside + QLatin1StringView(suffix));
        }
      }
      // Sessions still being written start over in the new file.
      ForgetStoredRows();
      m_fileId.reset();
    }
  }
  return false;
}

void StoreWriter::Close() {
  m_open = false;
  if (QSqlDatabase::contains(m_connection)) {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    db.close();
  }
}

void StoreWriter::MarkAbandonedSessions() {
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  QSqlQuery q(db);
  QStringList owners;
  if (q.exec(QStringLiteral("SELECT DISTINCT owner FROM sessions WHERE ended = 0"))) {
    while (q.next()) {
      owners << q.value(0).toString();
    }
  }
  q.finish();
  for (const QString& owner : owners) {
    if (owner == m_owner) {
      continue;
    }
    // A writer holds its lock file while it lives; one we can take is gone.
    // Its session ended with its last chunk (by sequence: the wall clock may
    // have been set back meanwhile).
    QLockFile probe(OwnerLockPath(m_config.path, owner));
    probe.setStaleLockTime(0);
    if (!probe.tryLock(0)) {
      continue;
    }
    QSqlQuery mark(db);
    mark.prepare(QStringLiteral(
        "UPDATE sessions SET ended = ?, end_ms = coalesce("
        "(SELECT wall_ms FROM chunks WHERE session_id = sessions.id ORDER BY seq DESC LIMIT 1),"
        " start_ms) "
        "WHERE owner = ? AND ended = 0"));
    mark.addBindValue(int(SessionEnd::Interrupted));
    mark.addBindValue(owner);
    if (!mark.exec()) {
      m_error = storeschema::Describe(QStringLiteral("mark interrupted"), mark.lastError());
    }
    probe.unlock();
  }
  // Lock files of writers that died with no session running.
  const QFileInfo store(m_config.path);
  const QString pattern = store.fileName() + QStringLiteral(".writer-*.lock");
  for (const QFileInfo& lock : store.dir().entryInfoList({pattern}, QDir::Files)) {
    if (lock.absoluteFilePath() == OwnerLockPath(store.absoluteFilePath(), m_owner)) {
      continue;
    }
    QLockFile probe(lock.absoluteFilePath());
    probe.setStaleLockTime(0);
    if (probe.tryLock(0)) {
      probe.unlock();
    }
  }
}

bool StoreWriter::Write(const std::deque<StoreCommand>& commands) {
  if (!CheckFile()) {
    return false;
  }
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  QSqlQuery begin(db);
  if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
    return Fail(QStringLiteral("begin"), begin.lastError());
  }
  std::map<qint64, Session> sessions = m_sessions;
  for (const StoreCommand& command : commands) {
    if (!WriteOne(command, sessions)) {
      return false;  // the failed step closed the connection, which rolls back
    }
  }
  // Counts last, once per session touched.
  QSqlQuery counts(db);
  counts.prepare(QStringLiteral("UPDATE sessions SET chunks = ?, frames = ? WHERE id = ?"));
  for (auto& [token, session] : sessions) {
    const auto before = m_sessions.find(token);
    if (before != m_sessions.end() && before->second.chunks == session.chunks &&
        before->second.frames == session.frames && before->second.id == session.id) {
      continue;
    }
    counts.addBindValue(session.chunks);
    counts.addBindValue(session.frames);
    counts.addBindValue(session.id);
    if (!counts.exec()) {
      const QSqlError error = counts.lastError();
      return Fail(QStringLiteral("count"), error);
    }
  }
  counts.finish();
  QSqlQuery commit(db);
  if (!commit.exec(QStringLiteral("COMMIT"))) {
    return Fail(QStringLiteral("commit"), commit.lastError());
  }
  // Ended sessions are no longer needed here.
  for (auto it = sessions.begin(); it != sessions.end();) {
    it = it->second.ended ? sessions.erase(it) : std::next(it);
  }
  m_sessions = std::move(sessions);
  return true;
}

bool StoreWriter::InsertSession(Session& session) {
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare(QStringLiteral(
      "INSERT INTO sessions(start_ms, port, device, ended, owner, uuid, bench, cell1, cell2)"
      " VALUES(?, ?, ?, 0, ?, ?, ?, ?, ?)"));
  // A null text would be stored as NULL.
  const auto text = [](const QString& s) { return s.isNull() ? QStringLiteral("") : s; };
  q.addBindValue(session.startMs);
  q.addBindValue(text(session.port));
  q.addBindValue(text(session.device));
  q.addBindValue(m_owner);
  q.addBindValue(session.uuid.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces)
                                        : session.uuid);
  q.addBindValue(text(session.bench));
  q.addBindValue(text(session.cells[0]));
  q.addBindValue(text(session.cells[1]));
  if (!q.exec()) {
    return Fail(QStringLiteral("new session"), q.lastError());
  }
  session.id = q.lastInsertId().toLongLong();
  return true;
}

bool StoreWriter::WriteOne(const StoreCommand& command, std::map<qint64, Session>& sessions) {
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  if (command.kind == StoreCommand::Kind::Begin) {
    Session& session = sessions[command.session];
    session = Session{};
    session.startMs = command.startMs;
    session.port = command.port;
    session.device = command.device;
    session.uuid = command.uuid;
    session.bench = command.bench;
    session.cells = command.cells;
    return InsertSession(session);
  }
  const auto found = sessions.find(command.session);
  if (found == sessions.end()) {
    return true;  // a session that was never begun: nothing to attach it to
  }
  Session& session = found->second;
  if (session.id == 0 && !InsertSession(session)) {
    return false;
  }
  QSqlQuery q(db);
  if (command.kind == StoreCommand::Kind::Label) {
    const auto text = [](const QString& s) { return s.isNull() ? QStringLiteral("") : s; };
    q.prepare(QStringLiteral(
        "UPDATE sessions SET cell1 = ?, cell2 = ?, labels_unconfirmed = 1 WHERE id = ?"));
    q.addBindValue(text(command.cells[0]));
    q.addBindValue(text(command.cells[1]));
    q.addBindValue(session.id);
    session.cells = command.cells;
  } else if (command.kind == StoreCommand::Kind::End) {
    q.prepare(QStringLiteral("UPDATE sessions SET ended = ?, end_ms = ? WHERE id = ?"));
    q.addBindValue(int(command.ended));
    q.addBindValue(command.endMs);
    q.addBindValue(session.id);
    session.ended = true;
  } else {
    const StoredChunk& chunk = command.chunk;
    q.prepare(QString::fromLatin1(kInsertChunk));
    q.addBindValue(session.id);
    q.addBindValue(chunk.seq);
    q.addBindValue(chunk.wallMs);
    q.addBindValue(chunk.monoMs);
    q.addBindValue(chunk.text.isNull() ? QStringLiteral("") : chunk.text);
    for (const StoredChannel& channel : chunk.channel) {
      for (const std::optional<qint32>& field : channel.fields) {
        q.addBindValue(Field(field));
      }
    }
  }
  if (!q.exec()) {
    const QSqlError error = q.lastError();
    if (command.kind == StoreCommand::Kind::Chunk &&
        (error.nativeErrorCode().toInt() & 0xff) == kSqliteConstraint) {
      q.finish();
      return StoredAlready(session.id, command.chunk);
    }
    return Fail(QStringLiteral("write"), error);
  }
  if (q.numRowsAffected() != 1) {
    m_error = QStringLiteral("write: session %1 has no row in the store").arg(session.id);
    Close();
    return false;
  }
  if (command.kind == StoreCommand::Kind::Chunk) {
    ++session.chunks;
    if (command.chunk.channel[0].Any() || command.chunk.channel[1].Any()) {
      ++session.frames;
    }
  }
  return true;
}

bool StoreWriter::StoredAlready(qint64 sessionId, const StoredChunk& chunk) {
  // The same chunk, stored by a commit whose success went unreported, is
  // neither stored nor counted twice; anything else under its key means the
  // rows would be mixed, which is an error.
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare(
      QStringLiteral("SELECT wall_ms, mono_ms, text FROM chunks WHERE session_id = ? AND seq = ?"));
  q.addBindValue(sessionId);
  q.addBindValue(chunk.seq);
  if (q.exec() && q.next() && q.value(0).toLongLong() == chunk.wallMs &&
      q.value(1).toLongLong() == chunk.monoMs && q.value(2).toString() == chunk.text) {
    return true;
  }
  m_error = QStringLiteral("write: chunk %1 of session %2 is stored already with other content")
                .arg(chunk.seq)
                .arg(sessionId);
  Close();
  return false;
}

qint64 StoreWriter::UsedBytes() {
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  qint64 pages = 0, free = 0, size = 0;
  if (q.exec(QStringLiteral("PRAGMA page_count")) && q.next()) {
    pages = q.value(0).toLongLong();
  }
  if (q.exec(QStringLiteral("PRAGMA freelist_count")) && q.next()) {
    free = q.value(0).toLongLong();
  }
  if (q.exec(QStringLiteral("PRAGMA page_size")) && q.next()) {
    size = q.value(0).toLongLong();
  }
  return (pages - free) * size;
}

int StoreWriter::ApplyLimit() {
  if (!m_open || m_config.limitBytes <= 0) {
    return 0;
  }
  m_limitError.clear();
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  int deleted = 0;
  while (m_open && UsedBytes() > m_config.limitBytes) {
    // The newest session is never deleted, finished or not: it is the test
    // the user is most likely to look for (it may have just crashed).
    QSqlQuery oldest(db);
    QString sql = QStringLiteral(
        "SELECT min(id) FROM sessions WHERE ended <> 0 AND id <> (SELECT max(id) FROM sessions)");
    if (m_config.keepUnconfirmed) {
      sql += QStringLiteral(
          " AND confirmed_end <> 0 AND labels_unconfirmed = 0 AND confirmed_seq >="
          " coalesce((SELECT max(seq) FROM chunks WHERE session_id = sessions.id), 0)");
    }
    if (!oldest.exec(sql) || !oldest.next() || oldest.value(0).isNull()) {
      if (oldest.lastError().isValid()) {
        m_limitError = storeschema::Describe(QStringLiteral("limit"), oldest.lastError());
      } else if (m_config.keepUnconfirmed) {
        QSqlQuery waiting(db);
        if (waiting.exec(QStringLiteral(
                "SELECT count(*) FROM sessions WHERE ended <> 0 AND (confirmed_end = 0 OR"
                " labels_unconfirmed <> 0 OR confirmed_seq < coalesce((SELECT max(seq) FROM chunks"
                " WHERE session_id = sessions.id), 0))")) &&
            waiting.next() && waiting.value(0).toLongLong() > 0) {
          // Without the count, so that it is told once, not at every check.
          m_limitError = QStringLiteral(
              "the store stays over its size limit: finished sessions are kept until the lab "
              "server has them");
        }
      }
      break;  // nothing left that may be deleted
    }
    const qint64 id = oldest.value(0).toLongLong();
    oldest.finish();
    if (!DeleteSessionInSteps(id)) {
      break;
    }
    ++deleted;
  }
  if (deleted > 0 && m_open) {
    GiveSpaceBack();
  }
  return deleted;
}

bool StoreWriter::DeleteSessionInSteps(qint64 id) {
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  const auto step = [&](const QString& sql, qint64 below) {
    QSqlQuery q(db);
    bool ok = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    ok = ok && q.prepare(sql);
    q.addBindValue(id);
    if (below > 0) {
      q.addBindValue(below);
    }
    ok = ok && q.exec();
    QSqlQuery commit(db);
    ok = ok && commit.exec(QStringLiteral("COMMIT"));
    if (ok) {
      // So that the next step's log starts over instead of growing.
      QSqlQuery(db).exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    }
    if (!ok) {
      const QSqlError error = commit.lastError().isValid() ? commit.lastError() : q.lastError();
      QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
      m_limitError = storeschema::Describe(QStringLiteral("limit"), error);
      if (storeschema::IsCorruption(error)) {
        Fail(QStringLiteral("limit"), error);
      }
    }
    return ok;
  };
  // The session's rows go a few thousand at a time, oldest first; a session
  // row is deleted with its last rows, so a clean-up cut short leaves a
  // shorter session that the next one finishes.
  while (true) {
    QSqlQuery first(db);
    first.prepare(QStringLiteral("SELECT min(seq) FROM chunks WHERE session_id = ?"));
    first.addBindValue(id);
    if (!first.exec() || !first.next()) {
      m_limitError = storeschema::Describe(QStringLiteral("limit"), first.lastError());
      return false;
    }
    if (first.value(0).isNull()) {
      break;
    }
    const qint64 below = first.value(0).toLongLong() + kDeleteStepRows;
    first.finish();
    if (!step(QStringLiteral("DELETE FROM chunks WHERE session_id = ? AND seq < ?"), below)) {
      return false;
    }
  }
  return step(QStringLiteral("DELETE FROM sessions WHERE id = ? AND ended <> 0"), 0);
}

void StoreWriter::GiveSpaceBack() {
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  QSqlQuery q(db);
  const auto checkpoint = [&] {
    // Copies the log into the file, which then takes its new, smaller size;
    // never waits for another copy of the program reading the store.
    q.exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
    while (q.next()) {
    }
    q.finish();
  };
  checkpoint();
  if (!q.exec(QStringLiteral("PRAGMA auto_vacuum")) || !q.next()) {
    return;
  }
  const int mode = q.value(0).toInt();
  q.finish();
  if (mode != 2) {
    // A store made before freed pages could be handed back: it is converted
    // once, which rewrites it whole (and needs that much free space). If that
    // fails the freed pages are still reused by new data.
    if (q.exec(QStringLiteral("PRAGMA auto_vacuum = INCREMENTAL")) &&
        q.exec(QStringLiteral("VACUUM"))) {
      checkpoint();
    }
    q.finish();
    return;
  }
  // A step at a time, each through a short log; on a nearly full disk the
  // steps get smaller until one fits.
  qint64 step = kVacuumStepPages;
  qint64 before = std::numeric_limits<qint64>::max();
  while (true) {
    if (!q.exec(QStringLiteral("PRAGMA freelist_count")) || !q.next()) {
      break;
    }
    const qint64 free = q.value(0).toLongLong();
    q.finish();
    if (free == 0 || free >= before) {
      break;
    }
    // SQLite frees one page per step of the pragma, and Qt steps a statement
    // that returns no rows once per exec: so a page is one exec, and the
    // pages of one round share a transaction.
    QSqlQuery vacuum(db);
    bool ok = vacuum.exec(QStringLiteral("BEGIN IMMEDIATE")) &&
              vacuum.prepare(QStringLiteral("PRAGMA incremental_vacuum(1)"));
    for (qint64 page = 0; ok && page < std::min(free, step); ++page) {
      ok = vacuum.exec();
    }
    vacuum.finish();
    if (!ok || !QSqlQuery(db).exec(QStringLiteral("COMMIT"))) {
      QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
      if (step <= kVacuumLeastPages) {
        break;
      }
      step /= 4;
      continue;
    }
    before = free;
    checkpoint();
  }
}
