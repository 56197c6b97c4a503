// Long runs and hostile input through the real window: what was fed is what
// the log, the traces and the readouts hold, whatever the port delivers.

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#ifdef Q_OS_LINUX
#include <unistd.h>
#endif

#include "dischargechart.h"
#include "fakeservices.h"
#include "logpane.h"
#include "mainwindow.h"
#include "replayport.h"
#include "segmentreadout.h"
#include "snapshotfile.h"
#include "textboxes.h"
#include "windowharness.h"

#if defined(__SANITIZE_ADDRESS__)
#define ORVANTA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVANTA_ASAN 1
#endif
#endif

namespace {

// A window acquiring from a replay port; the test drives each pass.
struct Rig : WindowOn<ReplayPort> {
  Rig() {
    window->cmdOpenCOM->click();
    window->cmdStart->click();
    window->Timer1->stop();  // passes are driven by the test, one per simulated second
  }

  void Pass(const QString& chunk) {
    port->Queue(chunk);
    window->OnAcquisitionTick();
    clock.Advance(1000);
  }
};

QString Frame(int t, int v1, int v2) {
  return QStringLiteral("$1,1,%1,%2,500,%3,25;1,%1,%4,498,%5,24\r\n")
      .arg(t)
      .arg(v1)
      .arg(t / 7)
      .arg(v2)
      .arg(t / 8);
}

qint64 ResidentKib() {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly)) {
    return -1;
  }
  for (const QByteArray& line : status.readAll().split('\n')) {
    if (line.startsWith("VmRSS:")) {
      return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
  }
  return -1;
}

}  // namespace

class TestLongRun : public QObject {
  Q_OBJECT

 private slots:
  // 20,000 passes: every frame lands, in order, and nothing is dropped or
  // doubled in the log or the traces.
  void soak() {
    constexpr int kPasses = 20'000;
    Rig rig;
    QString fed;
    [[maybe_unused]] qint64 rssAtQuarter = 0;
    QRandomGenerator random(20261207);
    int expectedPoints = 0;
    for (int t = 0; t < kPasses; ++t) {
      const int v1 = 1400 - t / 50;
      const int v2 = 1390 - t / 45;
      // Every hundredth second brings a garbage line instead of a frame.
      const QString chunk = t % 100 == 99 ? QStringLiteral("garbage %1\r\n").arg(random.generate())
                                          : Frame(t, v1, v2);
      if (t % 100 != 99) {
        ++expectedPoints;
      }
      fed += chunk;
      rig.Pass(chunk);
      if (t % 50 == 0) {
        QCoreApplication::processEvents();
      }
      if (t == kPasses / 4) {
        rssAtQuarter = ResidentKib();
      }
    }
    QCoreApplication::processEvents();

    MainWindow& w = rig.W();
    QCOMPARE(w.RichText1->Text(), fed);
    QCOMPARE(w.iPlotX->PointCount(0), expectedPoints);
    QCOMPARE(w.iPlotX->PointCount(1), expectedPoints);
    const int last = kPasses - 2;  // the last pass was garbage
    QCOMPARE(w.iPlotX->Point(0, expectedPoints - 1), QPointF(last, 1400 - last / 50));
    QCOMPARE(w.iPlotX->Point(1, expectedPoints - 1), QPointF(last, 1390 - last / 45));
    QCOMPARE(w.iSSi_T1->GetValue(), last);
    QCOMPARE(w.iSSi_R2->GetValue(), last / 8);
    QCOMPARE(w.Text3->text(), u"1"_qs);
    QCOMPARE(w.Text11->text(), u"就绪"_qs);

#ifndef ORVANTA_ASAN
    // Three quarters of the run add about 0.75 * (log text in UTF-16 + two
    // traces of points); the process may grow by a few times that, not more.
    const qint64 grownKib = ResidentKib() - rssAtQuarter;
    const qint64 dataKib = (fed.size() * 2 + 2 * kPasses * 16) * 3 / 4 / 1024;
    QVERIFY2(
        grownKib < 4 * dataKib + 8 * 1024,
        qPrintable(QStringLiteral("grew %1 KiB for %2 KiB of data").arg(grownKib).arg(dataKib)));
#endif
  }

