#include "sessionreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include "storeschema.h"

bool StoredChannel::Any() const {
  return std::any_of(fields.begin(), fields.end(), [](const auto& f) { return f.has_value(); });
}

bool StoredChannel::All() const {
  return std::all_of(fields.begin(), fields.end(), [](const auto& f) { return f.has_value(); });
}

namespace {

constexpr char kSessionColumns[] =
    "SELECT id, start_ms, end_ms, port, device, ended, chunks, frames FROM sessions";

QDateTime Utc(const QVariant& ms) {
  return ms.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(ms.toLongLong(), Qt::UTC);
}

StoredSession SessionFrom(const QSqlQuery& q) {
  StoredSession s;
  s.id = q.value(0).toLongLong();
  s.startUtc = Utc(q.value(1));
  s.endUtc = Utc(q.value(2));
  s.port = q.value(3).toString();
  s.device = q.value(4).toString();
  const int ended = q.value(5).toInt();
  s.ended = ended >= 0 && ended <= int(SessionEnd::Interrupted) ? SessionEnd(ended)
                                                                : SessionEnd::Interrupted;
  s.chunks = q.value(6).toLongLong();
  s.frames = q.value(7).toLongLong();
  return s;
}

class SqliteSessionReader final : public SessionReader {
 public:
  explicit SqliteSessionReader(QString connection) : m_connection(std::move(connection)) {}
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
    if (q.exec(QString::fromLatin1(kSessionColumns) + QStringLiteral(" ORDER BY id"))) {
      while (q.next()) {
        sessions << SessionFrom(q);
      }
    }
    return sessions;
  }

  std::optional<StoredSession> Find(std::optional<qint64> id) override {
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    if (id) {
      q.prepare(QString::fromLatin1(kSessionColumns) + QStringLiteral(" WHERE id = ?"));
      q.addBindValue(*id);
    } else {
      q.prepare(QString::fromLatin1(kSessionColumns) + QStringLiteral(" ORDER BY id DESC LIMIT 1"));
    }
    if (q.exec() && q.next()) {
      return SessionFrom(q);
    }
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

  std::optional<bool> AnyChunkStartsWith(qint64 sessionId, const QString& prefix) override {
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT EXISTS(SELECT 1 FROM chunks WHERE session_id = ? AND "
                       "substr(text, 1, ?) = ?)"));
    q.addBindValue(sessionId);
    q.addBindValue(prefix.size());
    q.addBindValue(prefix);
    if (!q.exec() || !q.next()) {
      return std::nullopt;
    }
    return q.value(0).toBool();
  }

 private:
  QSqlDatabase Db() const { return QSqlDatabase::database(m_connection, false); }

  // Each row's driver cost grows with its columns, so SQLite packs two
  // 32-bit readings into one 64-bit column; a missing reading makes its pair
  // NULL, which leaves the channel out as incomplete.
  // Hands the chunks over, newest first when `newestFirst`, until `visit`
  // returns false.
  bool ForEachCompleteReading(qint64 sessionId, bool newestFirst,
                              const std::function<bool(const StoredChunk&)>& visit) {
    QSqlQuery q(Db());
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral("SELECT (t1 << 32) | (v1 & 4294967295), (i1 << 32) | (r1 & 4294967295), w1, "
                       "(t2 << 32) | (v2 & 4294967295), (i2 << 32) | (r2 & 4294967295), w2 "
                       "FROM chunks WHERE session_id = ? ORDER BY seq%1")
            .arg(newestFirst ? QStringLiteral(" DESC") : QString()));
    q.addBindValue(sessionId);
    if (!q.exec()) {
      return false;
    }
    static_assert(kQuantityCount == 5 && int(Quantity::Time) == 0 && int(Quantity::Voltage) == 1 &&
                  int(Quantity::Current) == 2 && int(Quantity::Capacity) == 3 &&
                  int(Quantity::Temperature) == 4);
    StoredChunk chunk;
    while (q.next()) {
      for (int c = 0; c < 2; ++c) {
        auto& fields = chunk.channel[size_t(c)].fields;
        const QVariant first = q.value(c * 3);
        const QVariant second = q.value(c * 3 + 1);
        const QVariant last = q.value(c * 3 + 2);
        if (first.isNull() || second.isNull() || last.isNull()) {
          fields.fill(std::nullopt);
          continue;
        }
        const auto tv = quint64(first.toLongLong());
        const auto ir = quint64(second.toLongLong());
        fields[0] = qint32(quint32(tv >> 32));
        fields[1] = qint32(quint32(tv));
        fields[2] = qint32(quint32(ir >> 32));
        fields[3] = qint32(quint32(ir));
        fields[4] = last.toInt();
      }
      if (!visit(chunk)) {
        break;
      }
    }
    return !q.lastError().isValid();
  }

  QString m_connection;
};

}  // namespace

std::optional<bool> SessionReader::AnyChunkStartsWith(qint64 sessionId, const QString& prefix) {
  bool found = false;
  const bool ok = ForEachChunkPart(sessionId, ChunkParts::Text, [&](const StoredChunk& chunk) {
    found = found || chunk.text.startsWith(prefix);
  });
  return ok ? std::optional<bool>(found) : std::nullopt;
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

  const QString connection = storeschema::UniqueConnectionName("reader");
  auto reader = std::make_unique<SqliteSessionReader>(connection);
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
  if (!db.isValid()) {
    return fail(QCoreApplication::translate("SessionReader", "缺少 SQLite 数据库驱动（QSQLITE）"));
  }
  db.setDatabaseName(path);
  db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
  const QString unreadable =
      QCoreApplication::translate("SessionReader", "无法读取记录文件 %1：%2");
  if (!db.open()) {
    return fail(unreadable.arg(QDir::toNativeSeparators(path), db.lastError().text()));
  }
  QSqlQuery q(db);
  if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
    return fail(unreadable.arg(QDir::toNativeSeparators(path), q.lastError().text()));
  }
  const int version = q.value(0).toInt();
  q.finish();
  if (version < 1 || version > storeschema::kVersion) {
    return fail(
        QCoreApplication::translate("SessionReader", "%1 不是本程序能读的记录文件（版本 %2）")
            .arg(QDir::toNativeSeparators(path))
            .arg(version));
  }
  return reader;
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
