#include "serversessionreader.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "chunkprefetch.h"
#include "labserver.h"
#include "serverschema.h"

namespace {

// In the order StoredSessionFromRow reads.
const QString kSessionColumns = QStringLiteral(
    "SELECT id, start_ms, end_ms, port, device, ended, chunks, frames, uuid::text, bench,"
    " cell1, cell2 FROM sessions");

StoredSession SessionFrom(const QSqlQuery& q) {
  StoredSession s = StoredSessionFromRow(q);
  // Everything the server holds is confirmed, by definition.
  s.confirmedSeq = s.chunks;
  return s;
}

const QString kReadingColumns = QStringLiteral("t1, v1, i1, r1, w1, t2, v2, i2, r2, w2");

// The ten readings from column `first` on, in Quantity order per channel.
void ReadingsFrom(const QSqlQuery& q, int first, StoredChunk* chunk) {
  for (int c = 0; c < 2; ++c) {
    for (int f = 0; f < kQuantityCount; ++f) {
      const QVariant v = q.value(first + c * kQuantityCount + f);
      chunk->channel[size_t(c)].fields[size_t(f)] =
          v.isNull() ? std::nullopt : std::optional<qint32>(v.toInt());
    }
  }
}

// Each channel's complete readings in three columns: time and voltage, then
// current and capacity, packed two to a 64-bit integer, then temperature.
// Fewer columns cost the server and the driver less per row; a missing
// reading makes its pair NULL, which leaves the channel out as incomplete.
const QString kPackedColumns = QStringLiteral(
    "(t1::bigint << 32) | (v1::bigint & 4294967295), (i1::bigint << 32) | (r1::bigint & "
    "4294967295), w1, (t2::bigint << 32) | (v2::bigint & 4294967295), (i2::bigint << 32) | "
    "(r2::bigint & 4294967295), w2");

void PackedFrom(const QSqlQuery& q, int first, StoredChunk* chunk) {
  static_assert(kQuantityCount == 5 && int(Quantity::Time) == 0 && int(Quantity::Voltage) == 1 &&
                int(Quantity::Current) == 2 && int(Quantity::Capacity) == 3 &&
                int(Quantity::Temperature) == 4);
  for (int c = 0; c < 2; ++c) {
    auto& fields = chunk->channel[size_t(c)].fields;
    const QVariant tv = q.value(first + 3 * c);
    const QVariant ir = q.value(first + 3 * c + 1);
    const QVariant w = q.value(first + 3 * c + 2);
    if (tv.isNull() || ir.isNull() || w.isNull()) {
      fields.fill(std::nullopt);
      continue;
    }
    const auto high = [](const QVariant& v) {
      return qint32(quint32(quint64(v.toLongLong()) >> 32));
    };
    const auto low = [](const QVariant& v) { return qint32(quint32(quint64(v.toLongLong()))); };
    fields[0] = high(tv);
    fields[1] = low(tv);
    fields[2] = high(ir);
    fields[3] = low(ir);
    fields[4] = w.toInt();
  }
}

}  // namespace

ServerSessionReader::ServerSessionReader(QString connection, QString uri)
    : m_connection(std::move(connection)), m_uri(std::move(uri)) {}

ServerSessionReader::~ServerSessionReader() {
  labserver::Close(m_connection);
}

std::unique_ptr<ServerSessionReader> ServerSessionReader::Open(const QString& uri, QString* error) {
  const QString connection = labserver::Connect(uri, "reader", error);
  if (connection.isEmpty()) {
    return nullptr;
  }
  return std::unique_ptr<ServerSessionReader>(new ServerSessionReader(connection, uri));
}

QSqlDriver* ServerSessionReader::Driver() const {
  return QSqlDatabase::database(m_connection, false).driver();
}

QList<StoredSession> ServerSessionReader::Sessions() {
  QList<StoredSession> sessions;
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  if (q.exec(kSessionColumns + QStringLiteral(" ORDER BY id"))) {
    while (q.next()) {
      sessions << SessionFrom(q);
    }
  }
  m_readError = q.lastError().isValid() ? q.lastError().text() : QString();
  if (!m_readError.isEmpty()) {
    sessions.clear();
  }
  return sessions;
}