  // One pass that reads a megabyte of garbage and frames completes, keeps the
  // log exact, and the window still answers afterwards.
  void flood() {
    Rig rig;
    QString chunk;
    QRandomGenerator random(7);
    while (chunk.size() < 1'000'000) {
      switch (random.bounded(4)) {
        case 0:
          chunk += Frame(int(random.bounded(100000)), 1300, 1200);
          break;
        case 1:
          for (int i = 0; i < 200; ++i) {
            chunk += QChar(char16_t(random.bounded(1, 0xD7FF)));
          }
          break;
        case 2:
          chunk += QString(5000, u'9');
          break;
        default:
          chunk += QString::fromUtf16(u",;, ;;\r\n\u0000$1,", 12);
      }
    }
    rig.Pass(chunk);
    QCoreApplication::processEvents();
    QCOMPARE(rig.W().RichText1->Text(), chunk);
    QCOMPARE(rig.W().Text2->Text(), chunk);

    // Still responsive: the next ordinary pass is applied as usual.
    rig.Pass(Frame(5, 1111, 1222));
    QCOMPARE(rig.W().iSSi_V1->GetValue(), 1111);
    QCOMPARE(rig.W().Text11->text(), u"就绪"_qs);
    QCOMPARE(rig.W().RichText1->Text(), chunk + Frame(5, 1111, 1222));
    rig.W().Check3->click();
    QVERIFY(!rig.W().RichText1->grab().isNull());
  }

  // Hostile text reaches the log and the snapshot literally: no markup is
  // interpreted, control characters and NUL survive, long lines are kept.
  void hostileText_data() {
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<QByteArray>("savedAs");  // the log line in the file
    QTest::newRow("markup") << u"<b>x</b><img src=\"a.png\"><script>1</script>"_qs
                            << QByteArray("<b>x</b><img src=\"a.png\"><script>1</script>");
    QTest::newRow("control characters") << QString::fromUtf16(u"\u0001\u0007\u001b[31m\t\b", 8)
                                        << QByteArray("\x01\x07\x1b[31m\t\b", 8);
    QTest::newRow("NUL inside") << QString::fromUtf16(u"a\u0000b", 3) << QByteArray("a\0b", 3);
    QTest::newRow("replacement characters from invalid GBK")
        << QString::fromUtf16(u"\uFFFD\uFFFD1", 3) << QByteArray("??1");
    QTest::newRow("outside GBK") << QString::fromUtf16(u"\U0001F600x") << QByteArray("?x");
    QTest::newRow("very long line") << QString(200'000, u'A') << QByteArray(200'000, 'A');
    QTest::newRow("Chinese") << u"电压"_qs << QByteArray("\xB5\xE7\xD1\xB9");
  }
  void hostileText() {
    QFETCH(QString, chunk);
    QFETCH(QByteArray, savedAs);
    Rig rig;
    rig.Pass(chunk);
    rig.W().Check3->click();
    QCoreApplication::processEvents();
    QCOMPARE(rig.W().RichText1->Text(), chunk);
    QVERIFY(!rig.W().grab().isNull());

    QTemporaryDir dir;
    rig.W().TxtSavePath->setText(dir.path());
    rig.W().CmdSaveDisp->click();
    QFile file(SnapshotFileName(dir.path()));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const qsizetype headerEnd = bytes.indexOf("\r\n");
    QVERIFY(headerEnd > 0);
    QCOMPARE(bytes.mid(headerEnd + 2), savedAs + "\r\n");
    QCOMPARE(rig.W().TxtSavePath->text(), u"OK,Data1.txt Saving!"_qs);
  }

  // A save into a full file system leaves the earlier data1.txt as it was,
  // leaves no partial file, and shows no confirmation.
  void diskFull() {
#ifdef Q_OS_LINUX
    if (geteuid() != 0) {
      QSKIP("mounting a small file system needs root");
    }
    QTemporaryDir dir;
    const QString mountPoint = dir.path();
    if (QProcess::execute(QStringLiteral("mount"), {u"-t"_qs, u"tmpfs"_qs, u"-o"_qs, u"size=64k"_qs,
                                                    u"tmpfs"_qs, mountPoint}) != 0) {
      QSKIP("this machine does not allow mounting a tmpfs");
    }
    const auto unmount =
        qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {mountPoint}); });

    Rig rig;
    rig.Pass(Frame(1, 1300, 1200));
    rig.W().TxtSavePath->setText(mountPoint);
    rig.W().CmdSaveDisp->click();
    QFile first(SnapshotFileName(mountPoint));
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QByteArray before = first.readAll();
    first.close();
    QVERIFY(before.contains("$1,1,1,1300"));
    rig.clock.Advance(6000);
    QTRY_VERIFY(rig.W().CmdSaveDisp->isEnabled());

    // Now log more than the file system can hold and save again.
    rig.Pass(QString(200'000, u'x'));
    rig.W().CmdSaveDisp->click();
    QCOMPARE(rig.W().TxtSavePath->text(), mountPoint);
    QVERIFY(rig.W().CmdSaveDisp->isEnabled());
    QVERIFY(first.open(QIODevice::ReadOnly));
    QCOMPARE(first.readAll(), before);
    QCOMPARE(QDir(mountPoint).entryList(QDir::Files | QDir::Hidden), QStringList{u"data1.txt"_qs});
#else
    QSKIP("needs a Linux tmpfs");
#endif
  }
};

QTEST_MAIN(TestLongRun)
#include "test_longrun.moc"
