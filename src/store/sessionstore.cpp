#include "sessionstore.h"

#include <QDateTime>
#include <QUuid>

#include "storewriter.h"

namespace {

// One transaction holds at most this many changes, so a long backlog never
// holds the file's write lock for long.
constexpr size_t kMaxBatch = 2000;

}  // namespace

SessionStore::SessionStore(Settings settings, QObject* parent)
    : QObject(parent), m_settings(std::move(settings)) {
  m_worker = std::thread([this] { Run(); });
}

SessionStore::~SessionStore() {
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  for (const qint64 token : std::as_const(m_running)) {
    EndSession(token, SessionEnd::ProgramExit, now);
  }
  {
    std::lock_guard lock(m_mutex);
    m_stop = true;
  }
  m_wake.notify_one();
  m_worker.join();
}

qint64 SessionStore::BeginSession(const QString& port, const QString& device, qint64 startMs,
                                  const std::array<QString, 2>& cells) {
  const qint64 token = m_nextToken++;
  StoreCommand command;
  command.kind = StoreCommand::Kind::Begin;
  command.session = token;
  command.startMs = startMs;
  command.port = port;
  command.device = device;
  command.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
  command.bench = m_settings.bench;
  command.cells = cells;
  Push(std::move(command));
  m_running << token;
  return token;
}

void SessionStore::Append(qint64 session, StoredChunk chunk) {
  StoreCommand command;
  command.kind = StoreCommand::Kind::Chunk;
  command.session = session;
  command.chunk = std::move(chunk);
  Push(std::move(command));
}

void SessionStore::SetCells(qint64 session, const std::array<QString, 2>& cells) {
  if (!m_running.contains(session)) {
    return;
  }
  StoreCommand command;
  command.kind = StoreCommand::Kind::Label;
  command.session = session;
  command.cells = cells;
  Push(std::move(command));
}

void SessionStore::EndSession(qint64 session, SessionEnd how, qint64 endMs) {
  if (!m_running.removeOne(session)) {
    return;
  }
  StoreCommand command;
  command.kind = StoreCommand::Kind::End;
  command.session = session;
  command.ended = how;
  command.endMs = endMs;
  Push(std::move(command));
}

void SessionStore::Push(StoreCommand command) {
  {
    std::lock_guard lock(m_mutex);
    m_queue.push_back(std::move(command));
  }
  ++m_pending;
  m_wake.notify_one();
}

void SessionStore::Report(bool ok, const QString& error) {
  QMetaObject::invokeMethod(
      this,
      [this, ok, error] {
        m_error = error;
        if (m_recording != ok) {
          m_recording = ok;
          emit RecordingChanged(ok, error);
        }
      },
      Qt::QueuedConnection);
}

void SessionStore::Run() {
  StoreWriter writer({.path = m_settings.path,
                      .limitBytes = m_settings.limitBytes,
                      .busyTimeoutMs = m_settings.busyTimeoutMs,
                      .keepUnconfirmed = m_settings.keepUnconfirmed});
  std::deque<StoreCommand> batch;  // taken from the queue, not yet committed
  bool failing = false;
  bool stopping = false;
  int commits = 0;
  QString movedAside;
  bool recreated = false;
  const auto post = [this](auto&& call) {
    QMetaObject::invokeMethod(this, std::forward<decltype(call)>(call), Qt::QueuedConnection);
  };
  const auto noteMovedAside = [&] {
    if (writer.MovedAside() != movedAside) {
      movedAside = writer.MovedAside();
      post([this, path = movedAside] { emit MovedAside(path); });
      return true;
    }
    return false;
  };
  const auto noteRecreated = [&] {
    if (writer.Recreated() && !recreated) {
      post([this] { emit Recreated(); });
    }
    recreated = writer.Recreated();
  };
  const auto applyLimit = [&] {
    const int deleted = writer.ApplyLimit();
    if (deleted > 0 || !writer.LimitError().isEmpty()) {
      post([this, deleted, error = writer.LimitError()] { emit Trimmed(deleted, error); });
    }
  };

  // Open at once, so a store that cannot be written shows before any session.
  if (!writer.Open()) {
    failing = true;
    // A damaged file was moved aside: the new one may well work.
    if (noteMovedAside() && writer.Open()) {
      failing = false;
    } else {
      Report(false, writer.Error());
    }
  }
  noteMovedAside();
  if (!failing) {
    applyLimit();
  }

  while (true) {
    bool timedOut = false;
    {
      std::unique_lock lock(m_mutex);
      const auto ready = [&] { return m_stop || (!failing && !m_queue.empty()); };
      // Also wakes while idle, to notice a store file deleted or replaced
      // behind the program's back within one retry period.
      timedOut = !m_wake.wait_for(lock, std::chrono::milliseconds(m_settings.retryMs), ready);
      stopping = m_stop;
      while (!m_queue.empty() && batch.size() < kMaxBatch) {
        batch.push_back(std::move(m_queue.front()));
        m_queue.pop_front();
      }
    }
    if (batch.empty() && !failing && !stopping && !timedOut) {
      continue;
    }
    bool ok = batch.empty() ? writer.CheckFile() : writer.Write(batch);
    if (!ok && noteMovedAside()) {
      ok = batch.empty() ? writer.CheckFile() : writer.Write(batch);
    }
    noteMovedAside();
    noteRecreated();
    if (ok) {
      m_pending -= qint64(batch.size());
      const bool wrote = !batch.empty();
      batch.clear();
      if (failing) {
        failing = false;
        Report(true, QString());
        applyLimit();
      }
      if (wrote) {
        if (++commits % std::max(1, m_settings.limitEveryCommits) == 0) {
          applyLimit();
        }
        post([this] { emit Committed(); });
      }
    } else if (!failing) {
      failing = true;
      Report(false, writer.Error());
    }
    if (stopping) {
      std::lock_guard lock(m_mutex);
      // One last attempt only: the program is ending.
      if (m_queue.empty() || failing) {
        break;
      }
    }
  }
  writer.Close();
}
