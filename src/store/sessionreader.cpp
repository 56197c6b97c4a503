#include "sessionreader.h"

#include <sqlite3.h>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QSysInfo>
#include <QUrl>
#include <cerrno>
#include <string_view>

#ifdef Q_OS_UNIX
#include <signal.h>
#include <unistd.h>
#endif

#include "storeschema.h"
#include "storewriter.h"

bool StoredChannel::Any() const {
  return std::any_of(fields.begin(), fields.end(), [](const auto& f) { return f.has_value(); });
}

bool StoredChannel::All() const {
  return std::all_of(fields.begin(), fields.end(), [](const auto& f) { return f.has_value(); });
}

std::optional<ChannelSample> StoredChannel::Sample() const {
  if (!All()) {
    return std::nullopt;
  }
  return ChannelSample{*fields[size_t(Quantity::Time)], *fields[size_t(Quantity::Voltage)],
                       *fields[size_t(Quantity::Current)], *fields[size_t(Quantity::Capacity)],
                       *fields[size_t(Quantity::Temperature)]};
}

namespace {

bool SyncToDisk(QFile& file) {
#ifdef Q_OS_UNIX
  return ::fsync(file.handle()) == 0;
#else
  return file.flush();
#endif
}

// The sessions' columns SessionFrom reads; a store from before version 3
// has no lab identity, labels or confirmed seq, which read as empty.
QString SessionColumns(int version) {
  return QString::fromLatin1(
      version >= 3 ? "SELECT id, start_ms, end_ms, port, device, ended, chunks, frames,"
                     " uuid, bench, cell1, cell2, owner, confirmed_seq FROM sessions"
                   : "SELECT id, start_ms, end_ms, port, device, ended, chunks, frames,"
                     " NULL, '', '', '', owner, 0 FROM sessions");
}

// Whether the writer `owner` of the store at `path` is known to be gone: its
// lock file is missing, or names a process of this machine that no longer
// runs. Looks only; the lock file is left as it is.
bool WriterGone(const QString& path, const QString& owner) {
  const QString lockPath = StoreWriter::OwnerLockPath(path, owner);
  if (!QFileInfo::exists(lockPath)) {
    return true;
  }
  qint64 pid = 0;
  QString host, application;
  if (!QLockFile(lockPath).getLockInfo(&pid, &host, &application)) {
    return false;
  }
#ifdef Q_OS_UNIX
  return host == QSysInfo::machineHostName() && pid > 0 && ::kill(pid_t(pid), 0) != 0 &&
         errno == ESRCH;
#else
  return false;
#endif
}

StoredSession SessionFrom(const QSqlQuery& q) {
  StoredSession s = StoredSessionFromRow(q);
  s.confirmedSeq = q.value(13).toLongLong();
  return s;
}

QString OwnerFrom(const QSqlQuery& q) {
  return q.value(12).toString();
}

class SqliteSessionReader final : public SessionReader {
 public:
  SqliteSessionReader(QString connection, QString path)
      : m_connection(std::move(connection)), m_path(std::move(path)) {}
  void SetVersion(int version) { m_sessionColumns = SessionColumns(version); }
  ~SqliteSessionReader() override {
    {
      QSqlDatabase db = QSqlDatabase::database(m_connection, false);
      db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
  }

  QList<StoredSession> Sessions() override {
    QList<StoredSession> sessions;
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    if (q.exec(m_sessionColumns + QStringLiteral(" ORDER BY id"))) {
      while (q.next()) {
        sessions << Checked(SessionFrom(q), OwnerFrom(q));
      }
    }
    if (!Note(q)) {
      sessions.clear();
    }
    return sessions;
  }

  QString ReadError() const override { return m_readError; }

  std::optional<StoredSession> Find(std::optional<qint64> id) override {
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    if (id) {
      q.prepare(m_sessionColumns + QStringLiteral(" WHERE id = ?"));
      q.addBindValue(*id);
    } else {
      q.prepare(m_sessionColumns + QStringLiteral(" ORDER BY id DESC LIMIT 1"));
    }
    if (q.exec() && q.next()) {
      StoredSession found = Checked(SessionFrom(q), OwnerFrom(q));
      if (Note(q)) {
        return found;
      }
    }
    Note(q);
    return std::nullopt;
  }

  bool ForEachChunk(qint64 sessionId,
                    const std::function<void(const StoredChunk&)>& visit) override {
    return ForEachChunkPart(sessionId, ChunkParts::All, visit);
  }

  bool ForEachChunkPart(qint64 sessionId, ChunkParts parts,
                        const std::function<void(const StoredChunk&)>& visit) override {
    if (parts == ChunkParts::CompleteReadings) {
      return ForEachCompleteReading(sessionId, false, [&](const StoredChunk& chunk) {
        visit(chunk);
        return true;
      });
    }
    const bool text = parts != ChunkParts::Readings;
    const bool readings = parts != ChunkParts::Text;
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT seq, wall_ms, mono_ms%1%2 FROM chunks "
                             "WHERE session_id = ? ORDER BY seq")
                  .arg(text ? QStringLiteral(", text") : QString(),
                       readings ? QStringLiteral(", t1, v1, i1, r1, w1, t2, v2, i2, r2, w2")
                                : QString()));
    q.addBindValue(sessionId);
    if (!q.exec()) {
      return false;
    }
    const int first = text ? 4 : 3;
    StoredChunk chunk;
    while (q.next()) {
      chunk.seq = q.value(0).toLongLong();
      chunk.wallMs = q.value(1).toLongLong();
      chunk.monoMs = q.value(2).toLongLong();
      if (text) {
        chunk.text = q.value(3).toString();
      }
      for (int c = 0; c < 2 && readings; ++c) {
        for (int f = 0; f < kQuantityCount; ++f) {
          const QVariant v = q.value(first + c * kQuantityCount + f);
          chunk.channel[size_t(c)].fields[size_t(f)] =
              v.isNull() ? std::nullopt : std::optional<qint32>(v.toInt());
        }
      }
      visit(chunk);
    }
    return !q.lastError().isValid();
  }

