#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "uploadbatch.h"

// Copies the local session store to the lab server on a thread of its own,
// batch after batch, whenever the store commits (Wake) and every `retryMs`
// regardless. The local store stays the first place every chunk goes:
// nothing here slows or changes recording.
//
// When the server cannot be reached or refuses a batch (down, network gone,
// wrong password, full disk), the uploader tries again every `retryMs` and
// then catches up in order. StateChanged says on the owner's thread when the
// server falls behind because of a failure and when it has caught up again.
//
// Copies of the program sharing one store file upload it one at a time: the
// uploader that holds the store's upload lock file sends every session in
// the file, whoever recorded it.
class Uploader : public QObject {
  Q_OBJECT
 public:
  static constexpr int kRetryMs = 10000;

  struct Settings {
    UploadBatch::Config batch;
    int retryMs = kRetryMs;
  };

  explicit Uploader(Settings settings, QObject* parent = nullptr);
  // Finishes the batch in progress, then stops the thread; what is left is
  // sent by the next start.
  ~Uploader() override;

  // The store committed something: send it.
  void Wake();

  // As last reported on the owner's thread.
  bool Failing() const { return m_failing; }
  QString Error() const { return m_error; }

  // The notice shown while the server is behind because of a failure.
  static QString BehindNotice();

 signals:
  // The server fell behind because of a failure (`error` says why, without
  // any password), or caught up again (failing false, error empty).
  void StateChanged(bool failing, const QString& error);
  // A batch was committed on the server.
  void Uploaded(qint64 chunks, qint64 sessions, qint64 commitMs);
  // An upload pass ended with everything in the store on the server.
  void CaughtUp();
  // The confirmation could not be written to the local store (the chunks
  // are sent again later).
  void LocalError(const QString& error);

 private:
  void Run();

  Settings m_settings;
  bool m_failing = false;
  QString m_error;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_woken = false;  // guarded by m_mutex
  bool m_stop = false;   // guarded by m_mutex
  std::thread m_worker;
};
