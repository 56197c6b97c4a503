// Review benchmark: opening a week-long session and a week-long data1.txt to
// the first painted chart, the repaint of an overlay of ten day-long
// sessions, and the memory each takes.
//
//   orvanta-bench-review [--repaints N] [--store FILE] [--only store|session|file|overlay]
//
// --store keeps the week-long store in FILE, and uses the one there when it
// exists, instead of writing a new one (which takes a while). --only runs one
// of the three measures (for a profiler).
//
// Prints figures; asserts nothing. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "benchfigures.h"
#include "benchstore.h"
#include "reviewplot.h"
#include "reviewwindow.h"
#include "sessionsource.h"
#include "snapshotfile.h"

namespace {

constexpr int kDay = 86'400;
constexpr int kWeek = 604'800;

// Paints the window now and returns once the plot is on screen.
void Paint(ReviewWindow& window) {
  window.Plot().ReplotNow();
  window.repaint();
}

double CpuMs(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}
double ThreadCpuMs() {
  return CpuMs(CLOCK_THREAD_CPUTIME_ID);
}

// The wall time from asking to open `word` to the painted chart; the CPU
// time all the program's threads spent on it goes to `cpuMs`.
double OpenToPaint(ReviewWindow& window, const QString& word, double* cpuMs) {
  QElapsedTimer timer;
  timer.start();
  const double cpuBefore = CpuMs(CLOCK_PROCESS_CPUTIME_ID);
  const int before = window.SourceCount();
  window.OpenRef(word);
  window.WaitForLoads();
  if (window.SourceCount() == before) {
    std::printf("could not open %s\n", qPrintable(word));
    return -1;
  }
  Paint(window);
  *cpuMs = CpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
  return timer.nsecsElapsed() / 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  int repaints = 50;
  QTemporaryDir dir;
  QString storePath = dir.filePath(QStringLiteral("sessions.db"));
  QByteArray only;
  for (int i = 1; i + 1 < argc; ++i) {
    if (QByteArray(argv[i]) == "--repaints") {
      repaints = std::max(1, QByteArray(argv[i + 1]).toInt());
    } else if (QByteArray(argv[i]) == "--store") {
      storePath = QString::fromLocal8Bit(argv[i + 1]);
    } else if (QByteArray(argv[i]) == "--only") {
      only = argv[i + 1];
    }
  }

  // A week-long session in the store, and the data1.txt it would have saved.
  QString log;
  QElapsedTimer timer;
  timer.start();
  qint64 sessionId = 0;
  if (QFile::exists(storePath)) {
    sessionId = LatestBenchSession(storePath);
    for (int t = 0; t < kWeek && (only.isEmpty() || only == "file"); ++t) {
      log += BenchFrame(t);
    }
  } else {
    sessionId = WriteBenchSession(storePath, kWeek, &log);
    std::printf("week_store_write_s=%.1f\n", timer.nsecsElapsed() / 1e9);
  }
  std::printf("store_mib=%.1f\n", QFile(storePath).size() / 1048576.0);
  const QString filePath = dir.filePath(QStringLiteral("data1.txt"));
  WriteFileAtomically(filePath, SnapshotBytes(QDateTime::currentDateTime(), log));
  const double fileMib = QFile(filePath).size() / 1048576.0;
  log.clear();
  log.squeeze();

  const auto runs = [&only](const char* measure) { return only.isEmpty() || only == measure; };
  if (runs("store")) {
    // The store's own share: streaming every chunk of the week.
    QString error;
    const std::unique_ptr<SessionReader> reader = SessionReader::Open(storePath, &error);
    qint64 chunks = 0;
    timer.start();
    if (reader) {
      reader->ForEachChunk(sessionId, [&chunks](const StoredChunk&) { ++chunks; });
    }
    const double all = timer.nsecsElapsed() / 1e6;
    // The complete readings alone, as the review reads them, without the
    // text the notice is found in.
    timer.start();
    if (reader) {
      reader->ForEachChunkPart(sessionId, SessionReader::ChunkParts::CompleteReadings,
                               [](const StoredChunk&) {});
    }
    const double readingsOnly = timer.nsecsElapsed() / 1e6;
    // The review's whole read of the session, as its worker thread does it;
    // the thread's own CPU time beside the wall time, which other programs
    // on a busy machine stretch.
    timer.start();
    const double cpuBefore = ThreadCpuMs();
    const std::optional<StoredSession> session = reader ? reader->Find(sessionId) : std::nullopt;
    const std::optional<ReviewSource> source =
        session ? ReadSession(*reader, *session, nullptr) : std::nullopt;
    std::printf(
        "week_store_stream_ms=%.1f readings_only_ms=%.1f read_session_ms=%.1f "
        "read_session_cpu_ms=%.1f chunks=%lld\n",
        all, readingsOnly, timer.nsecsElapsed() / 1e6, ThreadCpuMs() - cpuBefore, chunks);
  }
  if (runs("session")) {
    const auto before = ReadProcessMemory();
    ReviewWindow window(BenchStoreOpener(storePath));
    window.resize(1300, 800);
    window.show();
    QApplication::processEvents();
    double cpuMs = 0;
    const double ms = OpenToPaint(window, QString::number(sessionId), &cpuMs);
    const auto after = ReadProcessMemory();
    std::printf(
        "week_session_open_to_paint_ms=%.1f cpu_ms=%.1f frames_per_channel=%zu rss_mib=%.1f "
        "added_mib=%.1f\n",
        ms, cpuMs, window.SourceCount() ? window.Source(0).Channel(1).size() : size_t(0),
        after.residentMib, after.residentMib - before.residentMib);
  }
  if (runs("file")) {
    const auto before = ReadProcessMemory();
    ReviewWindow window({});
    window.resize(1300, 800);
    window.show();
    QApplication::processEvents();
    double cpuMs = 0;
    const double ms = OpenToPaint(window, filePath, &cpuMs);
    const auto after = ReadProcessMemory();
    std::printf(
        "week_file_open_to_paint_ms=%.1f cpu_ms=%.1f file_mib=%.1f frames_per_channel=%zu "
        "rss_mib=%.1f added_mib=%.1f\n",
        ms, cpuMs, fileMib, window.SourceCount() ? window.Source(0).Channel(1).size() : size_t(0),
        after.residentMib, after.residentMib - before.residentMib);
  }
  if (runs("overlay")) {
    const auto before = ReadProcessMemory();
    ReviewWindow window({});
    window.resize(1300, 800);
    window.show();
    for (int s = 0; s < 10; ++s) {
      window.AddSource(BenchSource(s, kDay));
    }
    QApplication::processEvents();
    Paint(window);
    std::vector<double> times;
    for (int i = 0; i < repaints; ++i) {
      timer.start();
      Paint(window);
      times.push_back(timer.nsecsElapsed() / 1e6);
    }
    const auto after = ReadProcessMemory();
    std::printf(
        "overlay_10_days_curves=%d repaint_median_ms=%.2f repaint_max_ms=%.2f "
        "rss_mib=%.1f added_mib=%.1f peak_rss_mib=%.1f\n",
        window.Plot().CurveCount(), Median(times), *std::max_element(times.begin(), times.end()),
        after.residentMib, after.residentMib - before.residentMib, after.peakMib);
  }
  return 0;
}
