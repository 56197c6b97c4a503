#pragma once

#include <QString>
#include <QVariantList>
#include <memory>

class QSqlDriver;

#include "chunkprefetch.h"
#include "sessionreader.h"

// Read-only access to the lab server's sessions, through the same interface
// as a local store, so the sessions tool and the review window read the
// whole lab as they read one bench. A session's id is the server's short id
// (sessions.id), not the id it had in its bench's own store.
//
// Chunks are read in sequence order in bounded batches (keyed on the last
// seq read, so each batch is a range of the primary key): a week-long
// session is never held at once, on either side of the connection.
class ServerSessionReader final : public SessionReader {
 public:
  // Connects to the server the libpq URI `uri` names, on a connection of its
  // own for the calling thread. On failure returns null and a user-facing
  // message in `error` (never with a password in it).
  static std::unique_ptr<ServerSessionReader> Open(const QString& uri, QString* error);
  ~ServerSessionReader() override;

  QList<StoredSession> Sessions() override;
  std::optional<StoredSession> Find(std::optional<qint64> id) override;
  QString ReadError() const override { return m_readError; }
  bool ForEachChunk(qint64 sessionId,
                    const std::function<void(const StoredChunk&)>& visit) override;
  bool ForEachChunkPart(qint64 sessionId, ChunkParts parts,
                        const std::function<void(const StoredChunk&)>& visit) override;
  bool ForEachLineChunk(qint64 sessionId, const QString& marker,
                        const std::function<void(const StoredChunk&)>& visit) override;
  std::optional<QString> ChunkTextAfter(qint64 sessionId, qint64 seq) override;
  std::optional<bool> AnyChunkContains(qint64 sessionId, const QString& text) override;
  std::optional<std::optional<qint64>> LastChunkWallMs(qint64 sessionId) override;
  std::optional<std::array<StoredChannel, 2>> LastCompleteReadings(qint64 sessionId) override;

  // The session with lab-wide identity `uuid`; empty when there is none or
  // on a read error.
  std::optional<StoredSession> FindByUuid(const QString& uuid);
  // Streams the chunks after `afterSeq` (all parts): what a view following
  // a running session has not shown yet.
  bool ForEachChunkAfter(qint64 sessionId, qint64 afterSeq,
                         const std::function<void(const StoredChunk&)>& visit);

  // The connection's driver, for listening to the server's notifications
  // on the reader's own thread.
  QSqlDriver* Driver() const;

  // Rows per batch of a chunk stream.
  static constexpr int kBatchRows = 20'000;
  // A stream longer than this is read on several connections at once.
  static constexpr qint64 kParallelRows = 3 * kBatchRows;

 private:
  ServerSessionReader(QString connection, QString uri);
  // Streams the session's chunks after `afterSeq` in order, each row's
  // columns after seq given by `columns` (`columnValues` bound to their
  // placeholders) and turned into a chunk by `decode`.
  bool Stream(qint64 sessionId, qint64 afterSeq, const QString& columns,
              const QVariantList& columnValues, const chunkprefetch::Decode& decode,
              const std::function<void(const StoredChunk&)>& visit);
  std::optional<QString> UuidOf(qint64 sessionId);

  QString m_connection;
  QString m_uri;
  QString m_readError;
};
