#pragma once

#include <QObject>
#include <QString>
#include <QSysInfo>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "storecommand.h"

// The session store as the window's thread sees it: calls queue their change
// and return at once; a worker thread with its own connection writes each
// batch in one synced transaction.
//
// When the store cannot be written (disk full, read-only or missing folder,
// locked or damaged file, failed migration) the changes stay queued in
// memory, the worker tries again every `retryMs`, and RecordingChanged
// reports the state on the owner's thread. Nothing queued is dropped until
// it is committed.
class SessionStore : public QObject {
  Q_OBJECT
 public:
  static constexpr qint64 kDefaultLimitBytes = qint64(2) << 30;  // 2 GiB
  static constexpr int kRetryMs = 10000;

  struct Settings {
    QString path;
    qint64 limitBytes = kDefaultLimitBytes;  // 0: no limit
    int retryMs = kRetryMs;
    int busyTimeoutMs = 5000;
    int limitEveryCommits = 600;  // check the size this often (and at open)
    // This bench's name, stored with each session.
    QString bench = QSysInfo::machineHostName();
    // A lab server is configured: the size limit keeps what it lacks.
    bool keepUnconfirmed = false;
  };

  explicit SessionStore(Settings settings, QObject* parent = nullptr);
  // Ends any running session as ended by the program, tries once more to
  // write what is queued, and stops the worker.
  ~SessionStore() override;

  // Returns the new session's token. The session gets a new UUID.
  qint64 BeginSession(const QString& port, const QString& device, qint64 startMs,
                      const std::array<QString, 2>& cells = {});
  // Labels the cells of a running session (channel 1, channel 2).
  void SetCells(qint64 session, const std::array<QString, 2>& cells);
  void Append(qint64 session, StoredChunk chunk);
  void EndSession(qint64 session, SessionEnd how, qint64 endMs);

  // As last reported on the owner's thread: true until a write fails.
  bool Recording() const { return m_recording; }
  QString Error() const { return m_error; }
  // Changes queued and not yet committed (any thread).
  qint64 Pending() const { return m_pending.load(); }
  const Settings& Config() const { return m_settings; }

 signals:
  // The store went from working to failing or back; `error` says why it
  // failed (empty when working again).
  void RecordingChanged(bool recording, const QString& error);
  // A batch was committed.
  void Committed();
  // A damaged file, or another program's database, was moved to `path` and
  // a new store started.
  void MovedAside(const QString& path);
  // The store file was deleted or replaced while the program ran; recording
  // goes on in the file now at the path.
  void Recreated();
  // The size limit deleted this many finished sessions; `error` says why a
  // clean-up stopped short (recording goes on regardless).
  void Trimmed(int sessions, const QString& error);

 private:
  void Push(StoreCommand command);
  void Run();
  void Report(bool ok, const QString& error);

  Settings m_settings;
  bool m_recording = true;
  QString m_error;
  qint64 m_nextToken = 1;
  QList<qint64> m_running;  // tokens of sessions not yet ended

  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::deque<StoreCommand> m_queue;  // guarded by m_mutex
  bool m_stop = false;               // guarded by m_mutex
  std::atomic<qint64> m_pending{0};
  std::thread m_worker;
};
