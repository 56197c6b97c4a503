// Lab server benchmark: a week-long session opened from the server in the
// review window, to its first painted chart; the reader's own share of it.
//
//   orvanta-bench-lab [--server URI]
//
// Without --server it makes a throw-away local server with pg_virtualenv
// (as the tests do) and fills it with a week of one-second chunks. With
// --server the week is added to that server (which must take it).
//
// Prints figures; asserts nothing. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <cstdio>
#include <ctime>

#include "acquisitionpass.h"
#include "benchfigures.h"
#include "lablaunch.h"
#include "pgserver.h"
#include "reviewplot.h"
#include "reviewwindow.h"
#include "serverconnection.h"
#include "serverschema.h"
#include "serversessionreader.h"

namespace {

constexpr int kWeek = 604'800;

// CPU time of the calling thread: the reader's own share of a read, apart
// from the server's.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// A week of frames of both channels, made by the server itself: a falling
// voltage with a ripple, capacity growing with time.
bool WriteWeek(const QString& uri, QString* uuid) {
  QString error;
  if (!serverconnection::Open(uri, QStringLiteral("bench"), &error)) {
    std::printf("server: %s\n", qPrintable(error));
    return false;
  }
  QSqlDatabase db = QSqlDatabase::database(QStringLiteral("bench"));
  if (!serverschema::Migrate(db, &error)) {
    std::printf("schema: %s\n", qPrintable(error));
    return false;
  }
  *uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
  QSqlQuery q(db);
  q.prepare(QStringLiteral(
      "INSERT INTO sessions(uuid, bench, port, device, start_ms, chunks, frames) "
      "VALUES (?::uuid, 'bench-week', 'COM1', '/dev/ttyUSB0', 1700000000000, ?, ?)"));
  q.addBindValue(*uuid);
  q.addBindValue(kWeek);
  q.addBindValue(kWeek);
  if (!q.exec()) {
    std::printf("insert: %s\n", qPrintable(q.lastError().text()));
    return false;
  }
  q.prepare(QStringLiteral(
      "INSERT INTO chunks(session_uuid, seq, wall_ms, mono_ms, text, text_escaped, "
      " t1, v1, i1, r1, w1, t2, v2, i2, r2, w2) "
      "SELECT ?::uuid, s, 1700000000000 + s * 1000, s * 1000, "
      " '$1,1,' || s || ',' || v || ',480,' || (480 * s / 3600) || ',25;1,' || s || ',' || "
      " (v - 20) || ',460,' || (460 * s / 3600) || E',26\\r\\n', false, "
      " s, v, 480, 480 * s / 3600, 25, s, v - 20, 460, 460 * s / 3600, 26 "
      "FROM (SELECT s, (1400 - 150 * s / 604800.0 + 3 * sin(s / 97.0))::int AS v "
      "      FROM generate_series(1, ?) s) g"));
  q.addBindValue(*uuid);
  q.addBindValue(kWeek);
  if (!q.exec()) {
    std::printf("insert: %s\n", qPrintable(q.lastError().text()));
    return false;
  }
  q.exec(QStringLiteral("ANALYZE chunks"));
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  QString uri;
  for (int i = 1; i + 1 < argc; ++i) {
    if (QByteArray(argv[i]) == "--server") {
      uri = QString::fromLocal8Bit(argv[i + 1]);
    }
  }
  if (uri.isEmpty()) {
    pgserver::RunUnderVirtualenv(argc, argv);
  }
  QApplication app(argc, argv);
  if (uri.isEmpty()) {
    if (!pgserver::Skipped().isEmpty()) {
      std::printf("no server: %s\n", qPrintable(pgserver::Skipped()));
      return 1;
    }
    uri = pgserver::Uri();
  }
  QElapsedTimer timer;
  timer.start();
  QString uuid;
  if (!WriteWeek(uri, &uuid)) {
    return 1;
  }
  std::printf("week_server_write_s=%.1f chunks=%d\n", timer.nsecsElapsed() / 1e9, kWeek);

  QString error;
  const auto reader = ServerSessionReader::Open(uri, &error);
  if (!reader) {
    std::printf("reader: %s\n", qPrintable(error));
    return 1;
  }
  const qint64 id = reader->FindByUuid(uuid)->id;
  for (const auto& [name, parts] :
       {std::pair{"all", SessionReader::ChunkParts::All},
        std::pair{"readings_only", SessionReader::ChunkParts::CompleteReadings}}) {
    timer.start();
    qint64 chunks = 0;
    reader->ForEachChunkPart(id, parts, [&chunks](const StoredChunk&) { ++chunks; });
    std::printf("week_server_stream_%s_ms=%.1f chunks=%lld\n", name, timer.nsecsElapsed() / 1e6,
                chunks);
  }

  // The two reads a review makes of a session: whether the notice came,
  // then its lines.
  timer.start();
  reader->AnyChunkContains(id, QString::fromUtf16(kEndOfDischargeNotice));
  std::printf("week_server_notice_search_ms=%.1f\n", timer.nsecsElapsed() / 1e6);
  timer.start();
  const double cpuBefore = ThreadCpuMs();
  qint64 lines = 0;
  reader->ForEachLineChunk(id, QString::fromUtf16(kEndOfDischargeNotice),
                           [&lines](const StoredChunk&) { ++lines; });
  std::printf("week_server_line_chunks_ms=%.1f client_cpu_ms=%.1f chunks=%lld\n",
              timer.nsecsElapsed() / 1e6, ThreadCpuMs() - cpuBefore, lines);

  for (int run = 1; run <= 2; ++run) {
    const auto before = ReadProcessMemory();
    ReviewWindow window(ServerOpener(uri));
    window.resize(1300, 800);
    window.show();
    QApplication::processEvents();
    timer.start();
    window.OpenSession(id);
    window.WaitForLoads();
    window.Plot().ReplotNow();
    window.repaint();
    const double ms = timer.nsecsElapsed() / 1e6;
    const auto after = ReadProcessMemory();
    std::printf(
        "run=%d week_server_session_open_to_paint_ms=%.1f frames_per_channel=%zu "
        "added_mib=%.1f peak_rss_mib=%.1f\n",
        run, ms, window.SourceCount() ? window.Source(0).Channel(1).size() : size_t(0),
        after.residentMib - before.residentMib, after.peakMib);
  }
  return 0;
}
