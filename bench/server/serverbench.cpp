// The uploader against a local PostgreSQL (a throw-away cluster made by
// pg_virtualenv, with fsync on as a real server has it):
//
//   catchup_chunks=86400 catchup_s=<x> catchup_batches=<n>
//     A day-long session of one-second chunks, all recorded while the server
//     was away, sent from the moment the uploader starts until the server
//     has the last one.
//   load_channels=1000 load_s=<n> chunks_per_s=<x> batches=<n>
//     batch_median_ms=<x> batch_p99_ms=<x> lag_end_ms=<x>
//     A thousand channels recording one chunk a second each into one store,
//     copied as they are committed; batch_*: one batch's server transaction,
//     begin to commit; lag_end_ms: from the last chunk being stored to the
//     server having it (the uploader keeps up when it stays small).
//
//   orvanta-bench-server [--load-seconds N]   (default 20)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <vector>

#include "benchfigures.h"
#include "pgserver.h"
#include "sessionstore.h"
#include "storewriter.h"
#include "uploader.h"

namespace {

StoredChunk Chunk(qint64 seq, qint64 wallMs) {
  StoredChunk c;
  c.seq = seq;
  c.wallMs = wallMs;
  c.monoMs = seq * 1000;
  c.text = QStringLiteral("$1,1,%1,%2,500,%3,25;1,%1,%4,498,%5,24\r\n")
               .arg(seq)
               .arg(1400 - seq % 400)
               .arg(seq / 7200)
               .arg(1392 - seq % 390)
               .arg(seq / 7230);
  for (size_t f = 0; f < 5; ++f) {
    c.channel[0].fields[f] = qint32(seq + f);
    c.channel[1].fields[f] = qint32(seq * 2 + f);
  }
  return c;
}

QString Database(const QString& name) {
  pgserver::Psql(QStringLiteral("CREATE DATABASE ") + name);
  return pgserver::Uri(name);
}

bool CatchUp() {
  constexpr qint64 kDay = 86400;
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sessions.db"));
  {
    StoreWriter writer({.path = path});
    if (!writer.Open()) {
      std::fprintf(stderr, "%s\n", qPrintable(writer.Error()));
      return false;
    }
    std::deque<StoreCommand> commands;
    StoreCommand begin;
    begin.kind = StoreCommand::Kind::Begin;
    begin.session = 1;
    begin.port = QStringLiteral("COM1");
    begin.device = QStringLiteral("/dev/ttyS0");
    begin.uuid = QStringLiteral("0b6c3a52-8a39-4d3e-9d0e-5a7f3c2b1a90");
    begin.bench = QStringLiteral("bench");
    commands.push_back(begin);
    for (qint64 seq = 1; seq <= kDay; ++seq) {
      StoreCommand chunk;
      chunk.session = 1;
      chunk.chunk = Chunk(seq, 1'760'000'000'000 + seq * 1000);
      commands.push_back(std::move(chunk));
      if (commands.size() == 5000 || seq == kDay) {
        if (seq == kDay) {
          StoreCommand end;
          end.kind = StoreCommand::Kind::End;
          end.session = 1;
          end.endMs = 1'760'000'000'000 + (kDay + 1) * 1000;
          commands.push_back(end);
        }
        if (!writer.Write(commands)) {
          std::fprintf(stderr, "%s\n", qPrintable(writer.Error()));
          return false;
        }
        commands.clear();
      }
    }
  }
  const QString uri = Database(QStringLiteral("catchup"));
  QElapsedTimer timer;
  timer.start();
  Uploader uploader({.batch = {.uri = uri, .storePath = path}});
  QSignalSpy uploaded(&uploader, &Uploader::Uploaded);
  QSignalSpy caughtUp(&uploader, &Uploader::CaughtUp);
  qint64 chunks = 0;
  while (chunks < kDay) {
    if (!caughtUp.wait(60000)) {
      std::fprintf(stderr, "catch-up stalled: %s\n", qPrintable(uploader.Error()));
      return false;
    }
    chunks = 0;
    for (const QList<QVariant>& batch : uploaded) {
      chunks += batch[0].toLongLong();
    }
  }
  std::printf("catchup_chunks=%lld catchup_s=%.2f catchup_batches=%lld\n",
              static_cast<long long>(chunks), double(timer.elapsed()) / 1000.0,
              static_cast<long long>(uploaded.size()));
  return true;
}

bool Load(int seconds) {
  constexpr int kChannels = 1000;
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("sessions.db"));
  const QString uri = Database(QStringLiteral("load"));
  SessionStore store({.path = path, .limitBytes = 0, .keepUnconfirmed = true});
  Uploader uploader({.batch = {.uri = uri, .storePath = path}});
  QObject::connect(&store, &SessionStore::Committed, &uploader, &Uploader::Wake);
  std::vector<double> batchMs;
  qint64 uploadedChunks = 0;
  QObject::connect(&uploader, &Uploader::Uploaded, [&](qint64 chunks, qint64, qint64 ms) {
    batchMs.push_back(double(ms));
    uploadedChunks += chunks;
  });
  std::vector<qint64> sessions;
  for (int i = 0; i < kChannels; ++i) {
    sessions.push_back(store.BeginSession(QStringLiteral("COM%1").arg(i + 1),
                                          QStringLiteral("/dev/ttyUSB%1").arg(i), 0));
  }
  qint64 second = 0;
  QElapsedTimer timer;
  timer.start();
  // Each channel's chunk for a second, spread evenly over that second.
  QTimer feed;
  feed.setInterval(10);
  qint64 sent = 0;
  QObject::connect(&feed, &QTimer::timeout, [&] {
    const qint64 due =
        std::min<qint64>(timer.elapsed() * kChannels / 1000, qint64(seconds) * kChannels);
    for (; sent < due; ++sent) {
      const qint64 seq = sent / kChannels + 1;
      store.Append(sessions[size_t(sent % kChannels)], Chunk(seq, seq * 1000));
    }
    second = sent / kChannels;
  });
  feed.start();
  const qint64 total = qint64(seconds) * kChannels;
  while (sent < total) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  feed.stop();
  while (store.Pending() > 0) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  QElapsedTimer lag;
  lag.start();
  while (uploadedChunks < total && lag.elapsed() < 120000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
  }
  const qint64 lagMs = lag.elapsed();
  const double elapsedS = double(timer.elapsed()) / 1000.0;
  std::printf(
      "load_channels=%d load_s=%d chunks_per_s=%.0f uploaded=%lld batches=%zu "
      "batch_median_ms=%.1f batch_p99_ms=%.1f lag_end_ms=%lld\n",
      kChannels, seconds, double(uploadedChunks) / elapsedS, static_cast<long long>(uploadedChunks),
      batchMs.size(), Median(batchMs), Percentile(batchMs, 0.99), static_cast<long long>(lagMs));
  return uploadedChunks == total;
}

}  // namespace

int main(int argc, char* argv[]) {
  // A real server syncs its commits; pg_virtualenv turns that off by default.
  pgserver::RunUnderVirtualenv(argc, argv, {"-o", "fsync=on"});
  QCoreApplication app(argc, argv);
  if (const QString why = pgserver::Skipped(); !why.isEmpty()) {
    std::printf("skipped: %s\n", qPrintable(why));
    return 0;
  }
  int seconds = 20;
  const QStringList args = app.arguments();
  if (const qsizetype at = args.indexOf(QStringLiteral("--load-seconds")); at > 0) {
    seconds = std::max(1, args.value(at + 1).toInt());
  }
  const bool ok = CatchUp() && Load(seconds);
  return ok ? 0 : 1;
}
