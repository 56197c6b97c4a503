#include "uploadbatch.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <array>
#include <optional>
#include <vector>

#include "serverconnection.h"
#include "serverschema.h"
#include "storefile.h"
#include "storeschema.h"

namespace {

constexpr int kFieldCount = 10;  // t v i r w for each channel

// Arrays go to the server as one bound text value each, in PostgreSQL's
// array syntax, so a batch is a few statements however many rows it has.
// `put` appends one element's text; `hint` is the room reserved for the
// whole literal.
template <typename List, typename Put>
QString ArrayLiteral(const List& values, qsizetype hint, Put put) {
  QString out;
  out.reserve(hint);
  out += u'{';
  for (qsizetype i = 0; i < values.size(); ++i) {
    if (i) {
      out += u',';
    }
    put(out, values[i]);
  }
  out += u'}';
  return out;
}

QString TextArray(const QStringList& values) {
  qsizetype size = 2;
  for (const QString& v : values) {
    size += v.size() + 3;
  }
  return ArrayLiteral(values, size + size / 16, [](QString& out, const QString& value) {
    out += u'"';
    for (const QChar c : value) {
      if (c == u'"' || c == u'\\') {
        out += u'\\';
      }
      out += c;
    }
    out += u'"';
  });
}

template <typename T>
QString NumberArray(const QList<std::optional<T>>& values) {
  return ArrayLiteral(values, values.size() * 8 + 2, [](QString& out, const std::optional<T>& v) {
    out += v ? QString::number(*v) : QStringLiteral("NULL");
  });
}

QString BoolArray(const QList<bool>& values) {
  return ArrayLiteral(values, values.size() * 2 + 2,
                      [](QString& out, bool v) { out += v ? u't' : u'f'; });
}

QString Describe(const QString& what, const QSqlError& error) {
  QString text = error.databaseText().trimmed();
  if (text.isEmpty()) {
    text = error.text().trimmed();
  }
  text.replace(u'\n', u' ');
  return what + QStringLiteral(": ") + text;
}

std::optional<qint64> OptionalInt(const QVariant& v) {
  if (v.isNull()) {
    return std::nullopt;
  }
  return v.toLongLong();
}

}  // namespace

struct UploadBatch::Pending {
  struct Session {
    qint64 id = 0;
    QString uuid, bench, port, device;
    qint64 startMs = 0;
    std::optional<qint64> endMs;
    int ended = 0;
    QString cell1, cell2;
    qint64 confirmedSeq = 0;
    int confirmedEnd = 0;
    bool labelsUnconfirmed = false;
    qint64 lastSeq = 0;     // the last seq this batch sends (confirmedSeq if none)
    bool complete = false;  // the batch sends the session's last chunk
    RowState Row() const {
      return {complete ? ended : 0, complete && endMs ? *endMs : -1, cell1, cell2};
    }
  };
  std::vector<Session> sessions;
  QStringList uuids;
  QList<std::optional<qint64>> seq, wall, mono;
  QStringList text;
  QList<bool> escaped;
  std::array<QList<std::optional<qint64>>, kFieldCount> fields;
  bool more = false;
};

UploadBatch::UploadBatch(Config config)
    : m_config(std::move(config)),
      m_serverName(storeschema::UniqueConnectionName("uploader-server")),
      m_localName(storeschema::UniqueConnectionName("uploader-local")) {}

UploadBatch::~UploadBatch() {
  Close();
  QSqlDatabase::removeDatabase(m_serverName);
  QSqlDatabase::removeDatabase(m_localName);
}

void UploadBatch::Close() {
  for (const QString& name : {m_serverName, m_localName}) {
    if (QSqlDatabase::contains(name)) {
      QSqlDatabase::database(name, false).close();
    }
  }
  m_serverOpen = false;
  m_localOpen = false;
}

bool UploadBatch::OpenServer(QString* error) {
  if (m_serverOpen) {
    return true;
  }
  if (!serverconnection::Open(m_config.uri, m_serverName, error)) {
    return false;
  }
  QSqlDatabase db = QSqlDatabase::database(m_serverName, false);
  if (!serverschema::Migrate(db, error)) {
    *error = QStringLiteral("%1: %2").arg(serverconnection::Shown(m_config.uri), *error);
    db.close();
    return false;
  }
  m_serverOpen = true;
  return true;
}

