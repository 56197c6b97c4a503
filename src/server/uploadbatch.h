#pragma once

#include <QString>
#include <QSysInfo>
#include <map>
#include <memory>
#include <optional>

#include "storefile.h"

// Copies the local session store to the lab server one batch at a time;
// used by one thread only (the uploader's).
//
// A batch is one server transaction: the rows of the sessions it touches
// (created, or their end and cell labels brought up to date), then their next
// chunks in sequence order, at most `batchChunks` in all, with the server's
// chunk counts, and a notification per session. Chunks are keyed by
// (session uuid, seq) and inserted only when absent, so a batch sent again
// after a commit whose answer was lost changes nothing. After the commit the
// local store records, per session, the highest seq and the end the server
// now holds (sessions.confirmed_seq and confirmed_end); the next batch starts
// from there. A session whose labels the server has not confirmed
// (sessions.labels_unconfirmed, set by whoever changed them) has its row sent
// again, and the flag is cleared by the same confirmation.
//
// The local store is read over a connection of its own, in WAL mode beside
// the store's writer: reading never blocks the writer. The confirmation is
// a short write transaction of its own (not a command through the store's
// writer thread), waiting up to `busyTimeoutMs` for the writer's lock: the
// writer holds it only for one batch, and a confirmation that cannot be
// written costs nothing but sending those chunks again.
class UploadBatch {
 public:
  struct Config {
    QString uri;        // the lab server (serverconnection)
    QString storePath;  // the local session store
    // For sessions stored without a bench name.
    QString bench = QSysInfo::machineHostName();
    int batchChunks = 2000;
    int batchSessions = 500;  // session rows in one batch, at most
    int busyTimeoutMs = 5000;
  };

  struct Result {
    bool ok = true;
    bool more = false;    // there is more to send now
    qint64 chunks = 0;    // chunks sent in this batch
    qint64 sessions = 0;  // sessions touched
    qint64 commitMs = 0;  // the server transaction, begin to commit
    QString error;        // why it failed (never with a password)
    QString localError;   // the confirmation could not be recorded locally
  };

  explicit UploadBatch(Config config);
  ~UploadBatch();
  UploadBatch(const UploadBatch&) = delete;
  UploadBatch& operator=(const UploadBatch&) = delete;

  // Sends the next batch, if there is anything to send.
  Result Next();
  // Drops both connections (after a failure, or at the end).
  void Close();

 private:
  struct Pending;
  bool OpenServer(QString* error);
  bool OpenLocal(QString* error);
  bool ReadPending(Pending* pending, QString* error);
  bool Send(const Pending& pending, Result* result);
  void Confirm(const Pending& pending, Result* result);

  Config m_config;
  QString m_serverName;
  QString m_localName;
  bool m_serverOpen = false;
  bool m_localOpen = false;
  std::optional<storefile::FileId> m_localId;  // of the file the connection reads
  // What the server holds of each session's row, as this uploader last sent
  // it: a change (a cell label set later, the end) is sent again.
  struct RowState {
    int ended = 0;
    qint64 endMs = -1;
    QString cell1, cell2;
    bool operator==(const RowState&) const = default;
  };
  std::map<QString, RowState> m_sent;  // by uuid
};
