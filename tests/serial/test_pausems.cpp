// PauseMs waits at least its time on the monotonic clock, handles events
// meanwhile and sleeps rather than spins.

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>
#include <ctime>

#include "pausems.h"

namespace {

double ProcessCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1000 + double(t.tv_nsec) / 1e6;
}

}  // namespace

class TestPauseMs : public QObject {
  Q_OBJECT
 private slots:
  void waitsAtLeastTheTimeAndHandlesEvents_data();
  void waitsAtLeastTheTimeAndHandlesEvents();
  void nonPositiveHandlesPendingEventsOnly();
  void sleepsInsteadOfSpinning();
};

void TestPauseMs::waitsAtLeastTheTimeAndHandlesEvents_data() {
  QTest::addColumn<int>("ms");
  QTest::newRow("1") << 1;
  QTest::newRow("30") << 30;
  QTest::newRow("100, the port list's") << 100;
}

void TestPauseMs::waitsAtLeastTheTimeAndHandlesEvents() {
  QFETCH(int, ms);
  int ticks = 0;
  QTimer timer;
  timer.setInterval(0);
  connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
  timer.start();
  QElapsedTimer clock;
  clock.start();
  PauseMs(ms);
  QVERIFY2(clock.elapsed() >= ms, qPrintable(QString::number(clock.elapsed())));
  QVERIFY(ticks > 0);
}

void TestPauseMs::nonPositiveHandlesPendingEventsOnly() {
  bool ran = false;
  QTimer::singleShot(0, this, [&] { ran = true; });
  PauseMs(0);
  QVERIFY(ran);
  ran = false;
  QTimer::singleShot(0, this, [&] { ran = true; });
  PauseMs(-5);
  QVERIFY(ran);
}

void TestPauseMs::sleepsInsteadOfSpinning() {
  const double before = ProcessCpuMs();
  PauseMs(200);
  const double used = ProcessCpuMs() - before;
  // A spinning wait uses about all of its 200 ms.
  QVERIFY2(used < 100, qPrintable(QStringLiteral("%1 ms of CPU").arg(used)));
}

QTEST_MAIN(TestPauseMs)
#include "test_pausems.moc"
