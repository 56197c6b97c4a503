// A test-only program that plays one copy of Orvanta against a store file,
// for the tests that need a separate process:
//
//   storechild acquire DB TICK_MS   reads port COM1 (ORVANTA_COM1) through
//       the real port layer and acquisition pass with the store on, one pass
//       every TICK_MS but never before the previous pass's rows are
//       committed (as the 1 s tick allows in the program); prints
//       "pass <n>" after each pass that recorded chunk n. Runs until killed.
//   storechild write DB PORT PASSES   records PASSES frames as fast as it
//       can on port PORT, closes the session and exits 0 once all is stored.
//   storechild lock DB   takes the store's write lock, prints "locked" and
//       holds it until its standard input closes.

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <cstdio>
#include <iostream>

#include "clock.h"
#include "headlessbench.h"
#include "replayport.h"

namespace {

using headless::Targets;

int Acquire(const QString& db, int tickMs) {
  SystemClock clock;
  SessionRecording recording({.path = db}, clock);
  SerialPortDevice port;
  if (!headless::OpenCom1(port, recording, "storechild")) {
    return 1;
  }
  headless::PassLoop passes(recording, port, tickMs);
  return QCoreApplication::exec();
}

QString Frame(int i) {
  return QStringLiteral("$1,1,%1,%2,500,%3,25;1,%1,%4,498,%3,24\r\n")
      .arg(i)
      .arg(1400 - i % 400)
      .arg(i / 7)
      .arg(1390 - i % 390);
}

int Write(const QString& db, const QString& portName, int passes) {
  SystemClock clock;
  bool ok = true;
  {
    SessionRecording recording({.path = db}, clock);
    QObject::connect(&recording.Store(), &SessionStore::RecordingChanged,
                     [&](bool on, const QString& error) {
                       if (!on) {
                         std::fprintf(stderr, "storechild: %s\n", qPrintable(error));
                         ok = false;
                       }
                     });
    ReplayPort port;
    recording.PortOpened(portName, u"replay"_qs);
    Targets targets;
    for (int i = 1; i <= passes; ++i) {
      port.Queue(Frame(i));
      RunAcquisitionPass(targets.For(port, recording));
      QCoreApplication::processEvents();
    }
    recording.PortClosed();
    while (recording.Store().Pending() > 0 && ok) {
      QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
  }
  return ok ? 0 : 1;
}

int Lock(const QString& path) {
  QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_qs);
  db.setDatabaseName(path);
  QSqlQuery q(db);
  if (!db.open() || !q.exec(u"BEGIN IMMEDIATE"_qs)) {
    std::fprintf(stderr, "storechild: cannot lock %s\n", qPrintable(path));
    return 1;
  }
  std::printf("locked\n");
  std::fflush(stdout);
  std::string line;
  while (std::getline(std::cin, line)) {
  }
  q.exec(u"ROLLBACK"_qs);
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  const QString mode = args.value(1);
  if (mode == u"acquire" && args.size() == 4) {
    return Acquire(args[2], args[3].toInt());
  }
  if (mode == u"write" && args.size() == 5) {
    return Write(args[2], args[3], args[4].toInt());
  }
  if (mode == u"lock" && args.size() == 3) {
    return Lock(args[2]);
  }
  std::fprintf(stderr, "storechild: acquire DB TICK_MS | write DB PORT PASSES | lock DB\n");
  return 2;
}