  std::optional<std::array<StoredChannel, 2>> LastCompleteReadings(qint64 sessionId) override {
    std::array<StoredChannel, 2> last;
    const bool ok = ForEachCompleteReading(sessionId, true, [&](const StoredChunk& chunk) {
      for (size_t c = 0; c < 2; ++c) {
        if (!last[c].Any()) {
          last[c] = chunk.channel[c];
        }
      }
      return !last[0].Any() || !last[1].Any();
    });
    return ok ? std::optional(last) : std::nullopt;
  }

  bool ForEachLineChunk(qint64 sessionId, const QString& marker,
                        const std::function<void(const StoredChunk&)>& visit) override {
    return ForEachCompleteReading(
        sessionId, false,
        [&](const StoredChunk& chunk) {
          visit(chunk);
          return true;
        },
        marker);
  }

  std::optional<QString> ChunkTextAfter(qint64 sessionId, qint64 seq) override {
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT text FROM chunks WHERE session_id = ? AND seq > ? ORDER BY seq LIMIT 1"));
    q.addBindValue(sessionId);
    q.addBindValue(seq);
    if (!q.exec() || !q.next()) {
      return std::nullopt;
    }
    return q.value(0).toString();
  }

  std::optional<bool> AnyChunkContains(qint64 sessionId, const QString& text) override {
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT EXISTS(SELECT 1 FROM chunks WHERE session_id = ? AND "
                       "instr(text, ?) > 0)"));
    q.addBindValue(sessionId);
    q.addBindValue(text);
    if (!q.exec() || !q.next()) {
      return std::nullopt;
    }
    return q.value(0).toBool();
  }

  std::optional<std::optional<qint64>> LastChunkWallMs(qint64 sessionId) override {
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral(
        "SELECT wall_ms FROM chunks WHERE session_id = ? ORDER BY seq DESC LIMIT 1"));
    q.addBindValue(sessionId);
    if (!q.exec()) {
      return std::nullopt;
    }
    if (!q.next()) {
      return q.lastError().isValid() ? std::nullopt
                                     : std::optional<std::optional<qint64>>(std::nullopt);
    }
    return std::optional<qint64>(q.value(0).toLongLong());
  }

 private:
  QSqlDatabase Db() const { return QSqlDatabase::database(m_connection, false); }

 public:
  QSqlDatabase Database() const { return Db(); }

 private:
  // A session whose writer is gone ended, as far as anyone can tell, with
  // its last chunk.
  StoredSession Checked(StoredSession session, const QString& owner) {
    session.writerGone = session.ended == SessionEnd::Running && WriterGone(m_path, owner);
    if (session.writerGone) {
      const std::optional<std::optional<qint64>> last = LastChunkWallMs(session.id);
      session.endUtc =
          last && *last ? QDateTime::fromMSecsSinceEpoch(**last, Qt::UTC) : session.startUtc;
    }
    return session;
  }

  // Keeps the query's error, if any, for ReadError; true when there was none.
  bool Note(const QSqlQuery& q) {
    m_readError = q.lastError().isValid() ? q.lastError().text() : QString();
    return m_readError.isEmpty();
  }

  // Hands the chunks over, newest first when `newestFirst`, until `visit`
  // returns false; a channel with a reading missing is left out as
  // incomplete. With a `marker`, each chunk also gets its sequence number
  // and, where it is not one whole line free of the marker, its text (see
  // ForEachLineChunk).
  //
  // Every chunk of a week-long session passes through here when it is
  // opened, so this read talks to SQLite itself, on the connection's own
  // handle: Qt SQL's rows and values would cost more than the rows' data.
  bool ForEachCompleteReading(qint64 sessionId, bool newestFirst,
                              const std::function<bool(const StoredChunk&)>& visit,
                              const std::optional<QString>& marker = std::nullopt) {
    sqlite3* const handle = Handle();
    if (!handle) {
      return false;
    }
    const QByteArray sql = QByteArrayLiteral("SELECT t1, v1, i1, r1, w1, t2, v2, i2, r2, w2") +
                           (marker ? QByteArrayLiteral(", seq, text") : QByteArray()) +
                           QByteArrayLiteral(" FROM chunks WHERE session_id = ?1 ORDER BY seq") +
                           (newestFirst ? QByteArrayLiteral(" DESC") : QByteArray());
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &raw, nullptr) != SQLITE_OK) {
      sqlite3_finalize(raw);
      return false;
    }
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, &sqlite3_finalize);
    if (sqlite3_bind_int64(raw, 1, sessionId) != SQLITE_OK) {
      return false;
    }
    // The text is looked at where SQLite keeps it, as UTF-8 bytes: a line
    // feed and the marker are the same bytes there, and only the chunks that
    // are not one whole line free of the marker are made into strings.
    const QByteArray markerBytes = marker ? marker->toUtf8() : QByteArray();
    const std::string_view markerView(markerBytes.constData(), size_t(markerBytes.size()));
    static_assert(kQuantityCount == 5);
    StoredChunk chunk;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) {
      for (int c = 0; c < 2; ++c) {
        auto& fields = chunk.channel[size_t(c)].fields;
        const int first = c * kQuantityCount;
        // A missing reading reads as 0, so only a 0 needs asking whether
        // it is one.
        std::array<qint32, kQuantityCount> values{};
        bool complete = true;
        for (int f = 0; f < kQuantityCount && complete; ++f) {
          values[size_t(f)] = qint32(sqlite3_column_int64(raw, first + f));
          complete = values[size_t(f)] != 0 || sqlite3_column_type(raw, first + f) != SQLITE_NULL;
        }
        for (int f = 0; f < kQuantityCount; ++f) {
          fields[size_t(f)] = complete ? std::optional<qint32>(values[size_t(f)]) : std::nullopt;
        }
      }
      if (marker) {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(raw, 11));
        const std::string_view text(bytes ? bytes : "", size_t(sqlite3_column_bytes(raw, 11)));
        const bool wholeLine = (text.empty() || text.find('\n') == text.size() - 1) &&
                               text.find(markerView) == text.npos;
        chunk.seq = wholeLine ? 0 : sqlite3_column_int64(raw, 10);
        chunk.text = wholeLine ? QString() : QString::fromUtf8(text.data(), qsizetype(text.size()));
      }
      if (!visit(chunk)) {
        return true;
      }
    }
    return rc == SQLITE_DONE;
  }

  // The connection's SQLite handle; null if the driver is not SQLite's.
  sqlite3* Handle() const {
    const QVariant handle = Db().driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
      return *static_cast<sqlite3* const*>(handle.constData());
    }
    return nullptr;
  }

  QString m_connection;
  QString m_path;
  QString m_sessionColumns = SessionColumns(storeschema::kVersion);
  QString m_readError;
};

}  // namespace

