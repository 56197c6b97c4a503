// The session store's cost, with an empty store and with a week of
// one-second frames already stored (604,800 rows):
//
//   fill=<rows> pass_median_ms=<x> pass_p99_ms=<x> commit_median_ms=<x>
//     commit_p99_ms=<x>
//
// pass_*: what a pass spends on the store on the window's thread (the chunk,
// ten readings, the hand-over to the writer). commit_*: from the end of the
// pass until its rows are committed and synced by the worker (the window
// never waits for this). Passes follow one another once the previous one is
// committed, as the 1 s tick allows; passes alternate between the two stores
// so both meet the same load. Then, for the week:
//
//   week_empty_ratio=<x> bytes_per_frame=<x> csv_rows_per_s=<x>
//     data1_rows_per_s=<x> limit_delete_ms=<x>
//
// week_empty_ratio is the median pass cost at a week over that when empty.
//
// limit_delete_ms is the size limit deleting the week-long session.
//
//   orvanta-bench-store [--passes N] [--dir FOLDER]   (default 1000 passes,
//   a temporary folder; give one on the disk you want to measure)

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "benchfigures.h"
#include "clock.h"
#include "sessionexport.h"
#include "sessionrecording.h"
#include "storewriter.h"

namespace {

constexpr qint64 kWeek = 604800;
constexpr int kFillBatch = 5000;

QString Frame(qint64 t) {
  return QStringLiteral("$1,1,%1,%2,500,%3,25;1,%1,%4,498,%5,24\r\n")
      .arg(t)
      .arg(1400 - t % 400)
      .arg(t / 7200)
      .arg(1392 - t % 390)
      .arg(t / 7230);
}

StoredChunk Chunk(qint64 seq, qint64 wallMs) {
  StoredChunk c;
  c.seq = seq;
  c.wallMs = wallMs;
  c.monoMs = seq * 1000;
  c.text = Frame(seq);
  const std::array<qint32, 5> one{qint32(seq), qint32(1400 - seq % 400), 500, qint32(seq / 7200),
                                  25};
  const std::array<qint32, 5> two{qint32(seq), qint32(1392 - seq % 390), 498, qint32(seq / 7230),
                                  24};
  for (size_t i = 0; i < 5; ++i) {
    c.channel[0].fields[i] = one[i];
    c.channel[1].fields[i] = two[i];
  }
  return c;
}

double Ms(qint64 ns) {
  return double(ns) / 1e6;
}

// A finished week-long session, written straight through the writer.
bool FillWeek(const QString& path) {
  StoreWriter writer({.path = path, .limitBytes = 0});
  const qint64 start = QDateTime::currentMSecsSinceEpoch() - kWeek * 1000;
  std::deque<StoreCommand> batch(1);
  batch[0].kind = StoreCommand::Kind::Begin;
  batch[0].session = 1;
  batch[0].startMs = start;
  batch[0].port = QStringLiteral("COM1");
  batch[0].device = QStringLiteral("/dev/ttyUSB0");
  for (qint64 seq = 1; seq <= kWeek; ++seq) {
    StoreCommand c;
    c.session = 1;
    c.chunk = Chunk(seq, start + seq * 1000);
    batch.push_back(std::move(c));
    if (batch.size() == kFillBatch || seq == kWeek) {
      if (seq == kWeek) {
        StoreCommand end;
        end.kind = StoreCommand::Kind::End;
        end.session = 1;
        end.endMs = start + seq * 1000;
        batch.push_back(end);
      }
      if (!writer.Write(batch)) {
        std::fprintf(stderr, "fill failed: %s\n", qPrintable(writer.Error()));
        return false;
      }
      batch.clear();
    }
  }
  return true;
}

// One store taking passes, with the figures of each.
struct Timed {
  Timed(const QString& path, const Clock& clock)
      : recording({.path = path, .limitBytes = 0}, clock),
        committed(&recording.Store(), &SessionStore::Committed) {
    recording.PortOpened(QStringLiteral("COM1"), QStringLiteral("/dev/ttyUSB0"));
    while (committed.isEmpty()) {
      committed.wait(1000);
    }
    committed.clear();
  }

