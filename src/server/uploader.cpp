#include "uploader.h"

#include <QCoreApplication>
#include <QLockFile>
#include <memory>

Uploader::Uploader(Settings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {
  m_worker = std::thread([this] { Run(); });
}

Uploader::~Uploader() {
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_one();
  m_worker.join();
}

void Uploader::Wake() {
  {
    std::lock_guard lock(m_mutex);
    m_woken = true;
  }
  m_wake.notify_one();
}

QString Uploader::BehindNotice() {
  return QCoreApplication::translate("Uploader", "服务器数据未同步，每 10 秒重试");
}

void Uploader::Run() {
  UploadBatch batch(m_settings.batch);
  QLockFile uploadLock(m_settings.batch.storePath + QStringLiteral(".uploader.lock"));
  uploadLock.setStaleLockTime(0);  // stale only when its process is gone
  bool failing = false;
  QString lastError;
  const auto post = [this](auto&& call) {
    QMetaObject::invokeMethod(this, std::forward<decltype(call)>(call), Qt::QueuedConnection);
  };
  const auto report = [&](bool nowFailing, const QString& error) {
    if (nowFailing == failing && error == lastError) {
      return;
    }
    failing = nowFailing;
    lastError = error;
    post([this, nowFailing, error] {
      const bool changed = m_failing != nowFailing || m_error != error;
      m_failing = nowFailing;
      m_error = error;
      if (changed) {
        emit StateChanged(nowFailing, error);
      }
    });
  };
  bool stopping = false;
  while (!stopping) {
    if (uploadLock.isLocked() || uploadLock.tryLock(0)) {
      while (true) {
        const UploadBatch::Result result = batch.Next();
        if (!result.ok) {
          report(true, result.error);
          break;
        }
        if (!result.localError.isEmpty()) {
          post([this, error = result.localError] { emit LocalError(error); });
        }
        if (result.sessions > 0) {
          post([this, result] { emit Uploaded(result.chunks, result.sessions, result.commitMs); });
        }
        if (!result.more) {
          report(false, QString());
          post([this] { emit CaughtUp(); });
          break;
        }
        std::lock_guard lock(m_mutex);
        if (m_stop) {
          break;  // the rest is sent at the next start
        }
      }
    }
    std::unique_lock lock(m_mutex);
    // While failing, only the retry period wakes it: every commit would
    // otherwise knock on a server that is down.
    m_wake.wait_for(lock, std::chrono::milliseconds(m_settings.retryMs),
                    [&] { return m_stop || (m_woken && !failing); });
    m_woken = false;
    stopping = m_stop;
  }
  batch.Close();
}
