#pragma once

// Sessions put on a throw-away lab server as the uploader leaves them: one
// transaction per batch, the session row kept up to date, every batch
// notified on the channel the lab view listens to.

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QtTest/QtTest>
#include <array>
#include <optional>

#include "pgserver.h"
#include "serverconnection.h"
#include "serverschema.h"

namespace labfixture {

struct Chunk {
  qint64 seq = 0;
  qint64 wallMs = 0;
  QString text;
  // t v i r w per channel; none for a reading the pass did not set.
  std::array<std::array<std::optional<qint32>, 5>, 2> readings;
};

// A connection on which the schema is made; the test's own.
inline QSqlDatabase Admin() {
  const QString name = QStringLiteral("labfixture");
  if (QSqlDatabase::contains(name) && QSqlDatabase::database(name, false).isOpen()) {
    return QSqlDatabase::database(name, false);
  }
  QString error;
  if (!serverconnection::Open(pgserver::Uri(), name, &error)) {
    qWarning("%s", qPrintable(error));
  }
  QSqlDatabase db = QSqlDatabase::database(name, false);
  if (!serverschema::Migrate(db, &error)) {
    qWarning("%s", qPrintable(error));
  }
  return db;
}

inline QString NewUuid() {
  return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

inline bool Exec(QSqlQuery& q) {
  if (!q.exec()) {
    qWarning("%s", qPrintable(q.lastError().text()));
    return false;
  }
  return true;
}

// Adds or updates the session row.
inline bool PutSession(const QString& uuid, const QString& bench, const QString& port,
                       qint64 startMs, int ended = 0, const std::array<QString, 2>& cells = {}) {
  QSqlQuery q(Admin());
  q.prepare(QStringLiteral(
      "INSERT INTO sessions(uuid, bench, port, device, start_ms, end_ms, ended, cell1, cell2) "
      "VALUES (?::uuid, ?, ?, ?, ?, ?, ?, coalesce(?, ''), coalesce(?, '')) ON CONFLICT (uuid) DO "
      "UPDATE SET "
      "ended = excluded.ended, end_ms = excluded.end_ms"));
  q.addBindValue(uuid);
  q.addBindValue(bench);
  q.addBindValue(port);
  q.addBindValue(QStringLiteral("/dev/pts/%1").arg(port.right(1)));
  q.addBindValue(startMs);
  q.addBindValue(ended == 0 ? QVariant(QMetaType::fromType<qint64>()) : QVariant(startMs + 1000));
  q.addBindValue(ended);
  q.addBindValue(cells[0]);
  q.addBindValue(cells[1]);
  return Exec(q);
}

// One batch of chunks in one transaction, with the notification.
inline bool PutChunks(const QString& uuid, const QList<Chunk>& chunks) {
  QSqlDatabase db = Admin();
  if (!db.transaction()) {
    return false;
  }
  QSqlQuery q(db);
  q.prepare(QStringLiteral(
      "INSERT INTO chunks(session_uuid, seq, wall_ms, mono_ms, text, text_escaped, t1, v1, i1, "
      "r1, w1, t2, v2, i2, r2, w2) VALUES (?::uuid, ?, ?, ?, coalesce(?, ''), ?, ?, ?, ?, ?, ?, ?, "
      "?, ?, ?, ?)"
      " ON CONFLICT DO NOTHING"));
  qint64 lastWall = 0;
  for (const Chunk& c : chunks) {
    bool escaped = false;
    q.addBindValue(uuid);
    q.addBindValue(c.seq);
    q.addBindValue(c.wallMs);
    q.addBindValue(c.seq * 1000);
    q.addBindValue(serverschema::EncodeText(c.text, &escaped));
    q.addBindValue(escaped);
    for (const auto& channel : c.readings) {
      for (const auto& field : channel) {
        q.addBindValue(field ? QVariant(*field) : QVariant(QMetaType::fromType<int>()));
      }
    }
    if (!Exec(q)) {
      db.rollback();
      return false;
    }
    lastWall = c.wallMs;
  }
  QSqlQuery update(db);
  update.prepare(QStringLiteral(
      "UPDATE sessions SET chunks = (SELECT count(*) FROM chunks WHERE session_uuid = ?::uuid), "
      "last_wall_ms = ? WHERE uuid = ?::uuid"));
  update.addBindValue(uuid);
  update.addBindValue(lastWall);
  update.addBindValue(uuid);
  QSqlQuery notify(db);
  notify.prepare(QStringLiteral("SELECT pg_notify('orvanta_chunks', ?)"));
  notify.addBindValue(uuid);
  if (!Exec(update) || !Exec(notify)) {
    db.rollback();
    return false;
  }
  return db.commit();
}

// A frame's readings: channel 1 (t, v, i, r, w), channel 2 likewise.
inline std::array<std::array<std::optional<qint32>, 5>, 2> Readings(
    std::array<qint32, 5> one, std::optional<std::array<qint32, 5>> two) {
  std::array<std::array<std::optional<qint32>, 5>, 2> r;
  for (size_t f = 0; f < 5; ++f) {
    r[0][f] = one[f];
    if (two) {
      r[1][f] = (*two)[f];
    }
  }
  return r;
}

}  // namespace labfixture
