#pragma once

#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <vector>

// The layout of the session store file and the connection set-up shared by
// the writer and the reader.
//
// Version 1 (PRAGMA user_version = 1):
//   sessions(id, start_ms, end_ms, port, device, ended, owner, chunks, frames)
//     start_ms, end_ms: UTC ms since the epoch; end_ms NULL while running.
//     ended: the SessionEnd value as an integer (0 running, 1 closed,
//     2 program exit, 3 interrupted). owner: the writer's
//     token, whose lock file tells whether that writer is still alive.
//     chunks, frames: counts of the session's rows, kept by its writer.
//   chunks(session_id, seq, wall_ms, mono_ms, text, t1 v1 i1 r1 w1,
//          t2 v2 i2 r2 w2), keyed by (session_id, seq), without rowid.
//     One row per received chunk; a reading is NULL when the pass did not
//     set it.
// Version 2: sessions.id is AUTOINCREMENT, so an id is never given twice.
// Stores made since then free pages incrementally (PRAGMA auto_vacuum = 2).
// Version 3 adds to sessions:
//   uuid: the session's lab-wide identity (a UUID text, unique), given at
//     its start; bench: the name of the bench that recorded it ('' when
//     recorded before benches had names); cell1, cell2: the cells' labels
//     per channel ('' when unlabelled); confirmed_seq: the highest chunk seq
//     the lab server has confirmed (0: none yet).
// Version 4 adds sessions.confirmed_end: how the session ended as the lab
//   server has it (0: not yet there), so that a session whose chunks are all
//   on the server but whose end is not yet is still kept.
// Version 5 adds sessions.labels_unconfirmed: 1 from a change of cell1 or
//   cell2 (by the recording writer or afterwards, by any program) until the
//   lab server has committed those labels; 0 otherwise.
namespace storeschema {

inline constexpr int kVersion = 5;

// SQLite result codes the store tells apart (primary codes).
inline constexpr int kSqliteBusy = 5;
inline constexpr int kSqliteLocked = 6;
inline constexpr int kSqliteCorrupt = 11;
inline constexpr int kSqliteNotADatabase = 26;

// A connection name no other connection in this process uses.
QString UniqueConnectionName(const char* role);

// True when the error says the file is not a database or is damaged.
bool IsCorruption(const QSqlError& error);

// "what failed: driver text" for messages.
QString Describe(const QString& what, const QSqlError& error);

// A schema's history: entry n holds the statements that make version n + 1
// from version n. Entries are only ever added at the end.
using SchemaSteps = std::vector<std::vector<const char*>>;

// Runs the statements that take a schema from version `from` to `to`, in
// order, inside the caller's transaction. False at the first that fails,
// with `error` from `describe`, given the statement's first `words` words
// and the failure. Shared by the local store and the lab server.
bool RunSchemaSteps(QSqlDatabase& db, const SchemaSteps& steps, int from, int to, int words,
                    const std::function<QString(const QString&, const QSqlError&)>& describe,
                    QString* error);

// Brings a writable connection to the current version inside one
// transaction, from any earlier version (0 = a new, empty file). False with
// `error` set when the file is from a newer program, is some other database,
// or a step fails. (The writer looks at the file's header before this, so a
// database that is not ours is set aside untouched instead.)
bool Migrate(QSqlDatabase& db, QString* error);

}  // namespace storeschema