bool UploadBatch::OpenLocal(QString* error) {
  if (m_localOpen) {
    return true;
  }
  QSqlDatabase db = QSqlDatabase::contains(m_localName)
                        ? QSqlDatabase::database(m_localName, false)
                        : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_localName);
  db.setDatabaseName(m_config.storePath);
  db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_config.busyTimeoutMs));
  m_localId = storefile::IdentityOf(m_config.storePath);
  if (!m_localId || !db.open()) {
    *error = Describe(QStringLiteral("local store"), db.lastError());
    return false;
  }
  m_localOpen = true;
  return true;
}

UploadBatch::Result UploadBatch::Next() {
  Result result;
  // Nothing recorded yet: nothing to send, and the file is the writer's to
  // create.
  if (!m_localOpen && !QFileInfo::exists(m_config.storePath)) {
    return result;
  }
  // A store file deleted or replaced behind the program's back: the writer
  // goes on in the file now at the path, and so does the uploader.
  if (m_localOpen && storefile::IdentityOf(m_config.storePath) != m_localId) {
    QSqlDatabase::database(m_localName, false).close();
    m_localOpen = false;
  }
  if (!OpenLocal(&result.error)) {
    result.ok = false;
    return result;
  }
  Pending pending;
  if (!ReadPending(&pending, &result.error)) {
    result.ok = false;
    Close();
    return result;
  }
  if (pending.sessions.empty()) {
    return result;
  }
  if (!OpenServer(&result.error) || !Send(pending, &result)) {
    result.ok = false;
    Close();
    return result;
  }
  Confirm(pending, &result);
  result.more = pending.more;
  return result;
}

bool UploadBatch::ReadPending(Pending* pending, QString* error) {
  QSqlDatabase db = QSqlDatabase::database(m_localName, false);
  // One read transaction: the sessions and their chunks as of one commit.
  QSqlQuery begin(db);
  if (!begin.exec(QStringLiteral("BEGIN"))) {
    *error = Describe(QStringLiteral("local store"), begin.lastError());
    return false;
  }
  const auto end = [&](bool ok) {
    QSqlQuery(db).exec(QStringLiteral("COMMIT"));
    return ok;
  };
  QSqlQuery q(db);
  q.setForwardOnly(true);
  if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
    *error = Describe(QStringLiteral("local store"), q.lastError());
    return end(false);
  }
  const int version = q.value(0).toInt();
  q.finish();
  if (version < storeschema::kVersion) {
    return end(true);  // the store's writer has yet to set the file up
  }
  if (version > storeschema::kVersion) {
    *error = QStringLiteral("the local store was written by a newer program");
    return end(false);
  }
  if (!q.exec(QStringLiteral(
          "SELECT id, uuid, bench, port, device, start_ms, end_ms, ended, cell1, cell2,"
          " confirmed_seq, confirmed_end, labels_unconfirmed,"
          " (SELECT max(seq) FROM chunks WHERE session_id = sessions.id)"
          " FROM sessions ORDER BY id"))) {
    *error = Describe(QStringLiteral("local store"), q.lastError());
    return end(false);
  }
  std::vector<std::pair<Pending::Session, qint64>> candidates;  // with the highest seq
  while (q.next()) {
    Pending::Session s;
    s.id = q.value(0).toLongLong();
    s.uuid = q.value(1).toString();
    if (QUuid::fromString(s.uuid).isNull()) {
      continue;  // no identity the server could key it by
    }
    s.bench = q.value(2).toString();
    if (s.bench.isEmpty()) {
      s.bench = m_config.bench;
    }
    s.port = q.value(3).toString();
    s.device = q.value(4).toString();
    s.startMs = q.value(5).toLongLong();
    s.endMs = OptionalInt(q.value(6));
    s.ended = q.value(7).toInt();
    s.cell1 = q.value(8).toString();
    s.cell2 = q.value(9).toString();
    s.confirmedSeq = q.value(10).toLongLong();
    s.confirmedEnd = q.value(11).toInt();
    s.labelsUnconfirmed = q.value(12).toInt() != 0;
    const qint64 maxSeq = q.value(13).toLongLong();
    const bool chunksLeft = maxSeq > s.confirmedSeq;
    const RowState now{s.ended, s.endMs.value_or(-1), s.cell1, s.cell2};
    const auto sent = m_sent.find(s.uuid);
    const bool rowKnown = sent != m_sent.end() && sent->second == now;
    const bool finished =
        s.ended != 0 && s.confirmedEnd == s.ended && (sent == m_sent.end() || rowKnown);
    // Labels changed while no uploader ran (or before its server commit)
    // are sent whatever this uploader remembers having sent.
    if (!chunksLeft && !s.labelsUnconfirmed && (rowKnown || finished)) {
      continue;
    }
    candidates.emplace_back(std::move(s), maxSeq);
  }
  q.finish();

  QSqlQuery chunks(db);
  chunks.setForwardOnly(true);
  chunks.prepare(
      QStringLiteral("SELECT seq, wall_ms, mono_ms, text, t1, v1, i1, r1, w1, t2, v2, i2, r2, w2"
                     " FROM chunks WHERE session_id = ? AND seq > ? ORDER BY seq LIMIT ?"));
  qint64 budget = m_config.batchChunks;
  for (auto& [s, maxSeq] : candidates) {
    if (qsizetype(pending->sessions.size()) >= m_config.batchSessions ||
        (budget == 0 && maxSeq > s.confirmedSeq)) {
      pending->more = true;
      break;
    }
    s.lastSeq = s.confirmedSeq;
    if (maxSeq > s.confirmedSeq) {
      chunks.addBindValue(s.id);
      chunks.addBindValue(s.confirmedSeq);
      chunks.addBindValue(budget);
      if (!chunks.exec()) {
        *error = Describe(QStringLiteral("local store"), chunks.lastError());
        return end(false);
      }
      while (chunks.next()) {
        s.lastSeq = chunks.value(0).toLongLong();
        pending->uuids << s.uuid;
        pending->seq << s.lastSeq;
        pending->wall << chunks.value(1).toLongLong();
        pending->mono << chunks.value(2).toLongLong();
        bool escaped = false;
        pending->text << serverschema::EncodeText(chunks.value(3).toString(), &escaped);
        pending->escaped << escaped;
        for (int f = 0; f < kFieldCount; ++f) {
          pending->fields[size_t(f)] << OptionalInt(chunks.value(4 + f));
        }
        --budget;
      }
      chunks.finish();
    }
    s.complete = s.lastSeq >= maxSeq;
    const bool cut = !s.complete;
    pending->sessions.push_back(std::move(s));
    if (cut) {
      pending->more = true;
      break;
    }
  }
  return end(true);
}

