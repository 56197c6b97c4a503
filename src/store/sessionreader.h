#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "telemetryframe.h"

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
};

// One channel's readings as the pass set them on the readouts; a field the
// pass did not reach (a failed or cut-short frame) is empty.
struct StoredChannel {
  std::array<std::optional<qint32>, kQuantityCount> fields;  // in Quantity order
  bool Any() const;
  bool All() const;
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
// command-line tool. Opening never creates or changes the file.
class SessionReader {
 public:
  virtual ~SessionReader() = default;

  // Opens the store at `path`; on failure returns null and a user-facing
  // message in `error`.
  static std::unique_ptr<SessionReader> Open(const QString& path, QString* error);

  // Every session, oldest first.
  virtual QList<StoredSession> Sessions() = 0;
  // One session by id, or the newest when `id` is empty.
  virtual std::optional<StoredSession> Find(std::optional<qint64> id) = 0;
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
  // Whether any chunk of the session begins with `prefix`; empty on a read
  // error. Lets a reader answer without handing every text over.
  virtual std::optional<bool> AnyChunkStartsWith(qint64 sessionId, const QString& prefix);
  // Each channel's readings in the last chunk where all five of them came,
  // or none for a channel that never had them; empty on a read error. Lets
  // a reader look from the newest chunk back.
  virtual std::optional<std::array<StoredChannel, 2>> LastCompleteReadings(qint64 sessionId);
};

// The store file used when no other is named: the user's data folder.
QString DefaultStorePath();
