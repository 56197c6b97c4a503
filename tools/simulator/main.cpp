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
#include "translations.h"

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

// The context of the simulator's translatable texts.
struct Simulator {
  Q_DECLARE_TR_FUNCTIONS(Simulator)
};

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("orvanta-charger"));
  QCoreApplication::setApplicationVersion(QStringLiteral(ORVANTA_VERSION));
  InstallTranslations(app);

  QCommandLineParser parser;
  parser.setApplicationDescription(Simulator::tr(
      "模拟双通道充放电仪：每秒向链接 LINK 所指的伪终端写一帧遥测数据，最后发出放电结束通知。"));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addPositionalArgument(QStringLiteral("LINK"),
                               Simulator::tr("指向终端的链接路径，例如 /tmp/charger"));

  ChargerOptions options;
  double intervalMs = 1000;
  double malformed = 0, garbage = 0, split = 0, twice = 0;
  double pauseAt = -1, pauseFor = 0, awayAt = -1, awayFor = 0;
  const QString n = QStringLiteral("n");
  const NumberOption numbers[] = {
      {{QStringLiteral("duration"), Simulator::tr("模拟放电的秒数（3000）。"), n},
       &options.durationS},
      {{QStringLiteral("speed"), Simulator::tr("每帧模拟的秒数（1）。"), n}, &options.speed},
      {{QStringLiteral("interval-ms"), Simulator::tr("每个节拍的实际毫秒数（1000）。"), n},
       &intervalMs},
      {{QStringLiteral("malformed-every"), Simulator::tr("每第 n 帧的电压字段为空。"), n},
       &malformed},
      {{QStringLiteral("garbage-every"), Simulator::tr("每第 n 个节拍发送一行噪声。"), n},
       &garbage},
      {{QStringLiteral("split-every"), Simulator::tr("每第 n 帧分两个节拍发送。"), n}, &split},
      {{QStringLiteral("double-every"), Simulator::tr("每第 n 个节拍发送两帧。"), n}, &twice},
      {{QStringLiteral("pause-at"), Simulator::tr("从第几个节拍起停止发送。"), n}, &pauseAt},
      {{QStringLiteral("pause-for"), Simulator::tr("停止发送的节拍数。"), n}, &pauseFor},
      {{QStringLiteral("disappear-at"), Simulator::tr("在第几个节拍关闭终端，如同拔掉线缆。"), n},
       &awayAt},
      {{QStringLiteral("disappear-for"), Simulator::tr("经过多少节拍后同一链接出现新的终端。"), n},
       &awayFor},
  };
  for (const NumberOption& o : numbers) {
    parser.addOption(o.option);
  }
  const QCommandLineOption oneChannel(QStringLiteral("one-channel"),
                                      Simulator::tr("只有通道 1 上报数据。"));
  const QCommandLineOption repeat(QStringLiteral("repeat"),
                                  Simulator::tr("通知之后开始新一轮放电。"));
  const QCommandLineOption quitWhenDone(QStringLiteral("quit-when-done"),
                                        Simulator::tr("通知之后退出。"));
  const QCommandLineOption echo(
      QStringLiteral("echo"),
      Simulator::tr(
          "每发送一段数据，就在标准输出打印一行 \"sent: 数据\"（CR、LF 写作 \\r、\\n）。"));
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
