// The receive log at a week of frames: the cost of one append at the start
// and at the end, the memory the log holds, the time to save it, and the
// append of a pane that replaces its whole text, side by side at a day.
//
//   orvanta-bench-log [--frames N] [--png FILE]
//
// --png saves the pane, shown at its designed size with the whole log in it,
// as rendered at the end.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

#include "logpane.h"
#include "snapshotfile.h"

#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

namespace {

constexpr int kWeekFrames = 604800;
constexpr int kDayFrames = 86400;
constexpr int kBatch = 800;
constexpr int kEdgeBatches = 12;  // batches averaged at the start and at the end
constexpr int kPaneWidthPx = 337;
constexpr int kPaneHeightPx = 305;

QString Frame(int second) {
  return QStringLiteral("$1,1,%1,%2,500,100,25;1,%1,%3,498,99,24;\r\n")
      .arg(second)
      .arg(1350 - second % 300)
      .arg(1342 - second % 300);
}

std::vector<QString> Frames(int from, int count) {
  std::vector<QString> frames;
  frames.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    frames.push_back(Frame(from + i));
  }
  return frames;
}

// Resident memory of the process in bytes, or -1 where unknown.
qint64 ResidentBytes() {
#ifdef Q_OS_LINUX
  QFile statm(QStringLiteral("/proc/self/statm"));
  if (!statm.open(QIODevice::ReadOnly)) {
    return -1;
  }
  const QList<QByteArray> fields = statm.readAll().split(' ');
  return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : -1;
#else
  return -1;
#endif
}