std::optional<StoredSession> ServerSessionReader::Find(std::optional<qint64> id) {
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  if (id) {
    q.prepare(kSessionColumns + QStringLiteral(" WHERE id = ?"));
    q.addBindValue(*id);
  } else {
    q.prepare(kSessionColumns + QStringLiteral(" ORDER BY id DESC LIMIT 1"));
  }
  std::optional<StoredSession> found;
  if (q.exec() && q.next()) {
    found = SessionFrom(q);
  }
  m_readError = q.lastError().isValid() ? q.lastError().text() : QString();
  return m_readError.isEmpty() ? found : std::nullopt;
}

std::optional<StoredSession> ServerSessionReader::FindByUuid(const QString& uuid) {
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  // Compared as text, so a malformed uuid finds nothing instead of failing.
  q.prepare(kSessionColumns + QStringLiteral(" WHERE uuid::text = ?"));
  q.addBindValue(uuid.toLower());
  std::optional<StoredSession> found;
  if (q.exec() && q.next()) {
    found = SessionFrom(q);
  }
  m_readError = q.lastError().isValid() ? q.lastError().text() : QString();
  return m_readError.isEmpty() ? found : std::nullopt;
}

std::optional<QString> ServerSessionReader::UuidOf(qint64 sessionId) {
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare(QStringLiteral("SELECT uuid::text FROM sessions WHERE id = ?"));
  q.addBindValue(sessionId);
  if (!q.exec() || !q.next()) {
    return std::nullopt;
  }
  return q.value(0).toString();
}

bool ServerSessionReader::Stream(qint64 sessionId, qint64 afterSeq, const QString& columns,
                                 const QVariantList& columnValues,
                                 const chunkprefetch::Decode& decode,
                                 const std::function<void(const StoredChunk&)>& visit) {
  const std::optional<QString> uuid = UuidOf(sessionId);
  if (!uuid) {
    return false;
  }
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  qint64 last = afterSeq;
  // A long run is read on more connections at once, up to the newest chunk
  // there now; what comes after it is read here.
  q.prepare(QStringLiteral("SELECT max(seq) FROM chunks WHERE session_uuid = ?::uuid"));
  q.addBindValue(*uuid);
  if (!q.exec() || !q.next()) {
    return false;
  }
  const qint64 newest = q.value(0).toLongLong();
  if (!m_uri.isEmpty() && newest - afterSeq > kParallelRows) {
    chunkprefetch::Range range;
    range.uri = m_uri;
    range.uuid = *uuid;
    range.afterSeq = afterSeq;
    range.lastSeq = newest;
    range.columns = columns;
    range.values = columnValues;
    range.rangeRows = kBatchRows;
    if (!chunkprefetch::Read(range, decode, visit)) {
      return false;
    }
    last = newest;
  }
  // Not forward-only: the driver then takes each batch in one result
  // instead of one result per row, which costs several times more.
  q.prepare(QStringLiteral("SELECT seq, %1 FROM chunks WHERE session_uuid = ?::uuid AND seq > ? "
                           "ORDER BY seq LIMIT %2")
                .arg(columns)
                .arg(kBatchRows));
  StoredChunk chunk;
  for (;;) {
    int at = 0;
    for (const QVariant& value : columnValues) {
      q.bindValue(at++, value);
    }
    q.bindValue(at++, *uuid);
    q.bindValue(at, last);
    if (!q.exec()) {
      return false;
    }
    int rows = 0;
    while (q.next()) {
      ++rows;
      last = q.value(0).toLongLong();
      decode(q, last, chunk);
      visit(chunk);
    }
    if (q.lastError().isValid()) {
      return false;
    }
    if (rows < kBatchRows) {
      return true;
    }
  }
}

