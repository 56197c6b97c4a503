// A test-only program playing one bench: a copy of Orvanta that records
// port COM1 (ORVANTA_COM1, e.g. the charger simulator) into its own store
// and copies the store to the lab server.
//
//   benchchild DB URI BENCH RETRY_MS
//
// One pass every 10 ms, never before the previous pass's rows are committed.
// Prints "pass <n>" after each pass that recorded chunk n, "failing <why>"
// and "caught up" when the uploader's state changes, and "uploaded <n>"
// after each batch. A line "stop" on its standard input closes the port,
// waits until the server has everything (or 60 s) and exits 0.

#include <unistd.h>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <optional>

#include "clock.h"
#include "headlessbench.h"
#include "uploader.h"

namespace {

void Say(const QString& line) {
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() != 5) {
    std::fprintf(stderr, "benchchild: DB URI BENCH RETRY_MS\n");
    return 2;
  }
  const QString db = args[1];
  SystemClock clock;
  SessionRecording recording({.path = db, .bench = args[3], .keepUnconfirmed = true}, clock);
  Uploader uploader(
      {.batch = {.uri = args[2], .storePath = db, .bench = args[3]}, .retryMs = args[4].toInt()});
  QObject::connect(&recording.Store(), &SessionStore::Committed, &uploader, &Uploader::Wake);
  QObject::connect(&uploader, &Uploader::StateChanged, [](bool failing, const QString& error) {
    Say(failing ? QStringLiteral("failing ") + error : QStringLiteral("caught up"));
  });
  QObject::connect(&uploader, &Uploader::Uploaded,
                   [](qint64 chunks) { Say(QStringLiteral("uploaded %1").arg(chunks)); });
  int caughtUp = 0;
  QObject::connect(&uploader, &Uploader::CaughtUp, [&] { ++caughtUp; });

  SerialPortDevice port;
  if (!headless::OpenCom1(port, recording, "benchchild")) {
    return 1;
  }
  headless::PassLoop passes(recording, port, 10);

  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QObject::connect(&input, &QSocketNotifier::activated, [&] {
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n > 0 && !QByteArray(buffer, int(n)).contains("stop")) {
      return;
    }
    input.setEnabled(false);
    passes.Stop();
    recording.PortClosed();
    port.Close();
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(1); });
    // Once the end is stored: at most one upload pass may have begun before
    // that, so the second one to catch up after it has sent everything.
    std::optional<int> armed;
    QTimer* done = new QTimer(&app);
    QObject::connect(done, &QTimer::timeout, [&, armed]() mutable {
      if (!armed && recording.Store().Pending() == 0) {
        armed = caughtUp;
      }
      if (armed && caughtUp >= *armed + 2 && !uploader.Failing()) {
        QCoreApplication::exit(0);
      }
      uploader.Wake();
    });
    done->start(20);
  });
  return QCoreApplication::exec();
}
