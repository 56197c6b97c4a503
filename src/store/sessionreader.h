#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "channelsample.h"
#include "telemetryframe.h"

class QSqlQuery;

// How a stored session ended.
enum class SessionEnd {
  Running,      // still being written by a live program
  Closed,       // the port was closed
  ProgramExit,  // the program ended with the port open
  Interrupted,  // found unfinished at a later start (crash, power cut, kill)
};

struct StoredSession {
  qint64 id = 0;
  QDateTime startUtc;
  QDateTime endUtc;  // invalid while running
  QString port;      // the port list entry, e.g. "COM1"
  QString device;    // the device path it opened
  SessionEnd ended = SessionEnd::Running;
  qint64 chunks = 0;  // received chunks
  qint64 frames = 0;  // chunks in which at least one channel was applied
  // Still marked running, but the program that wrote it is gone (it crashed
  // or was killed); its next start marks it interrupted. endUtc is then the
  // time of its last chunk.
  bool writerGone = false;
  // The session's lab-wide identity and the bench that recorded it (empty
  // for sessions recorded before they had one).
  QString uuid;
  QString bench;
  std::array<QString, 2> cells;  // each channel's cell label, empty when none
  qint64 confirmedSeq = 0;       // highest chunk seq the lab server confirmed
};

// One channel's readings as the pass set them on the readouts; a field the
// pass did not reach (a failed or cut-short frame) is empty.
struct StoredChannel {
  std::array<std::optional<qint32>, kQuantityCount> fields;  // in Quantity order
  bool Any() const;
  bool All() const;
  // The five readings as one sample, when all five were read.
  std::optional<ChannelSample> Sample() const;
};

// One received chunk, exactly as the log got it.
struct StoredChunk {
  qint64 seq = 0;     // 1, 2, ... within the session
  qint64 wallMs = 0;  // UTC, ms since the epoch
  qint64 monoMs = 0;  // monotonic clock, ms
  QString text;
  std::array<StoredChannel, 2> channel;  // channel 1, channel 2
};

// Read-only access to a session store file, for the review window and the
// command-line tool. Opening never creates or changes the file, and works on
// read-only media too.
class SessionReader {
 public:
  virtual ~SessionReader() = default;

  // Opens the store at `path`; on failure returns null and a user-facing
  // message in `error`.
  static std::unique_ptr<SessionReader> Open(const QString& path, QString* error);

  // Every session, oldest first; empty on a read error (see ReadError).
  virtual QList<StoredSession> Sessions() = 0;
  // One session by id, or the newest when `id` is empty; empty when there
  // is none or on a read error (see ReadError).
  virtual std::optional<StoredSession> Find(std::optional<qint64> id) = 0;
  // Why the last Sessions() or Find() failed to read the store; empty when
  // it read it (whatever it found).
  virtual QString ReadError() const { return {}; }
  // Hands each chunk of the session to `visit` in sequence order, streaming
  // (a week of chunks is never held at once). Returns false on a read error.
  virtual bool ForEachChunk(qint64 sessionId,
                            const std::function<void(const StoredChunk&)>& visit) = 0;

  // Which parts of each chunk a streaming read fills; the others stay empty.
  // Exports read only what they write. CompleteReadings fills only the
  // channels whose five readings are all there, and no sequence or times:
  // all a chart of the cells needs, read faster.
  enum class ChunkParts { All, Readings, Text, CompleteReadings };
  // ForEachChunk reading only `parts` (a reader may fill more).
  virtual bool ForEachChunkPart(qint64 sessionId, ChunkParts parts,
                                const std::function<void(const StoredChunk&)>& visit) {
    Q_UNUSED(parts);
    return ForEachChunk(sessionId, visit);
  }
  // Streams the session for reading its text line by line, as a saved
  // data1.txt of it is read: each chunk's channels whose five readings are
  // all there, and its text and sequence number only where the chunk is not
  // one whole line free of `marker` (exactly one LF, at its end); such a
  // line's text is left null and its seq 0, as its readings say all it
  // holds. Returns false on a read error.
  virtual bool ForEachLineChunk(qint64 sessionId, const QString& marker,
                                const std::function<void(const StoredChunk&)>& visit);
  // The text of the chunk after chunk `seq`; none on a read error or when
  // there is no such chunk.
  virtual std::optional<QString> ChunkTextAfter(qint64 sessionId, qint64 seq);
  // Whether `text` appears anywhere in any chunk of the session; empty on a
  // read error. Lets a reader answer without handing every text over.
  virtual std::optional<bool> AnyChunkContains(qint64 sessionId, const QString& text);
  // The wall time of the session's last chunk by sequence, none when it has
  // no chunk; empty on a read error.
  virtual std::optional<std::optional<qint64>> LastChunkWallMs(qint64 sessionId);
  // Each channel's readings in the last chunk where all five of them came,
  // or none for a channel that never had them; empty on a read error. Lets
  // a reader look from the newest chunk back.
  virtual std::optional<std::array<StoredChannel, 2>> LastCompleteReadings(qint64 sessionId);
};

// The session in a query row whose first twelve columns are, in this order:
// id, start_ms, end_ms, port, device, ended, chunks, frames, uuid, bench,
// cell1, cell2 (as the local store and the lab server both keep them). An
// unknown end reads as interrupted; confirmedSeq is left to the caller.
StoredSession StoredSessionFromRow(const QSqlQuery& q);

// Writes one self-contained, consistent copy of the store at `path` (which
// must not exist yet) to `target`, owner-only, while the store may be in use.
// False with a user-facing message in `error`.
bool BackupStore(const QString& path, const QString& target, QString* error);

// The store file used when no other is named: the user's data folder.
QString DefaultStorePath();