bool ServerSessionReader::ForEachChunk(qint64 sessionId,
                                       const std::function<void(const StoredChunk&)>& visit) {
  return ForEachChunkAfter(sessionId, 0, visit);
}

bool ServerSessionReader::ForEachChunkAfter(qint64 sessionId, qint64 afterSeq,
                                            const std::function<void(const StoredChunk&)>& visit) {
  return Stream(
      sessionId, afterSeq,
      QStringLiteral("wall_ms, mono_ms, ") + QLatin1StringView(labserver::kTextColumns) +
          QStringLiteral(", ") + kReadingColumns,
      {},
      [](const QSqlQuery& q, qint64 seq, StoredChunk& chunk) {
        chunk.seq = seq;
        chunk.wallMs = q.value(1).toLongLong();
        chunk.monoMs = q.value(2).toLongLong();
        chunk.text = labserver::TextFrom(q, 3);
        ReadingsFrom(q, 3 + labserver::kTextColumnCount, &chunk);
      },
      visit);
}

bool ServerSessionReader::ForEachChunkPart(qint64 sessionId, ChunkParts parts,
                                           const std::function<void(const StoredChunk&)>& visit) {
  switch (parts) {
    case ChunkParts::All:
      return ForEachChunk(sessionId, visit);
    case ChunkParts::CompleteReadings:
      return Stream(
          sessionId, 0, kPackedColumns, {},
          [](const QSqlQuery& q, qint64, StoredChunk& chunk) { PackedFrom(q, 1, &chunk); }, visit);
    case ChunkParts::Text:
    case ChunkParts::Readings:
      break;
  }
  const bool text = parts == ChunkParts::Text;
  return Stream(
      sessionId, 0,
      QStringLiteral("wall_ms, mono_ms, ") +
          (text ? QString::fromLatin1(labserver::kTextColumns) : kReadingColumns),
      {},
      [text](const QSqlQuery& q, qint64 seq, StoredChunk& chunk) {
        chunk.seq = seq;
        chunk.wallMs = q.value(1).toLongLong();
        chunk.monoMs = q.value(2).toLongLong();
        if (text) {
          chunk.text = labserver::TextFrom(q, 3);
        } else {
          ReadingsFrom(q, 3, &chunk);
        }
      },
      visit);
}

bool ServerSessionReader::ForEachLineChunk(qint64 sessionId, const QString& marker,
                                           const std::function<void(const StoredChunk&)>& visit) {
  // The server tells which chunks are one whole line free of the marker,
  // so only the others bring their text over the network; a text stored
  // escaped comes whole (flagged by its first character) and is looked at
  // here.
  // LIKE scans bytes; strpos() and length() would count characters.
  const QString columns =
      kPackedColumns + QStringLiteral(
                           ", CASE WHEN NOT text_escaped AND text LIKE '%' || chr(10) AND text NOT "
                           "LIKE '%' || chr(10) || '_%' AND text NOT LIKE ? THEN NULL "
                           "WHEN text_escaped THEN '1' || text ELSE '0' || text END");
  QString pattern = marker;
  pattern.replace(u'\\', QStringLiteral("\\\\"))
      .replace(u'%', QStringLiteral("\\%"))
      .replace(u'_', QStringLiteral("\\_"));
  pattern = u'%' + pattern + u'%';
  return Stream(
      sessionId, 0, columns, {pattern},
      [marker](const QSqlQuery& q, qint64 seq, StoredChunk& chunk) {
        PackedFrom(q, 1, &chunk);
        const QVariant stored = q.value(7);
        chunk.text = QString();
        if (!stored.isNull()) {
          const QString flagged = stored.toString();
          chunk.text = serverschema::DecodeText(flagged.mid(1), flagged.startsWith(u'1'));
          if (chunk.text.indexOf(u'\n') == chunk.text.size() - 1 && !chunk.text.contains(marker)) {
            chunk.text = QString();
          }
        }
        chunk.seq = chunk.text.isNull() ? 0 : seq;
      },
      visit);
}

