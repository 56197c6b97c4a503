#pragma once

#include <QLockFile>
#include <QSqlError>
#include <QString>
#include <deque>
#include <map>
#include <memory>
#include <optional>

#include "storecommand.h"
#include "storefile.h"

// Writes sessions into the store file over its own connection; used by one
// thread only (the store's worker). Every Write is one transaction, committed
// and synced before it returns: either all of its commands are stored or none.
//
// A file that is not a database, or a damaged one, is moved aside under a new
// name (never deleted) and a new store is started in its place; sessions still
// being written then go on in the new file. So do they when the file is
// deleted or replaced behind the writer's back: the writer notices a new file
// at the path, stores the running sessions' rows in it again and writes what
// it holds there. A link, another user's file or a store of a newer program
// at the path is refused before SQLite opens it, and never changed.
class StoreWriter {
 public:
  struct Config {
    QString path;
    qint64 limitBytes = 0;     // 0: no limit
    int busyTimeoutMs = 5000;  // how long to wait for another writer's lock
    // A lab server is configured: the size limit keeps every session the
    // server does not yet have whole (chunks, end and current labels).
    bool keepUnconfirmed = false;
  };

  explicit StoreWriter(Config config);
  ~StoreWriter();
  StoreWriter(const StoreWriter&) = delete;
  StoreWriter& operator=(const StoreWriter&) = delete;

  // Opens the file, creating it (owner-only) and bringing its layout up to
  // date; marks the unfinished sessions of writers that are gone as
  // interrupted. False with Error() on failure.
  bool Open();
  bool IsOpen() const { return m_open; }
  // Drops the connection (after a failure, or at the end).
  void Close();

  // Stores the commands in one transaction. On failure nothing of them is
  // stored, the connection is closed and Error() says why.
  bool Write(const std::deque<StoreCommand>& commands);

  // Notices a store file that was deleted or replaced since it was opened,
  // and then opens (creating if need be) the file now at the path. False with
  // Error() when that fails; true when nothing changed.
  bool CheckFile();

  // Deletes finished sessions, oldest first, while the data in the file
  // exceeds the limit, a bounded number of rows a transaction, then gives
  // the freed space back to the file system. Never touches a running session
  // or the newest one. A clean-up that fails leaves the store open and
  // recording; LimitError() then says why. Returns how many sessions it
  // deleted. With keepUnconfirmed, sessions not yet on the lab server are
  // kept, and LimitError() says so when that leaves the store over its limit.
  int ApplyLimit();
  QString LimitError() const { return m_limitError; }

  QString Error() const { return m_error; }
  // Where the last damaged file was moved, or empty.
  QString MovedAside() const { return m_movedAside; }
  // The writer's token, as stored in the sessions it owns.
  QString Owner() const { return m_owner; }
  // The name of the writer's SQL connection, for looking at its settings on
  // the writer's thread.
  QString ConnectionName() const { return m_connection; }
  // True once the store was found deleted or replaced and started anew.
  bool Recreated() const { return m_recreated; }

  // The lock file that shows writer `owner` of the store at `path` is alive.
  static QString OwnerLockPath(const QString& path, const QString& owner);

 private:
  struct Session {
    qint64 id = 0;  // 0: not (yet) in the current file
    qint64 startMs = 0;
    QString port;
    QString device;
    QString uuid;
    QString bench;
    std::array<QString, 2> cells;
    qint64 chunks = 0;  // rows stored in the current file
    qint64 frames = 0;
    bool ended = false;
  };

  bool OpenFile();
  bool PrepareFile(bool fresh);
  void ForgetStoredRows();
  bool DeleteSessionInSteps(qint64 id);
  void GiveSpaceBack();
  void MarkAbandonedSessions();
  bool Fail(const QString& what, const QSqlError& error);
  bool WriteOne(const StoreCommand& command, std::map<qint64, Session>& sessions);
  bool StoredAlready(qint64 sessionId, const StoredChunk& chunk);
  bool InsertSession(Session& session);
  qint64 UsedBytes();

  Config m_config;
  QString m_connection;
  QString m_owner;
  std::unique_ptr<QLockFile> m_ownerLock;
  bool m_open = false;
  QString m_error;
  QString m_movedAside;
  QString m_limitError;
  bool m_recreated = false;
  std::optional<storefile::FileId> m_fileId;  // of the file the connection has
  std::map<qint64, Session> m_sessions;       // by token, as committed
};
