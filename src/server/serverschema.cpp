#include "serverschema.h"

#include <QSqlError>
#include <QSqlQuery>

#include "storeschema.h"

namespace serverschema {

namespace {

const storeschema::SchemaSteps& Steps() {
  static const storeschema::SchemaSteps steps = {
      // 0 -> 1
      {
          "CREATE TABLE orvanta_schema(version integer NOT NULL)",
          "INSERT INTO orvanta_schema(version) VALUES (0)",
          "CREATE TABLE sessions("
          " id bigint GENERATED ALWAYS AS IDENTITY UNIQUE,"
          " uuid uuid PRIMARY KEY,"
          " bench text NOT NULL,"
          " port text NOT NULL,"
          " device text NOT NULL,"
          " start_ms bigint NOT NULL,"
          " end_ms bigint,"
          " ended smallint NOT NULL DEFAULT 0,"
          " cell1 text NOT NULL DEFAULT '',"
          " cell2 text NOT NULL DEFAULT '',"
          " chunks bigint NOT NULL DEFAULT 0,"
          " frames bigint NOT NULL DEFAULT 0,"
          " last_wall_ms bigint)",
          "CREATE INDEX sessions_running ON sessions(ended) WHERE ended = 0",
          "CREATE TABLE chunks("
          " session_uuid uuid NOT NULL REFERENCES sessions(uuid),"
          " seq bigint NOT NULL,"
          " wall_ms bigint NOT NULL,"
          " mono_ms bigint NOT NULL,"
          " text text NOT NULL,"
          " text_escaped boolean NOT NULL DEFAULT false,"
          " t1 integer, v1 integer, i1 integer, r1 integer, w1 integer,"
          " t2 integer, v2 integer, i2 integer, r2 integer, w2 integer,"
          " PRIMARY KEY(session_uuid, seq))",
      },
  };
  return steps;
}

// Any constant: the key of the lock that lets one program at a time migrate.
constexpr qint64 kMigrationLock = 0x6f7276616e7461;  // "orvanta"

QString Describe(const QString& what, const QSqlError& error) {
  const QString text = error.databaseText().trimmed().isEmpty() ? error.text().trimmed()
                                                                : error.databaseText().trimmed();
  return what + QStringLiteral(": ") + text;
}

}  // namespace

int Version(QSqlDatabase& db, QString* error) {
  QSqlQuery q(db);
  // Read from the catalogue with this statement's snapshot: a name lookup
  // could still see the state from before waiting for the migration lock.
  if (!q.exec(QStringLiteral(
          "SELECT EXISTS(SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = current_schema()"
          " AND tablename = 'orvanta_schema'),"
          " EXISTS(SELECT 1 FROM pg_catalog.pg_tables WHERE schemaname = current_schema()"
          " AND tablename = 'sessions')")) ||
      !q.next()) {
    *error = Describe(QStringLiteral("schema"), q.lastError());
    return -1;
  }
  const bool ours = q.value(0).toBool();
  const bool sessions = q.value(1).toBool();
  q.finish();
  if (!ours) {
    if (sessions) {
      *error = QStringLiteral(
          "the database holds a sessions table that is not Orvanta's; use a database of its own");
      return -1;
    }
    return 0;
  }
  if (!q.exec(QStringLiteral("SELECT version FROM orvanta_schema")) || !q.next()) {
    *error = q.lastError().isValid() ? Describe(QStringLiteral("schema version"), q.lastError())
                                     : QStringLiteral("the schema version table is empty");
    return -1;
  }
  return q.value(0).toInt();
}

bool Migrate(QSqlDatabase& db, QString* error) {
  int version = Version(db, error);
  if (version < 0) {
    return false;
  }
  if (version > kVersion) {
    *error = QStringLiteral("the server's schema is version %1, newer than this program's %2")
                 .arg(version)
                 .arg(kVersion);
    return false;
  }
  if (version == kVersion) {
    return true;
  }
  if (!db.transaction()) {
    *error = Describe(QStringLiteral("begin"), db.lastError());
    return false;
  }
  const auto fail = [&] {
    db.rollback();
    return false;
  };
  QSqlQuery lock(db);
  lock.prepare(QStringLiteral("SELECT pg_advisory_xact_lock(?)"));
  lock.addBindValue(kMigrationLock);
  if (!lock.exec()) {
    *error = Describe(QStringLiteral("schema lock"), lock.lastError());
    return fail();
  }
  lock.finish();
  // Another program may have migrated while this one waited for the lock.
  version = Version(db, error);
  if (version < 0) {
    return fail();
  }
  if (!storeschema::RunSchemaSteps(db, Steps(), version, kVersion, 3, Describe, error)) {
    return fail();
  }
  QSqlQuery set(db);
  set.prepare(QStringLiteral("UPDATE orvanta_schema SET version = ?"));
  set.addBindValue(kVersion);
  if (!set.exec()) {
    *error = Describe(QStringLiteral("schema version"), set.lastError());
    return fail();
  }
  if (!db.commit()) {
    *error = Describe(QStringLiteral("commit"), db.lastError());
    return fail();
  }
  return true;
}

QString EncodeText(const QString& text, bool* escaped) {
  *escaped = text.contains(QChar(0));
  if (!*escaped) {
    return text;
  }
  QString out;
  out.reserve(text.size() + 8);
  for (const QChar c : text) {
    if (c == u'\\') {
      out += QStringLiteral("\\\\");
    } else if (c.unicode() == 0) {
      out += QStringLiteral("\\0");
    } else {
      out += c;
    }
  }
  return out;
}

QString DecodeText(const QString& stored, bool escaped) {
  if (!escaped) {
    return stored;
  }
  QString out;
  out.reserve(stored.size());
  for (qsizetype i = 0; i < stored.size(); ++i) {
    if (stored[i] == u'\\' && i + 1 < stored.size()) {
      ++i;
      out += stored[i] == u'0' ? QChar(0) : stored[i];
    } else {
      out += stored[i];
    }
  }
  return out;
}

}  // namespace serverschema
