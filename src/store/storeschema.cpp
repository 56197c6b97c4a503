#include "storeschema.h"

#include <QAtomicInteger>
#include <QSqlError>
#include <QSqlQuery>
#include <functional>
#include <vector>

namespace storeschema {

namespace {

const SchemaSteps& Steps() {
  static const SchemaSteps steps = {
      // 0 -> 1
      {
          "CREATE TABLE sessions("
          " id INTEGER PRIMARY KEY,"
          " start_ms INTEGER NOT NULL,"
          " end_ms INTEGER,"
          " port TEXT NOT NULL,"
          " device TEXT NOT NULL,"
          " ended INTEGER NOT NULL DEFAULT 0,"
          " owner TEXT NOT NULL,"
          " chunks INTEGER NOT NULL DEFAULT 0,"
          " frames INTEGER NOT NULL DEFAULT 0)",
          "CREATE INDEX sessions_running ON sessions(ended) WHERE ended = 0",
          "CREATE TABLE chunks("
          " session_id INTEGER NOT NULL,"
          " seq INTEGER NOT NULL,"
          " wall_ms INTEGER NOT NULL,"
          " mono_ms INTEGER NOT NULL,"
          " text TEXT NOT NULL,"
          " t1 INTEGER, v1 INTEGER, i1 INTEGER, r1 INTEGER, w1 INTEGER,"
          " t2 INTEGER, v2 INTEGER, i2 INTEGER, r2 INTEGER, w2 INTEGER,"
          " PRIMARY KEY(session_id, seq)) WITHOUT ROWID",
      },
      // 1 -> 2: session ids are never handed out twice, not even after the
      // newest session was deleted.
      {
          "CREATE TABLE sessions_v2("
          " id INTEGER PRIMARY KEY AUTOINCREMENT,"
          " start_ms INTEGER NOT NULL,"
          " end_ms INTEGER,"
          " port TEXT NOT NULL,"
          " device TEXT NOT NULL,"
          " ended INTEGER NOT NULL DEFAULT 0,"
          " owner TEXT NOT NULL,"
          " chunks INTEGER NOT NULL DEFAULT 0,"
          " frames INTEGER NOT NULL DEFAULT 0)",
          "INSERT INTO sessions_v2 SELECT id, start_ms, end_ms, port, device, ended, owner,"
          " chunks, frames FROM sessions",
          "DROP TABLE sessions",
          "ALTER TABLE sessions_v2 RENAME TO sessions",
          "CREATE INDEX sessions_running ON sessions(ended) WHERE ended = 0",
      },
      // 2 -> 3: a session's lab identity (a UUID and the bench that recorded
      // it), its cells' labels, and how far the lab server has confirmed it.
      // Sessions recorded before get a random (version 4) UUID here.
      {
          "ALTER TABLE sessions ADD COLUMN uuid TEXT",
          "ALTER TABLE sessions ADD COLUMN bench TEXT NOT NULL DEFAULT ''",
          "ALTER TABLE sessions ADD COLUMN cell1 TEXT NOT NULL DEFAULT ''",
          "ALTER TABLE sessions ADD COLUMN cell2 TEXT NOT NULL DEFAULT ''",
          "ALTER TABLE sessions ADD COLUMN confirmed_seq INTEGER NOT NULL DEFAULT 0",
          "UPDATE sessions SET uuid = lower(hex(randomblob(4)) || '-' || hex(randomblob(2))"
          " || '-4' || substr(hex(randomblob(2)), 2) || '-'"
          " || substr('89ab', 1 + abs(random() % 4), 1) || substr(hex(randomblob(2)), 2)"
          " || '-' || hex(randomblob(6)))",
          "CREATE UNIQUE INDEX sessions_uuid ON sessions(uuid)",
      },
      // 3 -> 4: how far the lab server has a session's end.
      {
          "ALTER TABLE sessions ADD COLUMN confirmed_end INTEGER NOT NULL DEFAULT 0",
      },
      // 4 -> 5: whether the lab server still lacks the session's current
      // labels. Labels set before this step may have been changed while no
      // uploader ran, so every labelled session sends its row once more.
      {
          "ALTER TABLE sessions ADD COLUMN labels_unconfirmed INTEGER NOT NULL DEFAULT 0",
          "UPDATE sessions SET labels_unconfirmed = 1 WHERE cell1 <> '' OR cell2 <> ''",
      },
  };
  return steps;
}

bool Exec(QSqlDatabase& db, const QString& sql, QString* error) {
  QSqlQuery q(db);
  if (!q.exec(sql)) {
    *error = Describe(sql.section(u' ', 0, 1), q.lastError());
    return false;
  }
  return true;
}

}  // namespace

QString UniqueConnectionName(const char* role) {
  static QAtomicInteger<quint64> counter;
  return QStringLiteral("orvanta-store-%1-%2").arg(QLatin1StringView(role)).arg(++counter);
}

bool IsCorruption(const QSqlError& error) {
  const int code = error.nativeErrorCode().toInt() & 0xff;
  return code == kSqliteCorrupt || code == kSqliteNotADatabase;
}

QString Describe(const QString& what, const QSqlError& error) {
  return what + QStringLiteral(": ") + error.text();
}

bool RunSchemaSteps(QSqlDatabase& db, const SchemaSteps& steps, int from, int to, int words,
                    const std::function<QString(const QString&, const QSqlError&)>& describe,
                    QString* error) {
  for (int v = from; v < to; ++v) {
    for (const char* statement : steps[size_t(v)]) {
      const QString sql = QString::fromLatin1(statement);
      QSqlQuery q(db);
      if (!q.exec(sql)) {
        *error = describe(sql.section(u' ', 0, words - 1), q.lastError());
        return false;
      }
    }
  }
  return true;
}

bool Migrate(QSqlDatabase& db, QString* error) {
  if (!Exec(db, QStringLiteral("BEGIN IMMEDIATE"), error)) {
    return false;
  }
  const auto fail = [&] {
    QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
    return false;
  };
  QSqlQuery q(db);
  if (!q.exec(QStringLiteral("PRAGMA user_version")) || !q.next()) {
    *error = Describe(QStringLiteral("PRAGMA user_version"), q.lastError());
    return fail();
  }
  const int version = q.value(0).toInt();
  q.finish();
  if (version > kVersion) {
    *error =
        QStringLiteral("the store was written by a newer program (version %1, this one knows %2)")
            .arg(version)
            .arg(kVersion);
    return fail();
  }
  if (version == 0) {
    // A new file has no tables; anything else is not ours to change.
    if (!q.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !q.next()) {
      *error = Describe(QStringLiteral("sqlite_master"), q.lastError());
      return fail();
    }
    if (q.value(0).toInt() != 0) {
      *error = QStringLiteral("the file is a database, but not a session store");
      return fail();
    }
    q.finish();
  }
  if (!RunSchemaSteps(db, Steps(), version, kVersion, 2, Describe, error)) {
    return fail();
  }
  if (version != kVersion &&
      !Exec(db, QStringLiteral("PRAGMA user_version = %1").arg(kVersion), error)) {
    return fail();
  }
  return Exec(db, QStringLiteral("COMMIT"), error) || fail();
}

}  // namespace storeschema
