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
    "INSERT OR IGNORE INTO chunks(session_id, seq, wall_ms, mono_ms, text,"
    " t1, v1, i1, r1, w1, t2, v2, i2, r2, w2)"
    " VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

const QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

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
  if (!PrepareFile()) {
    Close();
    return false;
  }
  m_open = true;
  MarkAbandonedSessions();
  ApplyLimit();
  return m_open;
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
  if (!file.exists()) {
    // SQLite gives its journal files the permissions of the database file.
    // Another copy of the program starting at the same moment may create it
    // first; its file is then used as it is.
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
  if (!m_ownerLock->isLocked() && !m_ownerLock->tryLock(0)) {
    m_error = QStringLiteral("cannot create the lock file %1")
                  .arg(QDir::toNativeSeparators(OwnerLockPath(m_config.path, m_owner)));
    return false;
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
  return true;
}

bool StoreWriter::PrepareFile() {
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  QSqlQuery q(db);
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
  bool foreign = false;
  QString error;
  if (!storeschema::Migrate(db, &error, &foreign)) {
    if (foreign) {
      m_error = error;
      Close();
      // Someone else's database at our name: keep it, start our own.
      const QString aside = m_config.path + QStringLiteral(".foreign-") +
                            QDateTime::currentDateTimeUtc().toString(u"yyyyMMddTHHmmsszzzZ");
      if (QFile::rename(m_config.path, aside)) {
        m_movedAside = aside;
      }
      return false;
    }
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
    const QString aside = m_config.path + QStringLiteral(".damaged-") +
                          QDateTime::currentDateTimeUtc().toString(u"yyyyMMddTHHmmsszzzZ");
    if (QFile::rename(m_config.path, aside)) {
      m_movedAside = aside;
      for (const char* suffix : {"-wal", "-shm"}) {
        const QString journal = m_config.path + QLatin1StringView(suffix);
        if (QFile::exists(journal)) {
          QFile::rename(journal, aside + QLatin1StringView(suffix));
        }
      }
      // Sessions still being written start over in the new file.
      for (auto& [token, session] : m_sessions) {
        session.id = 0;
        session.chunks = 0;
        session.frames = 0;
      }
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
    QLockFile probe(OwnerLockPath(m_config.path, owner));
    probe.setStaleLockTime(0);
    if (!probe.tryLock(0)) {
      continue;
    }
    QSqlQuery mark(db);
    mark.prepare(QStringLiteral(
        "UPDATE sessions SET ended = ?, end_ms = coalesce("
        "(SELECT max(wall_ms) FROM chunks WHERE session_id = sessions.id), start_ms) "
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
  if (!m_open && !Open()) {
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
      "INSERT INTO sessions(start_ms, port, device, ended, owner) VALUES(?, ?, ?, 0, ?)"));
  q.addBindValue(session.startMs);
  // A null text would be stored as NULL.
  q.addBindValue(session.port.isNull() ? QStringLiteral("") : session.port);
  q.addBindValue(session.device.isNull() ? QStringLiteral("") : session.device);
  q.addBindValue(m_owner);
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
  if (command.kind == StoreCommand::Kind::End) {
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
    return Fail(QStringLiteral("write"), q.lastError());
  }
  // A chunk already stored (by a commit whose success went unreported) is
  // neither stored nor counted twice.
  if (command.kind == StoreCommand::Kind::Chunk && q.numRowsAffected() == 1) {
    ++session.chunks;
    if (command.chunk.channel[0].Any() || command.chunk.channel[1].Any()) {
      ++session.frames;
    }
  }
  return true;
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

bool StoreWriter::ApplyLimit() {
  if (!m_open || m_config.limitBytes <= 0) {
    return true;
  }
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  while (UsedBytes() > m_config.limitBytes) {
    QSqlQuery oldest(db);
    if (!oldest.exec(QStringLiteral("SELECT min(id) FROM sessions WHERE ended <> 0")) ||
        !oldest.next() || oldest.value(0).isNull()) {
      return true;  // only running sessions left
    }
    const qint64 id = oldest.value(0).toLongLong();
    oldest.finish();
    QSqlQuery q(db);
    bool ok = q.exec(QStringLiteral("BEGIN IMMEDIATE"));
    for (const char* sql : {"DELETE FROM chunks WHERE session_id = ?",
                            "DELETE FROM sessions WHERE id = ? AND ended <> 0"}) {
      ok = ok && q.prepare(QString::fromLatin1(sql));
      q.addBindValue(id);
      ok = ok && q.exec();
    }
    ok = ok && q.exec(QStringLiteral("COMMIT"));
    if (!ok) {
      return Fail(QStringLiteral("limit"), q.lastError());
    }
  }
  return true;
}