std::optional<bool> SessionReader::AnyChunkContains(qint64 sessionId, const QString& text) {
  bool found = false;
  const bool ok = ForEachChunkPart(sessionId, ChunkParts::Text, [&](const StoredChunk& chunk) {
    found = found || chunk.text.contains(text);
  });
  return ok ? std::optional<bool>(found) : std::nullopt;
}

bool SessionReader::ForEachLineChunk(qint64 sessionId, const QString& marker,
                                     const std::function<void(const StoredChunk&)>& visit) {
  return ForEachChunkPart(sessionId, ChunkParts::All, [&](const StoredChunk& chunk) {
    StoredChunk line = chunk;
    for (StoredChannel& channel : line.channel) {
      if (!channel.All()) {
        channel.fields.fill(std::nullopt);
      }
    }
    if (chunk.text.indexOf(u'\n') == chunk.text.size() - 1 && !chunk.text.contains(marker)) {
      line.text = QString();
      line.seq = 0;
    }
    visit(line);
  });
}

std::optional<QString> SessionReader::ChunkTextAfter(qint64 sessionId, qint64 seq) {
  std::optional<QString> text;
  const bool ok = ForEachChunkPart(sessionId, ChunkParts::Text, [&](const StoredChunk& chunk) {
    if (chunk.seq > seq && !text) {
      text = chunk.text;
    }
  });
  return ok ? text : std::nullopt;
}

