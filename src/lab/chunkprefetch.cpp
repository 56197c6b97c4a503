#include "chunkprefetch.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "labserver.h"

namespace chunkprefetch {

namespace {

// Ranges read ahead of the one being handed over, at most.
constexpr qint64 kAhead = 4;

struct Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::map<qint64, std::vector<StoredChunk>> ready;  // by range number
  qint64 next = 0;                                   // the range the caller waits for
  bool failed = false;
  bool stop = false;
};

void Work(const Range& range, const Decode& decode, int worker, qint64 ranges, Shared& shared) {
  QString error;
  const QString connection = labserver::Connect(range.uri, "prefetch", &error);
  const auto fail = [&] {
    std::lock_guard lock(shared.mutex);
    shared.failed = true;
    shared.changed.notify_all();
  };
  if (connection.isEmpty()) {
    fail();
    return;
  }
  {
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.prepare(QStringLiteral("SELECT seq, %1 FROM chunks WHERE session_uuid = ?::uuid AND "
                             "seq > ? AND seq <= ? ORDER BY seq")
                  .arg(range.columns));
    for (qint64 k = worker; k < ranges; k += range.workers) {
      {
        std::unique_lock lock(shared.mutex);
        shared.changed.wait(lock, [&] { return shared.stop || k < shared.next + kAhead; });
        if (shared.stop) {
          break;
        }
      }
      int at = 0;
      for (const QVariant& value : range.values) {
        q.bindValue(at++, value);
      }
      q.bindValue(at++, range.uuid);
      q.bindValue(at++, range.afterSeq + k * range.rangeRows);
      q.bindValue(at, std::min(range.lastSeq, range.afterSeq + (k + 1) * range.rangeRows));
      if (!q.exec()) {
        fail();
        break;
      }
      std::vector<StoredChunk> chunks;
      chunks.reserve(size_t(range.rangeRows));
      while (q.next()) {
        chunks.emplace_back();
        decode(q, q.value(0).toLongLong(), chunks.back());
      }
      if (q.lastError().isValid()) {
        fail();
        break;
      }
      std::lock_guard lock(shared.mutex);
      shared.ready.emplace(k, std::move(chunks));
      shared.changed.notify_all();
    }
  }
  labserver::Close(connection);
}

}  // namespace

bool Read(const Range& range, const Decode& decode,
          const std::function<void(const StoredChunk&)>& visit) {
  const qint64 ranges = (range.lastSeq - range.afterSeq + range.rangeRows - 1) / range.rangeRows;
  Shared shared;
  std::vector<std::thread> workers;
  // Stops and joins the workers however the reading ends, an exception
  // from `visit` included.
  struct Join {
    Shared& shared;
    std::vector<std::thread>& workers;
    ~Join() {
      {
        std::lock_guard lock(shared.mutex);
        shared.stop = true;
        shared.changed.notify_all();
      }
      for (std::thread& t : workers) {
        t.join();
      }
    }
  } join{shared, workers};
  for (int w = 0; w < range.workers; ++w) {
    workers.emplace_back(Work, std::cref(range), std::cref(decode), w, ranges, std::ref(shared));
  }
  for (qint64 k = 0; k < ranges; ++k) {
    std::vector<StoredChunk> chunks;
    {
      std::unique_lock lock(shared.mutex);
      shared.changed.wait(lock, [&] { return shared.failed || shared.ready.count(k) > 0; });
      if (shared.ready.count(k) == 0) {
        return false;
      }
      chunks = std::move(shared.ready[k]);
      shared.ready.erase(k);
      shared.next = k + 1;
      shared.changed.notify_all();
    }
    for (const StoredChunk& chunk : chunks) {
      visit(chunk);
    }
  }
  return true;
}

}  // namespace chunkprefetch
