// The live lab view and the review window on the lab server, against a
// real server: rows follow the server's notifications, a silent bench is
// marked, an absent server is said and retried, the review window filters
// and follows a running session.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <QtTest/QtTest>

#include "acquisitionpass.h"
#include "labfixture.h"
#include "lablaunch.h"
#include "labwindow.h"
#include "reviewfilterbar.h"
#include "reviewwindow.h"
#include "serversessionreader.h"

using labfixture::Chunk;
using labfixture::Readings;

namespace {

constexpr int kVoltage1Column = 4;
constexpr int kStatusColumn = 10;
constexpr int kAgeColumn = 11;

qint64 NowMs() {
  return QDateTime::currentMSecsSinceEpoch();
}

}  // namespace

class TestLabWindow : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    if (const QString why = pgserver::Skipped(); !why.isEmpty()) {
      QSKIP(qPrintable(why));
    }
    QVERIFY(labfixture::Admin().isOpen());
  }

  void rowsFollowNotifiedChunks() {
    const QString uuid = labfixture::NewUuid();
    const qint64 start = NowMs() - 60'000;
    QVERIFY(labfixture::PutSession(uuid, u"bench-live"_qs, u"COM1"_qs, start, 0,
                                   {u"A0001"_qs, u"A0002"_qs}));
    QVERIFY(labfixture::PutChunks(
        uuid, {{1, NowMs(), u"x"_qs, Readings({1, 4100, 1000, 1, 25}, std::nullopt)}}));

    LabWindow lab(pgserver::Uri());
    QSignalSpy updated(&lab, &LabWindow::Updated);
    QVERIFY(updated.wait(10000));
    const int row = lab.RowOf(uuid);
    QVERIFY(row >= 0);
    QTableWidget& table = lab.Table();
    QCOMPARE(table.item(row, 0)->text(), u"bench-live"_qs);
    QCOMPARE(table.item(row, kVoltage1Column)->text(), u"4100"_qs);
    QCOMPARE(table.item(row, kVoltage1Column + 3)->text(), u"-"_qs);  // channel 2 never came

    // A new chunk, as an upload batch commits it, shows within 2 s; a chunk
    // whose channel was cut short leaves the last full reading shown.
    const auto putAndWait = [&](const Chunk& chunk) {
      updated.clear();
      QElapsedTimer since;
      since.start();
      if (!labfixture::PutChunks(uuid, {chunk})) {
        return qint64(-1);
      }
      while (since.elapsed() < 2000) {
        if (updated.wait(int(std::max<qint64>(1, 2000 - since.elapsed()))) &&
            lab.RowSession(lab.RowOf(uuid)).chunks == chunk.seq) {
          return since.elapsed();
        }
      }
      return qint64(-1);
    };
    qint64 ms =
        putAndWait({2, NowMs(), u"2 4090"_qs,
                    Readings({2, 4090, 990, 2, 25}, std::array<qint32, 5>{2, 3500, 200, 7, 24})});
    QVERIFY2(ms >= 0, "no update within 2 s");
    qInfo("chunk shown %lld ms after its commit", ms);
    QCOMPARE(table.item(lab.RowOf(uuid), kVoltage1Column)->text(), u"4090"_qs);
    QCOMPARE(table.item(lab.RowOf(uuid), kVoltage1Column + 5)->text(), u"7"_qs);
    Chunk cut{3, NowMs(), u"3 40"_qs, Readings({3, 4080, 980, 3, 25}, std::nullopt)};
    cut.readings[0][2].reset();  // no current: not a reading of the cell
    QVERIFY(putAndWait(cut) >= 0);
    QCOMPARE(table.item(lab.RowOf(uuid), kVoltage1Column)->text(), u"4090"_qs);
    QCOMPARE(table.item(lab.RowOf(uuid), kStatusColumn)->text(), QString::fromUtf16(kStatusReady));
    QVERIFY(putAndWait({4, NowMs(), QString::fromUtf16(kEndOfDischargeNotice), {}}) >= 0);
    QCOMPARE(table.item(lab.RowOf(uuid), kStatusColumn)->text(), QString::fromUtf16(kStatusPaused));

    // Ended: the row goes.
    updated.clear();
    QVERIFY(labfixture::PutSession(uuid, u"bench-live"_qs, u"COM1"_qs, start, 1));
    QVERIFY(labfixture::PutChunks(uuid, {}));
    QVERIFY(updated.wait(2000));
    QCOMPARE(lab.RowOf(uuid), -1);
  }

  void silentBenchIsMarkedInWords() {
    const QString silent = labfixture::NewUuid();
    const QString fresh = labfixture::NewUuid();
    QVERIFY(labfixture::PutSession(silent, u"bench-silent"_qs, u"COM2"_qs, NowMs() - 100'000));
    QVERIFY(labfixture::PutChunks(silent, {{1, NowMs() - 15'000, u"1"_qs, {}}}));
    QVERIFY(labfixture::PutSession(fresh, u"bench-fresh"_qs, u"COM3"_qs, NowMs() - 100'000));
    QVERIFY(labfixture::PutChunks(fresh, {{1, NowMs(), u"1"_qs, {}}}));
    LabWindow lab(pgserver::Uri());
    QSignalSpy updated(&lab, &LabWindow::Updated);
    QVERIFY(updated.wait(10000));
    QVERIFY(lab.RowStale(lab.RowOf(silent)));
    QVERIFY(!lab.RowStale(lab.RowOf(fresh)));
    QVERIFY(lab.Table().item(lab.RowOf(silent), kAgeColumn)->text().contains(u"超过 10 秒"_qs));
    QVERIFY(!lab.Table().item(lab.RowOf(fresh), kAgeColumn)->text().contains(u"超过"_qs));
  }

  void absentServerIsSaidAndRetried() {
    LabWindow nowhere(u"postgresql://nobody@127.0.0.1:%1/x"_qs.arg(pgserver::FreePort()));
    QSignalSpy unavailable(&nowhere, &LabWindow::Unavailable);
    QVERIFY(unavailable.wait(15000));
    QVERIFY2(nowhere.Status().text().contains(u"实验室服务器不可用"_qs),
             qPrintable(nowhere.Status().text()));

    // The server goes away under a connected view, and comes back.
    LabWindow lab(pgserver::Uri());
    QSignalSpy updated(&lab, &LabWindow::Updated);
    QSignalSpy lost(&lab, &LabWindow::Unavailable);
    QVERIFY(updated.wait(10000));
    QVERIFY(pgserver::Stop());
    const bool said = lost.wait(LabFeed::kHealthMs + 5000);
    QVERIFY(pgserver::Start());
    QVERIFY(said);
    QVERIFY(lab.Status().text().contains(u"实验室服务器不可用"_qs));
    updated.clear();
    QVERIFY(updated.wait(LabFeed::kRetryMs * 3));
    QVERIFY(!lab.Status().text().contains(u"不可用"_qs));
    labfixture::Admin().close();  // the fixture's own connection went with the server
  }

  // A server that takes the connection and never answers: the review
  // window handles events at once while its list is read, then says why
  // there is none, without the password.
  void reviewWindowStaysLiveWhileTheServerIsSilent() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    QVERIFY(fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
            ::listen(fd, 4) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0);
    const auto closeSocket = qScopeGuard([fd] { ::close(fd); });
    constexpr int kTimeoutS = 4;
    const QString uri =
        u"postgresql://orvanta@127.0.0.1:%1/orvanta?connect_timeout=%2"_qs.arg(ntohs(addr.sin_port))
            .arg(kTimeoutS);
    QElapsedTimer clock;
    clock.start();
    ReviewWindow review(ServerOpener(uri));
    AttachLabControls(review, uri);
    QSignalSpy filled(&review, &ReviewWindow::SessionListFilled);
    review.show();
    bool ticked = false;
    QTimer::singleShot(10, &review, [&] { ticked = true; });
    QTRY_VERIFY_WITH_TIMEOUT(ticked, 1000);
    QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(filled.wait((kTimeoutS + 10) * 1000));
    QVERIFY(clock.elapsed() >= (kTimeoutS - 1) * 1000);  // the server was silent, not refusing
    QString said;
    for (const QLabel* label : review.findChildren<QLabel*>()) {
      if (label->text().contains(u"无法连接实验室服务器"_qs)) {
        said = label->text();
      }
    }
    QVERIFY2(said.contains(u"127.0.0.1"_qs), qPrintable(said));
    const QByteArray password = qgetenv("PGPASSWORD");
    QVERIFY(password.isEmpty() || !said.contains(QString::fromUtf8(password)));
    QCOMPARE(review.SessionTable().rowCount(), 0);
    // Closed while it is still connecting, the window goes at once; its
    // reader gives up later by itself.
    auto again = std::make_unique<ReviewWindow>(ServerOpener(uri));
    again->show();
    clock.restart();
    again.reset();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
  }

  void reviewFiltersAndFollows() {
    const QString uuid = labfixture::NewUuid();
    QVERIFY(labfixture::PutSession(uuid, u"bench-follow"_qs, u"COM7"_qs, NowMs() - 10'000));
    QVERIFY(labfixture::PutChunks(
        uuid,
        {{1, NowMs(), u"1 3900 100 1 25\n"_qs, Readings({1, 3900, 100, 1, 25}, std::nullopt)},
         {2, NowMs(), u"2 3890 100 2 25\n"_qs, Readings({2, 3890, 100, 2, 25}, std::nullopt)}}));
    const QString other = labfixture::NewUuid();
    QVERIFY(labfixture::PutSession(other, u"bench-other"_qs, u"COM8"_qs, NowMs() - 10'000, 1));

    {
      ReviewWindow review(ServerOpener(pgserver::Uri()));
      AttachLabControls(review, pgserver::Uri());
      review.WaitForSessionList();
      auto* bar = review.findChild<ReviewFilterBar*>();
      QVERIFY(bar);
      QTableWidget& table = review.SessionTable();
      const auto shown = [&] {
        QStringList benches;
        for (int row = 0; row < table.rowCount(); ++row) {
          if (!table.isRowHidden(row)) {
            benches << table.item(row, 7)->text();  // the bench column
          }
        }
        return benches;
      };
      QVERIFY(shown().contains(u"bench-follow"_qs) && shown().contains(u"bench-other"_qs));
      bar->BenchBox().setCurrentIndex(bar->BenchBox().findText(u"bench-other"_qs));
      QCOMPARE(shown(), QStringList{u"bench-other"_qs});
      bar->BenchBox().setCurrentIndex(0);
      bar->EndBox().setCurrentIndex(bar->EndBox().findData(int(SessionEnd::Running)));
      QVERIFY(shown().contains(u"bench-follow"_qs));
      QVERIFY(!shown().contains(u"bench-other"_qs));
    }

    QString error;
    const auto reader = ServerSessionReader::Open(pgserver::Uri(), &error);
    QVERIFY2(reader, qPrintable(error));
    std::unique_ptr<ReviewWindow> review(
        OpenFollowing(pgserver::Uri(), reader->FindByUuid(uuid)->id));
    review->setAttribute(Qt::WA_DeleteOnClose, false);
    review->WaitForLoads();
    QCOMPARE(review->SourceCount(), 1);
    QCOMPARE(review->Source(0).Channel(1).size(), size_t(2));
    QVERIFY(labfixture::PutChunks(uuid, {{3, NowMs(), u"3 3880 100 3 25\n"_qs,
                                          Readings({3, 3880, 100, 3, 25}, std::nullopt)}}));
    QTRY_COMPARE_WITH_TIMEOUT(review->Source(0).Channel(1).size(), size_t(3), 3000);
    QCOMPARE(review->Source(0).Channel(1).back().voltage, 3880);
  }
};

int main(int argc, char** argv) {
  pgserver::RunUnderVirtualenv(argc, argv);
  QApplication app(argc, argv);
  TestLabWindow test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_labwindow.moc"
