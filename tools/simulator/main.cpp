// orvanta-charger: a simulated two-channel charger on a pseudo-terminal.
// Usage: orvanta-charger [options] LINK   (see --help)

#include <unistd.h>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "chargerscript.h"
#include "pseudoterminal.h"

namespace {

// The link is removed on the way out, whatever ends the program.
char g_linkPath[4096];

extern "C" void OnTerminate(int) {
  ::unlink(g_linkPath);
  ::_exit(0);
}

struct NumberOption {
  QCommandLineOption option;
  double* target;
};

// The chunk on one line: backslash, CR and LF written as \\, \r and \n.
std::string EscapeLineEnds(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("orvanta-charger"));

  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Simulates the two-channel charger: writes one telemetry frame a second to a "
                     "pseudo-terminal linked at LINK, then the end-of-discharge notice."));
  parser.addHelpOption();
  parser.addPositionalArgument(
      QStringLiteral("LINK"),
      QStringLiteral("path of the link to the terminal, e.g. /tmp/charger"));

  ChargerOptions options;
  double intervalMs = 1000;
  double malformed = 0, garbage = 0, split = 0, twice = 0;
  double pauseAt = -1, pauseFor = 0, awayAt = -1, awayFor = 0;
  const QString n = QStringLiteral("n");
  const NumberOption numbers[] = {
      {{QStringLiteral("duration"), QStringLiteral("Simulated seconds of the discharge (3000)."),
        n},
       &options.durationS},
      {{QStringLiteral("speed"), QStringLiteral("Simulated seconds per frame (1)."), n},
       &options.speed},
      {{QStringLiteral("interval-ms"), QStringLiteral("Real milliseconds per tick (1000)."), n},
       &intervalMs},
      {{QStringLiteral("malformed-every"),
        QStringLiteral("Every n-th frame has an empty voltage field."), n},
       &malformed},
      {{QStringLiteral("garbage-every"), QStringLiteral("Every n-th tick sends a noise line."), n},
       &garbage},
      {{QStringLiteral("split-every"), QStringLiteral("Every n-th frame spans two ticks."), n},
       &split},
      {{QStringLiteral("double-every"), QStringLiteral("Every n-th tick sends two frames."), n},
       &twice},
      {{QStringLiteral("pause-at"), QStringLiteral("Tick at which to fall silent."), n}, &pauseAt},
      {{QStringLiteral("pause-for"), QStringLiteral("Ticks of silence."), n}, &pauseFor},
      {{QStringLiteral("disappear-at"),
        QStringLiteral("Tick at which to close the terminal, like a pulled cable."), n},
       &awayAt},
      {{QStringLiteral("disappear-for"),
        QStringLiteral("Ticks before a new terminal appears at the same link."), n},
       &awayFor},
  };
  for (const NumberOption& o : numbers) {
    parser.addOption(o.option);
  }
  const QCommandLineOption oneChannel(QStringLiteral("one-channel"),
                                      QStringLiteral("Only channel 1 reports."));
  const QCommandLineOption repeat(QStringLiteral("repeat"),
                                  QStringLiteral("Start a new discharge after the notice."));
  const QCommandLineOption quitWhenDone(QStringLiteral("quit-when-done"),
                                        QStringLiteral("Exit after the notice."));
  const QCommandLineOption echo(
      QStringLiteral("echo"),
      QStringLiteral("Print each chunk sent as a line \"sent: TEXT\" (CR and LF as \\r and \\n)."));
  parser.addOptions({oneChannel, repeat, quitWhenDone, echo});
  parser.process(app);

  if (parser.positionalArguments().size() != 1) {
    std::fprintf(stderr, "orvanta-charger: give exactly one LINK path (see --help)\n");
    return 2;
  }
  for (const NumberOption& o : numbers) {
    if (parser.isSet(o.option)) {
      bool ok = false;
      *o.target = parser.value(o.option).toDouble(&ok);
      if (!ok) {
        std::fprintf(stderr, "orvanta-charger: --%s needs a number\n",
                     qPrintable(o.option.names().constFirst()));
        return 2;
      }
    }
  }
  options.oneChannel = parser.isSet(oneChannel);
  options.repeat = parser.isSet(repeat);
  options.malformedEvery = int(malformed);
  options.garbageEvery = int(garbage);
  options.splitEvery = int(split);
  options.doubleEvery = int(twice);
  options.pauseAt = int(pauseAt);
  options.pauseFor = int(pauseFor);
  options.disappearAt = int(awayAt);
  options.disappearFor = int(awayFor);

  const std::string link = parser.positionalArguments().constFirst().toStdString();
  if (link.size() >= sizeof g_linkPath) {
    std::fprintf(stderr, "orvanta-charger: link path too long\n");
    return 2;
  }
  std::strcpy(g_linkPath, link.c_str());
  struct sigaction action {};
  action.sa_handler = &OnTerminate;
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    sigaction(sig, &action, nullptr);
  }

  PseudoTerminal terminal;
  if (!terminal.Open(link)) {
    std::fprintf(stderr, "orvanta-charger: %s\n", terminal.Error().c_str());
    return 1;
  }
  std::printf("orvanta-charger: %s -> %s\n", link.c_str(), terminal.TerminalPath().c_str());
  std::fflush(stdout);

  ChargerScript script(options);
  const bool quit = parser.isSet(quitWhenDone);
  const bool echoSent = parser.isSet(echo);
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  timer.setInterval(std::max(1, int(intervalMs)));
  QObject::connect(&timer, &QTimer::timeout, [&] {
    // One tick after the notice, so a reader has it before the hang-up
    // (closing the terminal discards what is still unread).
    if (quit && script.Finished()) {
      QCoreApplication::quit();
      return;
    }
    const ChargerScript::Tick tick = script.Next();
    if (tick.deviceAway) {
      terminal.Close();
      return;
    }
    if (!terminal.IsOpen()) {
      if (!terminal.Open(link)) {
        std::fprintf(stderr, "orvanta-charger: %s\n", terminal.Error().c_str());
        QCoreApplication::exit(1);
        return;
      }
      std::printf("orvanta-charger: %s -> %s\n", link.c_str(), terminal.TerminalPath().c_str());
      std::fflush(stdout);
    }
    terminal.Write(tick.text);  // dropped when nobody reads: nothing to do about it
    if (echoSent && !tick.text.empty()) {
      std::printf("sent: %s\n", EscapeLineEnds(tick.text).c_str());
      std::fflush(stdout);
    }
  });
  timer.start();
  const int result = app.exec();
  terminal.Close();
  return result;
}