std::optional<std::optional<qint64>> SessionReader::LastChunkWallMs(qint64 sessionId) {
  std::optional<qint64> last;
  const bool ok = ForEachChunkPart(sessionId, ChunkParts::Readings,
                                   [&](const StoredChunk& chunk) { last = chunk.wallMs; });
  return ok ? std::optional(last) : std::nullopt;
}

std::optional<std::array<StoredChannel, 2>> SessionReader::LastCompleteReadings(qint64 sessionId) {
  std::array<StoredChannel, 2> last;
  const bool ok = ForEachChunkPart(sessionId, ChunkParts::Readings, [&](const StoredChunk& chunk) {
    for (size_t c = 0; c < 2; ++c) {
      if (chunk.channel[c].All()) {
        last[c] = chunk.channel[c];
      }
    }
  });
  return ok ? std::optional(last) : std::nullopt;
}

std::unique_ptr<SessionReader> SessionReader::Open(const QString& path, QString* error) {
  const auto fail = [&](const QString& text) {
    if (error) {
      *error = text;
    }
    return std::unique_ptr<SessionReader>();
  };
  const QFileInfo file(path);
  if (!file.exists()) {
    return fail(QCoreApplication::translate("SessionReader", "没有找到记录文件：%1")
                    .arg(QDir::toNativeSeparators(path)));
  }
  if (!file.isFile() || !file.isReadable()) {
    return fail(QCoreApplication::translate("SessionReader", "无法读取记录文件：%1")
                    .arg(QDir::toNativeSeparators(path)));
  }

  const QString native = QDir::toNativeSeparators(path);
  const QString unreadable =
      QCoreApplication::translate("SessionReader", "无法读取记录文件 %1：%2");
  const QString connection = storeschema::UniqueConnectionName("reader");
  auto reader = std::make_unique<SqliteSessionReader>(connection, file.absoluteFilePath());
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
  if (!db.isValid()) {
    return fail(QCoreApplication::translate("SessionReader", "缺少 SQLite 数据库驱动（QSQLITE）"));
  }
  // The version and the sessions' table read, or the error that stopped it.
  const auto probe = [&](int* version) -> QString {
    if (!db.open()) {
      return db.lastError().text();
    }
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
      return q.lastError().text();
    }
    *version = q.value(0).toInt();
    q.finish();
    if (*version >= 1 && !q.exec(QStringLiteral("SELECT count(*) FROM sessions"))) {
      return q.lastError().text();
    }
    return {};
  };
  db.setDatabaseName(path);
  db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
  int version = 0;
  QString failure = probe(&version);
  const QFileInfo wal(path + QStringLiteral("-wal"));
  if (!failure.isEmpty() && (!wal.exists() || wal.size() == 0)) {
    // On read-only media (a USB stick, a backup, another user's folder)
    // SQLite cannot make the shared-memory file it reads a WAL store with.
    // With no log beside it, all of the store is in the file, which is then
    // read as one that nothing changes.
    db.close();
    db.setDatabaseName(QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded) +
                       QStringLiteral("?immutable=1"));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
    version = 0;
    if (probe(&version).isEmpty()) {
      failure.clear();
    }
  }
  if (!failure.isEmpty()) {
    return fail(unreadable.arg(native, failure));
  }
  if (version == 0) {
    return fail(QCoreApplication::translate(
                    "SessionReader",
                    "%1 不是记录文件，或是缺了同名 -wal 文件的记录文件副本（复制记录请用 "
                    "orvanta-sessions backup）")
                    .arg(native));
  }
  if (version < 1 || version > storeschema::kVersion) {
    return fail(
        QCoreApplication::translate("SessionReader", "%1 不是本程序能读的记录文件（版本 %2）")
            .arg(native)
            .arg(version));
  }
  reader->SetVersion(version);
  return reader;
}

