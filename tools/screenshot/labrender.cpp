#include "labrender.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <array>
#include <optional>

#include "chargerscript.h"
#include "frameparser.h"
#include "lablaunch.h"
#include "labwindow.h"
#include "reviewwindow.h"
#include "serverconnection.h"
#include "serverschema.h"

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
  int frames;     // frames sent so far
  int silentS;    // how long ago the newest chunk came
  bool notice;    // the end-of-discharge notice came last
};

bool Fail(const QString& what) {
  qCritical("%s", qPrintable(what));
  return false;
}

bool PutBench(QSqlDatabase& db, const Bench& bench) {
  const QString uuid = QUuid::createUuid().toString(QUuid::WithoutBraces);
  const qint64 now = QDateTime::currentMSecsSinceEpoch();
  const qint64 last = now - bench.silentS * 1000LL;
  const qint64 start = last - bench.frames * 1000LL;
  if (!db.transaction()) {
    return Fail(db.lastError().text());
  }
  QSqlQuery q(db);
  q.prepare(QStringLiteral(
      "INSERT INTO sessions(uuid, bench, port, device, start_ms, cell1, cell2, chunks, frames, "
      "last_wall_ms) VALUES (?::uuid, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
  const int chunks = bench.frames + (bench.notice ? 1 : 0);
  for (const QVariant& v :
       {QVariant(uuid), QVariant(QString::fromUtf8(bench.name)), QVariant(QString::fromUtf8(bench.port)),
        QVariant(QStringLiteral("/dev/ttyUSB0")), QVariant(start),
        QVariant(QString::fromUtf8(bench.cells[0])), QVariant(QString::fromUtf8(bench.cells[1])),
        QVariant(chunks), QVariant(bench.frames), QVariant(last)}) {
    q.addBindValue(v);
  }
  if (!q.exec()) {
    return Fail(q.lastError().text());
  }
  q.prepare(QStringLiteral(
      "INSERT INTO chunks(session_uuid, seq, wall_ms, mono_ms, text, text_escaped, t1, v1, i1, "
      "r1, w1, t2, v2, i2, r2, w2) VALUES (?::uuid, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
  ChargerOptions options;
  options.speed = 60;
  options.durationS = 60.0 * 3000;  // each bench at its own point of one discharge
  ChargerScript script(options);
  for (int seq = 1; seq <= chunks; ++seq) {
    const bool isNotice = bench.notice && seq == chunks;
    const QString text = isNotice ? QString::fromLatin1(kEndOfDischarge)
                                  : QString::fromStdString(script.Next().text);
    Readings readings;
    if (!isNotice) {
      Parse(text, readings);
    }
    bool escaped = false;
    q.addBindValue(uuid);
    q.addBindValue(seq);
    q.addBindValue(start + seq * 1000LL);
    q.addBindValue(seq * 1000LL);
    q.addBindValue(serverschema::EncodeText(text, &escaped));
    q.addBindValue(escaped);
    for (const auto& channel : readings.values) {
      for (const auto& value : channel) {
        q.addBindValue(value ? QVariant(*value) : QVariant(QMetaType::fromType<int>()));
      }
    }
    if (!q.exec()) {
      return Fail(q.lastError().text());
    }
  }
  q.prepare(QStringLiteral("SELECT pg_notify('orvanta_chunks', ?)"));
  q.addBindValue(uuid);
  if (!q.exec()) {
    return Fail(q.lastError().text());
  }
  return db.commit() || Fail(db.lastError().text());
}

}  // namespace

int RenderLabShot(QSize size, const QString& out, const QString& uri) {
  if (uri.isEmpty()) {
    qCritical("--lab needs --server URI (for instance under pg_virtualenv: --server postgresql://)");
    return 2;
  }
  QString error;
  if (!serverconnection::Open(uri, QStringLiteral("screenshot"), &error)) {
    qCritical("%s", qPrintable(error));
    return 1;
  }
  {
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("screenshot"));
    if (!serverschema::Migrate(db, &error)) {
      qCritical("%s", qPrintable(error));
      return 1;
    }
    const Bench benches[] = {
        {"bench-01", "COM1", {"A0001", "A0002"}, 420, 0, false},
        {"bench-02", "COM1", {"B0107", ""}, 1500, 1, false},
        {"bench-03", "COM2", {"C0033", "C0034"}, 900, 25, false},
        {"bench-04", "COM3", {"", ""}, 2800, 2, true},
    };
    for (const Bench& bench : benches) {
      if (!PutBench(db, bench)) {
        return 1;
      }
    }
  }
  LabWindow lab(uri);
  lab.resize(size);
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