  void Pass(int i) {
    const StoredChunk c = Chunk(i, 0);
    QElapsedTimer t;
    t.start();
    recording.ChunkReceived(c.text);
    for (int channel = 1; channel <= 2; ++channel) {
      for (int q = 0; q < kQuantityCount; ++q) {
        recording.FieldApplied(channel, Quantity(q),
                               *c.channel[size_t(channel - 1)].fields[size_t(q)]);
      }
    }
    recording.PassEnded();
    pass.push_back(Ms(t.nsecsElapsed()));
    // Until the worker has committed this pass and gone back to waiting, as
    // it has long done when the next 1 s tick comes.
    while (committed.size() < i) {
      committed.wait(1000);
    }
    commit.push_back(Ms(t.nsecsElapsed()) - pass.back());
  }

  void Print(qint64 fill) const {
    std::printf(
        "fill=%lld pass_median_ms=%.4f pass_p99_ms=%.4f commit_median_ms=%.3f "
        "commit_p99_ms=%.3f\n",
        static_cast<long long>(fill), Percentile(pass, 0.5), Percentile(pass, 0.99),
        Percentile(commit, 0.5), Percentile(commit, 0.99));
    std::fflush(stdout);
  }

  SessionRecording recording;
  QSignalSpy committed;
  std::vector<double> pass, commit;
};

class NullDevice final : public QIODevice {
 public:
  NullDevice() { open(QIODevice::WriteOnly); }

 protected:
  qint64 readData(char*, qint64) override { return -1; }
  qint64 writeData(const char*, qint64 len) override { return len; }
};

double RowsPerSecond(const QString& path, decltype(&ExportCsv) exporter) {
  auto reader = SessionReader::Open(path, nullptr);
  const StoredSession session = *reader->Find(1);
  NullDevice out;
  QString error;
  QElapsedTimer t;
  t.start();
  if (!exporter(*reader, session, out, &error)) {
    std::fprintf(stderr, "export failed: %s\n", qPrintable(error));
  }
  return double(session.chunks) / (double(t.nsecsElapsed()) / 1e9);
}

qint64 FileBytes(const QString& path) {
  qint64 bytes = 0;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    bytes += QFileInfo(path + QLatin1StringView(suffix)).size();
  }
  return bytes;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  const int passes =
      args.contains(u"--passes"_qs) ? args.value(args.indexOf(u"--passes"_qs) + 1).toInt() : 1000;
  QTemporaryDir temp(args.contains(u"--dir"_qs)
                         ? args.value(args.indexOf(u"--dir"_qs) + 1) + u"/orvanta-bench-XXXXXX"_qs
                         : QDir::tempPath() + u"/orvanta-bench-XXXXXX"_qs);

  const QString week = temp.filePath(u"week.db"_qs);
  QElapsedTimer fillTime;
  fillTime.start();
  if (!FillWeek(week)) {
    return 1;
  }
  std::fprintf(stderr, "# filled %lld rows in %.1f s\n", static_cast<long long>(kWeek),
               double(fillTime.elapsed()) / 1000);
  const double bytesPerFrame = double(FileBytes(week)) / double(kWeek);
  {
    auto reader = SessionReader::Open(week, nullptr);
    QElapsedTimer t;
    t.start();
    qint64 rows = 0;
    reader->ForEachChunk(1, [&](const StoredChunk&) { ++rows; });
    std::fprintf(stderr, "# reading every column alone: %.0f rows/s\n",
                 double(rows) / (double(t.nsecsElapsed()) / 1e9));
  }
  const double csv = RowsPerSecond(week, &ExportCsv);
  const double data1 = RowsPerSecond(week, &ExportData1);

  // Passes go to the empty and the week-long store in turn, so both see the
  // same load on the machine.
  SystemClock clock;
  double ratio = 0;
  {
    Timed empty(temp.filePath(u"empty.db"_qs), clock);
    Timed full(week, clock);
    for (int i = 1; i <= passes; ++i) {
      empty.Pass(i);
      full.Pass(i);
    }
    empty.Print(0);
    full.Print(kWeek);
    ratio = Percentile(full.pass, 0.5) / Percentile(empty.pass, 0.5);
  }

  // The limit at 1 byte: the week-long session goes, the new one stays.
  QElapsedTimer limitTime;
  limitTime.start();
  {
    StoreWriter writer({.path = week, .limitBytes = 1});
    writer.Open();
  }
  const double limitMs = double(limitTime.nsecsElapsed()) / 1e6;
  std::printf(
      "week_empty_ratio=%.2f bytes_per_frame=%.1f csv_rows_per_s=%.0f data1_rows_per_s=%.0f "
      "limit_delete_ms=%.0f\n",
      ratio, bytesPerFrame, csv, data1, limitMs);
  return 0;
}
