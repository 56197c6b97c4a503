#include "pausems.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

void PauseMs(qint32 ms) {
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  if (ms <= 0) {
    return;
  }
  const QDeadlineTimer deadline(ms, Qt::PreciseTimer);
  while (!deadline.hasExpired()) {
    QEventLoop loop;
    QTimer::singleShot(std::max<qint64>(1, deadline.remainingTime()), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec(QEventLoop::AllEvents);
  }
}