bool UploadBatch::Send(const Pending& pending, Result* result) {
  QSqlDatabase db = QSqlDatabase::database(m_serverName, false);
  QElapsedTimer timer;
  timer.start();
  const auto fail = [&](const QString& what, const QSqlError& error) {
    result->error = Describe(serverconnection::Shown(m_config.uri) + u' ' + what, error);
    db.rollback();
    return false;
  };
  if (!db.transaction()) {
    return fail(QStringLiteral("begin"), db.lastError());
  }
  QStringList uuids, benches, ports, devices, cells1, cells2;
  QList<std::optional<qint64>> starts, ends, endeds;
  for (const Pending::Session& s : pending.sessions) {
    uuids << s.uuid;
    benches << s.bench;
    ports << s.port;
    devices << s.device;
    cells1 << s.cell1;
    cells2 << s.cell2;
    starts << s.startMs;
    // The end goes up with the session's last chunk, never before it.
    ends << (s.complete ? s.endMs : std::nullopt);
    endeds << qint64(s.complete ? s.ended : 0);
  }
  QSqlQuery q(db);
  q.prepare(QStringLiteral(
      "INSERT INTO sessions(uuid, bench, port, device, start_ms, end_ms, ended, cell1, cell2)"
      " SELECT * FROM unnest(?::uuid[], ?::text[], ?::text[], ?::text[], ?::bigint[],"
      " ?::bigint[], ?::smallint[], ?::text[], ?::text[])"
      " ON CONFLICT (uuid) DO UPDATE SET"
      " ended = CASE WHEN EXCLUDED.ended <> 0 THEN EXCLUDED.ended ELSE sessions.ended END,"
      " end_ms = COALESCE(EXCLUDED.end_ms, sessions.end_ms),"
      " cell1 = EXCLUDED.cell1, cell2 = EXCLUDED.cell2"));
  for (const QString& array : {TextArray(uuids), TextArray(benches), TextArray(ports),
                               TextArray(devices), NumberArray(starts), NumberArray(ends),
                               NumberArray(endeds), TextArray(cells1), TextArray(cells2)}) {
    q.addBindValue(array);
  }
  if (!q.exec()) {
    return fail(QStringLiteral("sessions"), q.lastError());
  }
  q.finish();
  if (!pending.seq.isEmpty()) {
    // Chunks the server holds already (a batch sent again) are left as they
    // are and not counted again.
    QSqlQuery c(db);
    c.prepare(QStringLiteral(
        "WITH added AS ("
        " INSERT INTO chunks(session_uuid, seq, wall_ms, mono_ms, text, text_escaped,"
        " t1, v1, i1, r1, w1, t2, v2, i2, r2, w2)"
        " SELECT * FROM unnest(?::uuid[], ?::bigint[], ?::bigint[], ?::bigint[], ?::text[],"
        " ?::boolean[], ?::integer[], ?::integer[], ?::integer[], ?::integer[], ?::integer[],"
        " ?::integer[], ?::integer[], ?::integer[], ?::integer[], ?::integer[])"
        " ON CONFLICT DO NOTHING"
        " RETURNING session_uuid, wall_ms,"
        " num_nonnulls(t1, v1, i1, r1, w1, t2, v2, i2, r2, w2) > 0 AS frame)"
        " UPDATE sessions SET chunks = sessions.chunks + n.chunks,"
        " frames = sessions.frames + n.frames,"
        " last_wall_ms = GREATEST(sessions.last_wall_ms, n.wall)"
        " FROM (SELECT session_uuid, count(*) AS chunks, count(*) FILTER (WHERE frame) AS frames,"
        " max(wall_ms) AS wall FROM added GROUP BY session_uuid) n"
        " WHERE sessions.uuid = n.session_uuid"));
    c.addBindValue(TextArray(pending.uuids));
    c.addBindValue(NumberArray(pending.seq));
    c.addBindValue(NumberArray(pending.wall));
    c.addBindValue(NumberArray(pending.mono));
    c.addBindValue(TextArray(pending.text));
    c.addBindValue(BoolArray(pending.escaped));
    for (const auto& field : pending.fields) {
      c.addBindValue(NumberArray(field));
    }
    if (!c.exec()) {
      return fail(QStringLiteral("chunks"), c.lastError());
    }
  }
  // Delivered to listeners at commit.
  QSqlQuery notify(db);
  notify.prepare(QStringLiteral("SELECT pg_notify(?, u) FROM unnest(?::text[]) AS u"));
  notify.addBindValue(QString::fromLatin1(serverschema::kNotifyChannel));
  notify.addBindValue(TextArray(uuids));
  if (!notify.exec()) {
    return fail(QStringLiteral("notify"), notify.lastError());
  }
  notify.finish();
  if (!db.commit()) {
    return fail(QStringLiteral("commit"), db.lastError());
  }
  result->commitMs = timer.elapsed();
  result->chunks = pending.seq.size();
  result->sessions = qint64(pending.sessions.size());
  return true;
}