StoredSession StoredSessionFromRow(const QSqlQuery& q) {
  const auto utc = [](const QVariant& ms) {
    return ms.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(ms.toLongLong(), Qt::UTC);
  };
  StoredSession s;
  s.id = q.value(0).toLongLong();
  s.startUtc = utc(q.value(1));
  s.endUtc = utc(q.value(2));
  s.port = q.value(3).toString();
  s.device = q.value(4).toString();
  const int ended = q.value(5).toInt();
  s.ended = ended >= 0 && ended <= int(SessionEnd::Interrupted) ? SessionEnd(ended)
                                                                : SessionEnd::Interrupted;
  s.chunks = q.value(6).toLongLong();
  s.frames = q.value(7).toLongLong();
  s.uuid = q.value(8).toString();
  s.bench = q.value(9).toString();
  s.cells = {q.value(10).toString(), q.value(11).toString()};
  return s;
}

bool BackupStore(const QString& path, const QString& target, QString* error) {
  QString openError;
  const std::unique_ptr<SessionReader> reader = SessionReader::Open(path, &openError);
  if (!reader) {
    *error = openError;
    return false;
  }
  const QString native = QDir::toNativeSeparators(target);
  // Made here first, owner-only and never over an existing file; SQLite
  // then fills the empty file.
  QFile out(target);
  if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
    *error = QCoreApplication::translate("SessionReader", "无法新建 %1：%2")
                 .arg(native, QFileInfo::exists(target)
                                  ? QCoreApplication::translate("SessionReader", "文件已存在")
                                  : out.errorString());
    return false;
  }
  out.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
  out.close();
  const auto failed = [&](const QString& why) {
    QFile::remove(target);
    *error = QCoreApplication::translate("SessionReader", "备份到 %1 失败：%2").arg(native, why);
    return false;
  };
  {
    QSqlQuery q(static_cast<SqliteSessionReader&>(*reader).Database());
    q.prepare(QStringLiteral("VACUUM INTO ?"));
    q.addBindValue(QFileInfo(target).absoluteFilePath());
    if (!q.exec()) {
      return failed(q.lastError().text());
    }
  }
  // The copy is complete only once it is on the disk.
  if (!out.open(QIODevice::ReadWrite) || !SyncToDisk(out)) {
    return failed(out.errorString());
  }
  return true;
}

QString DefaultStorePath() {
  // The program and its tools share one data folder, that of "orvanta",
  // whatever the name of the process asking.
  const QString kName = QStringLiteral("orvanta");
  QString folder;
  const QString own = QCoreApplication::applicationName();
  if (own == kName) {
    folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  } else {
    QCoreApplication::setApplicationName(kName);
    folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QCoreApplication::setApplicationName(own);
  }
  return folder + QStringLiteral("/sessions.db");
}