double MiB(qint64 bytes) {
  return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// Appends `frames` and returns nanoseconds per append. Each append is
// followed by the events it posted (the scroll area's scroll-bar upkeep), as
// the window's event loop would handle them before the next pass.
template <typename Append>
double TimeAppends(const std::vector<QString>& frames, Append append) {
  QElapsedTimer timer;
  timer.start();
  for (const QString& frame : frames) {
    append(frame);
    QCoreApplication::sendPostedEvents();
  }
  return static_cast<double>(timer.nsecsElapsed()) / static_cast<double>(frames.size());
}

double Mean(const std::vector<double>& values) {
  return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

void Prefill(LogPane& pane, int frames) {
  for (int done = 0; done < frames; done += kBatch) {
    for (const QString& frame : Frames(done, std::min(kBatch, frames - done))) {
      pane.AppendAndFollow(frame);
      QCoreApplication::sendPostedEvents();
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  int weekFrames = kWeekFrames;
  QString pngPath;
  const QStringList args = app.arguments();
  for (qsizetype i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == QStringLiteral("--frames")) {
      weekFrames = std::max(kBatch * kEdgeBatches * 2, args[i + 1].toInt());
    } else if (args[i] == QStringLiteral("--png")) {
      pngPath = args[i + 1];
    }
  }
  weekFrames -= weekFrames % kBatch;

  std::printf("Receive log benchmark: %d frames (one a second)\n\n", weekFrames);

  // The pane as the window has it at start: hidden, read-only, designed size.
  auto pane = std::make_unique<LogPane>();
  pane->resize(kPaneWidthPx, kPaneHeightPx);
  pane->setReadOnly(true);
  const qint64 residentBefore = ResidentBytes();

  std::vector<double> batchNs;
  for (int done = 0; done < weekFrames; done += kBatch) {
    const std::vector<QString> frames = Frames(done, kBatch);
    batchNs.push_back(TimeAppends(frames, [&](const QString& f) { pane->AppendAndFollow(f); }));
  }
  const qint64 residentAfter = ResidentBytes();
  const double startNs = Mean({batchNs.begin(), batchNs.begin() + kEdgeBatches});
  const double endNs = Mean({batchNs.end() - kEdgeBatches, batchNs.end()});
  const double flatness = endNs / startNs;
  const qint64 held = residentAfter - residentBefore;
  const qint64 textChars = pane->Log().Size();

  std::printf("Append (in place):\n");
  std::printf("  first %d appends     %10.0f ns each\n", kBatch * kEdgeBatches, startNs);
  std::printf("  last %d appends      %10.0f ns each\n", kBatch * kEdgeBatches, endNs);
  std::printf("  end / start          %10.2f        (target <= 2)  %s\n", flatness,
              flatness <= 2.0 ? "met" : "NOT MET");
  std::printf("  slowest batch        %10.0f ns each\n",
              *std::max_element(batchNs.begin(), batchNs.end()));
  std::printf("Log at the end: %lld characters (%.1f MB as received), %lld lines\n",
              static_cast<long long>(textChars), static_cast<double>(textChars) / 1e6,
              static_cast<long long>(pane->Log().LineCount()));
  std::printf("Memory:\n");
  std::printf("  resident growth      %10.1f MiB   (target <= 150) %s\n", MiB(held),
              held >= 0 && MiB(held) <= 150.0 ? "met" : "NOT MET");
  std::printf("  reserved by the log  %10.1f MiB\n", MiB(pane->Log().BytesHeld()));

  {
    QTemporaryDir dir;
    QElapsedTimer timer;
    timer.start();
    const QByteArray bytes = SnapshotBytes(QDateTime::currentDateTime(), pane->Log());
    const qint64 encodeMs = timer.elapsed();
    const bool written = WriteFileAtomically(SnapshotFileName(dir.path()), bytes);
    const qint64 totalMs = timer.elapsed();
    std::printf(
        "Save of the whole log: %.1f MB, encode %lld ms, total %lld ms%s (target <= 1000) %s\n",
        static_cast<double>(bytes.size()) / 1e6, static_cast<long long>(encodeMs),
        static_cast<long long>(totalMs), written ? "" : " (WRITE FAILED)",
        written && totalMs <= 1000 ? "met" : "NOT MET");
  }

  {
    pane->show();
    QElapsedTimer timer;
    timer.start();
    const QPixmap shot = pane->grab();
    std::printf("Paint of the shown pane at the end: %lld ms (lines in view only)\n",
                static_cast<long long>(timer.elapsed()));
    if (!pngPath.isEmpty()) {
      shot.save(pngPath);
      std::printf("  saved %s\n", qPrintable(pngPath));
    }
  }
  pane.reset();

  // Side by side at a day of frames.
  std::printf("\nAt %d frames (a day), cost of one append:\n", kDayFrames);
  LogPane day;
  day.resize(kPaneWidthPx, kPaneHeightPx);
  Prefill(day, kDayFrames);
  const double inPlaceNs =
      TimeAppends(Frames(kDayFrames, kBatch), [&](const QString& f) { day.AppendAndFollow(f); });
  day.SetAppendMode(LogPane::AppendMode::WholeTextReplacement);
  const double replacingNs = TimeAppends(Frames(kDayFrames + kBatch, 20),
                                         [&](const QString& f) { day.AppendAndFollow(f); });

  // A stock plain-text widget whose whole text is replaced on every append,
  // as a rich-text box's text property would be.
  QPlainTextEdit stock;
  stock.resize(kPaneWidthPx, kPaneHeightPx);
  stock.setUndoRedoEnabled(false);
  stock.setReadOnly(true);
  {
    QString prefill;
    for (const QString& frame : Frames(0, kDayFrames)) {
      prefill += frame;
    }
    stock.setPlainText(prefill);
  }
  const double stockNs = TimeAppends(Frames(kDayFrames, 5), [&](const QString& f) {
    stock.setPlainText(stock.toPlainText() + f);
    stock.moveCursor(QTextCursor::End);
    stock.ensureCursorVisible();
  });
  std::printf("  this pane, in place                    %12.0f ns\n", inPlaceNs);
  std::printf("  this pane, whole-text replacement      %12.0f ns  (%.0fx the in-place append)\n",
              replacingNs, replacingNs / inPlaceNs);
  std::printf("  QPlainTextEdit, whole-text replacement %12.0f ns  (%.0fx the in-place append)\n",
              stockNs, stockNs / inPlaceNs);
  return 0;
}