void UploadBatch::Confirm(const Pending& pending, Result* result) {
  for (const Pending::Session& s : pending.sessions) {
    RowState row = s.Row();
    if (!s.complete) {
      // Not yet sent: the end, so that it is sent with the last chunk.
      row.ended = -1;
    }
    m_sent[s.uuid] = row;
  }
  QSqlDatabase db = QSqlDatabase::database(m_localName, false);
  QSqlQuery q(db);
  if (!q.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
    result->localError = Describe(QStringLiteral("local store confirm"), q.lastError());
    return;
  }
  q.prepare(QStringLiteral(
      "UPDATE sessions SET confirmed_seq = max(confirmed_seq, ?), confirmed_end = ?,"
      // Labels changed again since they were read stay unconfirmed.
      " labels_unconfirmed = CASE WHEN cell1 = coalesce(?, '') AND cell2 = coalesce(?, '')"
      " THEN 0 ELSE labels_unconfirmed END"
      " WHERE id = ? AND uuid = ?"));
  for (const Pending::Session& s : pending.sessions) {
    q.addBindValue(s.lastSeq);
    q.addBindValue(s.complete ? s.ended : s.confirmedEnd);
    q.addBindValue(s.cell1);
    q.addBindValue(s.cell2);
    q.addBindValue(s.id);
    q.addBindValue(s.uuid);
    if (!q.exec()) {
      result->localError = Describe(QStringLiteral("local store confirm"), q.lastError());
      QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
      return;
    }
  }
  q.finish();
  QSqlQuery commit(db);
  if (!commit.exec(QStringLiteral("COMMIT"))) {
    result->localError = Describe(QStringLiteral("local store confirm"), commit.lastError());
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
  }
}
