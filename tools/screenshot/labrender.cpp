#include "labrender.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUuid>
#include <array>
#include <deque>
#include <optional>

#include "chargerscript.h"
#include "frameparser.h"
#include "lablaunch.h"
#include "labwindow.h"
#include "reviewwindow.h"
#include "storecommand.h"
#include "storewriter.h"
#include "uploadbatch.h"

namespace {

// The readings a frame carries, as the pass would set them.
class Readings final : public FrameSink {
 public:
  std::array<std::array<std::optional<qint32>, kQuantityCount>, 2> values;
  void NotAFrame() override {}
  void Field(int channel, Quantity quantity, qint32 value) override {
    values[size_t(channel - 1)][size_t(quantity)] = value;
  }
  void ChannelDone(int) override {}
  void Failed(ParseFailure, int) override {}
};

struct Bench {
  const char* name;
  const char* port;
  std::array<const char*, 2> cells;
  int frames;   // frames sent so far
  int silentS;  // how long ago the newest chunk came
  bool notice;  // the end-of-discharge notice came last
};

bool Fail(const QString& what) {
  qCritical("%s", qPrintable(what));
  return false;
}

// One simulated bench: its charger's chunks go into a local store of its
// own, as the pass hands them to the store's writer, and the uploader's own
// batches copy that store to the server.
bool PutBench(const QString& uri, const QString& folder, const Bench& bench) {
  const QString store =
      folder + QLatin1Char('/') + QString::fromUtf8(bench.name) + QStringLiteral(".db");
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  const qint64 last = now - bench.silentS * 1000LL;
  const qint64 start = last - bench.frames * 1000LL;
  std::deque<StoreCommand> commands;
  StoreCommand begin;
  begin.kind = StoreCommand::Kind::Begin;
  begin.session = 1;
  begin.startMs = start;
  begin.port = QString::fromUtf8(bench.port);
  begin.device = QStringLiteral("/dev/ttyUSB0");
  begin.uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
  begin.bench = QString::fromUtf8(bench.name);
  begin.cells = {QString::fromUtf8(bench.cells[0]), QString::fromUtf8(bench.cells[1])};
  commands.push_back(begin);
  ChargerOptions options;
  options.speed = 60;
  options.durationS = 60.0 * 3000;  // each bench at its own point of one discharge
  ChargerScript script(options);
  const int chunks = bench.frames + (bench.notice ? 1 : 0);
  for (int seq = 1; seq <= chunks; ++seq) {
    const bool isNotice = bench.notice && seq == chunks;
    StoreCommand chunk;
    chunk.session = 1;
    chunk.chunk.seq = seq;
    chunk.chunk.wallMs = start + seq * 1000LL;
    chunk.chunk.monoMs = seq * 1000LL;
    chunk.chunk.text = isNotice ? QString::fromLatin1(kEndOfDischarge)
                                : QString::fromStdString(script.Next().text);
    if (!isNotice) {
      Readings readings;
      Parse(chunk.chunk.text, readings);
      for (size_t c = 0; c < 2; ++c) {
        chunk.chunk.channel[c].fields = readings.values[c];
      }
    }
    commands.push_back(std::move(chunk));
  }
  {
    StoreWriter writer({store});
    if (!writer.Open() || !writer.Write(commands)) {
      return Fail(writer.Error());
    }
  }
  UploadBatch upload({uri, store, begin.bench});
  for (;;) {
    const UploadBatch::Result sent = upload.Next();
    if (!sent.ok) {
      return Fail(sent.error);
    }
    if (!sent.more) {
      return true;
    }
  }
}

}  // namespace

int RenderLabShot(QSize size, const QString& out, const QString& uri) {
  if (uri.isEmpty()) {
    qCritical(
        "--lab needs --server URI (for instance under pg_virtualenv: --server postgresql://)");
    return 2;
  }
  // The uploader's first batch creates the server's tables.
  QTemporaryDir stores;
  const Bench benches[] = {
      {"bench-01", "COM1", {"A0001", "A0002"}, 420, 0, false},
      {"bench-02", "COM1", {"B0107", ""}, 1500, 1, false},
      {"bench-03", "COM2", {"C0033", "C0034"}, 900, 25, false},
      {"bench-04", "COM3", {"", ""}, 2800, 2, true},
  };
  for (const Bench& bench : benches) {
    if (!stores.isValid() || !PutBench(uri, stores.path(), bench)) {
      return 1;
    }
  }
  LabWindow lab(uri);
  if (size.isValid()) {
    lab.resize(size);
  }
  lab.show();
  QSignalSpy updated(&lab, &LabWindow::Updated);
  if (!updated.wait(15000)) {
    qCritical("the lab view did not fill: %s", qPrintable(lab.Status().text()));
    return 1;
  }
  QApplication::processEvents();
  if (!lab.grab().save(out)) {
    qCritical("could not write %s", qPrintable(out));
    return 1;
  }
  // Beside it, the review window on the same server, as the "实验室" button's
  // window and a double-click open it: filters, benches, the first bench's
  // session followed.
  const QString beside = out.endsWith(QStringLiteral(".png"))
                             ? out.chopped(4) + QStringLiteral("-review.png")
                             : out + QStringLiteral("-review.png");
  std::unique_ptr<ReviewWindow> review(OpenFollowing(uri, lab.RowSession(0).id));
  review->setAttribute(Qt::WA_DeleteOnClose, false);
  review->resize(1300, 800);
  review->show();
  review->WaitForLoads();
  review->WaitForSessionList();
  QApplication::processEvents();
  if (!review->grab().save(beside)) {
    qCritical("could not write %s", qPrintable(beside));
    return 1;
  }
  return 0;
}