std::optional<QString> ServerSessionReader::ChunkTextAfter(qint64 sessionId, qint64 seq) {
  std::optional<QString> uuid = UuidOf(sessionId);
  if (!uuid) {
    return std::nullopt;
  }
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare(QStringLiteral("SELECT %1 FROM chunks WHERE session_uuid = ?::uuid AND seq > ? "
                           "ORDER BY seq LIMIT 1")
                .arg(QLatin1StringView(labserver::kTextColumns)));
  q.addBindValue(*uuid);
  q.addBindValue(seq);
  if (!q.exec() || !q.next()) {
    return std::nullopt;
  }
  return labserver::TextFrom(q, 0);
}

std::optional<bool> ServerSessionReader::AnyChunkContains(qint64 sessionId, const QString& text) {
  std::optional<QString> uuid = UuidOf(sessionId);
  if (!uuid) {
    return std::nullopt;
  }
  // The server searches the texts stored as they are; the few stored
  // escaped are decoded here, as a search in their escaped form could match
  // across an escape.
  // Only an escaped text can hold U+0000, which a bound value cannot carry.
  if (!text.contains(QChar(0))) {
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(
        QStringLiteral("SELECT EXISTS(SELECT 1 FROM chunks WHERE session_uuid = ?::uuid "
                       "AND NOT text_escaped AND strpos(text, ?) > 0)"));
    q.addBindValue(*uuid);
    q.addBindValue(text);
    if (!q.exec() || !q.next()) {
      return std::nullopt;
    }
    if (q.value(0).toBool()) {
      return true;
    }
  }
  QSqlQuery escaped(QSqlDatabase::database(m_connection, false));
  escaped.prepare(QStringLiteral(
      "SELECT text, text_escaped FROM chunks WHERE session_uuid = ?::uuid AND text_escaped"));
  escaped.addBindValue(*uuid);
  if (!escaped.exec()) {
    return std::nullopt;
  }
  while (escaped.next()) {
    if (labserver::TextFrom(escaped, 0).contains(text)) {
      return true;
    }
  }
  return escaped.lastError().isValid() ? std::nullopt : std::optional<bool>(false);
}

std::optional<std::optional<qint64>> ServerSessionReader::LastChunkWallMs(qint64 sessionId) {
  std::optional<QString> uuid = UuidOf(sessionId);
  if (!uuid) {
    return std::nullopt;
  }
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  q.prepare(QStringLiteral(
      "SELECT wall_ms FROM chunks WHERE session_uuid = ?::uuid ORDER BY seq DESC LIMIT 1"));
  q.addBindValue(*uuid);
  if (!q.exec()) {
    return std::nullopt;
  }
  if (!q.next()) {
    return std::optional<std::optional<qint64>>(std::nullopt);
  }
  return std::optional<qint64>(q.value(0).toLongLong());
}

std::optional<std::array<StoredChannel, 2>> ServerSessionReader::LastCompleteReadings(
    qint64 sessionId) {
  std::optional<QString> uuid = UuidOf(sessionId);
  if (!uuid) {
    return std::nullopt;
  }
  std::array<StoredChannel, 2> last;
  for (int c = 1; c <= 2; ++c) {
    // The newest row where all five came; the server walks the key backwards.
    QSqlQuery q(QSqlDatabase::database(m_connection, false));
    q.prepare(QStringLiteral("SELECT t%1, v%1, i%1, r%1, w%1 FROM chunks WHERE session_uuid = "
                             "?::uuid AND t%1 IS NOT NULL AND v%1 IS NOT NULL AND i%1 IS NOT "
                             "NULL AND r%1 IS NOT NULL AND w%1 IS NOT NULL ORDER BY seq DESC "
                             "LIMIT 1")
                  .arg(c));
    q.addBindValue(*uuid);
    if (!q.exec()) {
      return std::nullopt;
    }
    if (q.next()) {
      for (int f = 0; f < kQuantityCount; ++f) {
        last[size_t(c - 1)].fields[size_t(f)] = q.value(f).toInt();
      }
    }
  }
  return last;
}
