#pragma once

#include <QSqlDatabase>
#include <QString>

// The lab server's layout (PostgreSQL), created and brought up to date by
// whichever program connects first with the rights to do so.
//
// Version 1:
//   orvanta_schema(version): one row, the layout's version.
//   sessions(id, uuid, bench, port, device, start_ms, end_ms, ended, cell1,
//            cell2, chunks, frames, last_wall_ms)
//     id: a short number for people and tools; uuid: the session's identity,
//     as given by the bench that recorded it (the key). bench: that bench's
//     name. start_ms, end_ms: UTC ms since the epoch, end_ms NULL while
//     running; ended: how the session ended, as in the local store (0 while
//     running). chunks, frames: how many of the session's chunks and frames
//     the server holds. last_wall_ms: wall time of its newest chunk here.
//   chunks(session_uuid, seq, wall_ms, mono_ms, text, text_escaped,
//          t1 v1 i1 r1 w1, t2 v2 i2 r2 w2), keyed by (session_uuid, seq).
//     text: the chunk as received. PostgreSQL text cannot hold U+0000, which
//     a chunk may contain: such a chunk is stored escaped (text_escaped
//     true), every backslash doubled and every U+0000 written as
//     backslash-zero; all other chunks are stored as they are (text_escaped
//     false), readable by any SQL client. DecodeText undoes it.
//
// Every upload batch is one transaction that notifies channel
// kNotifyChannel with the session's uuid as payload (delivered at commit).
namespace serverschema {

inline constexpr int kVersion = 1;
inline constexpr char kNotifyChannel[] = "orvanta_chunks";

// Creates or migrates the layout inside one transaction, serialised against
// other benches doing the same at the same moment. A layout already at
// kVersion is only read, so a role without the right to create tables works
// once the layout exists. False with `error` when the layout is newer than
// this program, is not ours, or a step fails.
bool Migrate(QSqlDatabase& db, QString* error);

// The version on the server: 0 for an empty database, -1 with `error` when
// it cannot be read.
int Version(QSqlDatabase& db, QString* error);

// The chunk text as stored in the text column, and whether it is escaped.
QString EncodeText(const QString& text, bool* escaped);
QString DecodeText(const QString& stored, bool escaped);

}  // namespace serverschema
