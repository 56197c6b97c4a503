#pragma once

// Reads back what the lab server holds, for comparing it with a local store.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include "serverconnection.h"
#include "serverschema.h"
#include "sessionreader.h"

namespace servercheck {

struct ServerSession {
  QString uuid, bench, port;
  int ended = 0;
  qint64 endMs = -1;
  QString cell1, cell2;
  qint64 chunks = 0, frames = 0, rows = 0, distinctSeqs = 0;
};

inline QSqlDatabase Connect(const QString& uri) {
  const QString name = QStringLiteral("servercheck");
  QString error;
  if (!QSqlDatabase::contains(name) || !QSqlDatabase::database(name, false).isOpen()) {
    if (!serverconnection::Open(uri, name, &error)) {
      qWarning("%s", qPrintable(error));
    }
  }
  return QSqlDatabase::database(name, false);
}

inline QList<ServerSession> Sessions(const QString& uri) {
  QSqlDatabase db = Connect(uri);
  QSqlQuery q(db);
  QList<ServerSession> out;
  if (!q.exec(QStringLiteral(
          "SELECT s.uuid::text, s.bench, s.port, s.ended, coalesce(s.end_ms, -1), s.cell1,"
          " s.cell2, s.chunks, s.frames,"
          " (SELECT count(*) FROM chunks c WHERE c.session_uuid = s.uuid),"
          " (SELECT count(DISTINCT seq) FROM chunks c WHERE c.session_uuid = s.uuid)"
          " FROM sessions s ORDER BY s.id"))) {
    qWarning("%s", qPrintable(q.lastError().text()));
  }
  while (q.next()) {
    out << ServerSession{q.value(0).toString(),   q.value(1).toString(),   q.value(2).toString(),
                         q.value(3).toInt(),      q.value(4).toLongLong(), q.value(5).toString(),
                         q.value(6).toString(),   q.value(7).toLongLong(), q.value(8).toLongLong(),
                         q.value(9).toLongLong(), q.value(10).toLongLong()};
  }
  return out;
}

// The session's chunks on the server, decoded, in seq order.
inline QList<StoredChunk> Chunks(const QString& uri, const QString& uuid) {
  QSqlDatabase db = Connect(uri);
  QSqlQuery q(db);
  q.prepare(
      QStringLiteral("SELECT seq, wall_ms, mono_ms, text, text_escaped, t1, v1, i1, r1, w1,"
                     " t2, v2, i2, r2, w2 FROM chunks WHERE session_uuid = ?::uuid ORDER BY seq"));
  q.addBindValue(uuid);
  QList<StoredChunk> out;
  if (!q.exec()) {
    qWarning("%s", qPrintable(q.lastError().text()));
  }
  while (q.next()) {
    StoredChunk c;
    c.seq = q.value(0).toLongLong();
    c.wallMs = q.value(1).toLongLong();
    c.monoMs = q.value(2).toLongLong();
    c.text = serverschema::DecodeText(q.value(3).toString(), q.value(4).toBool());
    for (int f = 0; f < 10; ++f) {
      const QVariant v = q.value(5 + f);
      if (!v.isNull()) {
        c.channel[size_t(f / 5)].fields[size_t(f % 5)] = v.toInt();
      }
    }
    out << c;
  }
  return out;
}

// Empty when the server holds every chunk of the local session exactly as
// stored; otherwise the first difference.
inline QString Compare(const QString& uri, SessionReader& reader, const StoredSession& local) {
  QList<StoredChunk> mine;
  reader.ForEachChunk(local.id, [&](const StoredChunk& c) { mine << c; });
  const QList<StoredChunk> theirs = Chunks(uri, local.uuid);
  if (mine.size() != theirs.size()) {
    return QStringLiteral("session %1: %2 chunks here, %3 on the server")
        .arg(local.uuid)
        .arg(mine.size())
        .arg(theirs.size());
  }
  for (qsizetype i = 0; i < mine.size(); ++i) {
    const StoredChunk& a = mine[i];
    const StoredChunk& b = theirs[i];
    bool same = a.seq == b.seq && a.wallMs == b.wallMs && a.monoMs == b.monoMs && a.text == b.text;
    for (size_t ch = 0; ch < 2; ++ch) {
      same = same && a.channel[ch].fields == b.channel[ch].fields;
    }
    if (!same) {
      return QStringLiteral("session %1: chunk %2 differs").arg(local.uuid).arg(a.seq);
    }
  }
  return {};
}

}  // namespace servercheck
