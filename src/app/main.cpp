#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QSettings>
#include <cstdio>

#include "celllabel.h"
#include "celllabeldialog.h"
#include "clock.h"
#include "commandline.h"
#include "lablaunch.h"
#include "labsettings.h"
#include "mainwindow.h"
#include "noticebox.h"
#include "portsettings.h"
#include "reviewlaunch.h"
#include "serialportdevice.h"
#include "serveroptions.h"
#include "sessionreader.h"
#include "sessionrecording.h"
#include "storeoptions.h"
#include "testnotifications.h"
#include "translations.h"
#include "uploader.h"
#include "usersettings.h"

namespace {

void DescribeCommandLine(QCommandLineParser& parser) {
  parser.addHelpOption();
  parser.addVersionOption();
  AddStoreOptions(parser);
  AddNotifyOptions(parser);
  AddLabOptions(parser);
  AddBenchOption(parser);
  parser.addOption(QCommandLineOption(
      QStringLiteral("review"),
      QCoreApplication::translate("main", "只打开历史记录窗口，并打开所列的会话或数据文件。")));
  parser.addOption(
      QCommandLineOption(QStringLiteral("port"),
                         QCoreApplication::translate(
                             "main",
                             "让串口列表中的 COMn 打开设备 DEVICE，例如 "
                             "COM3=/dev/ttyUSB0；可重复。也可写在设置文件 %1 的 [ports] "
                             "节中（每行 COMn=DEVICE），命令行优先。未指定的 COMn 打开环境变量 "
                             "ORVANTA_COMn 所指的设备，否则打开 /dev/ttyS(n-1)。")
                             .arg(QDir::toNativeSeparators(UserSettings().fileName())),
                         QStringLiteral("COMn=DEVICE")));
  for (const char* name : {"cell1", "cell2"}) {
    parser.addOption(QCommandLineOption(
        QString::fromLatin1(name),
        QCoreApplication::translate("main",
                                    "通道 %1 上电池的编号（例如 A0001），记在每个记录里；"
                                    "运行中可用图表工具栏的“电池编号”更改。")
            .arg(QLatin1Char(name[4])),
        QStringLiteral("LABEL")));
  }
  parser.addPositionalArgument(QStringLiteral("ID|latest|FILE"),
                               QCoreApplication::translate("main", "与 --review 一起使用。"),
                               QStringLiteral("[ID|latest|FILE…]"));
}

// The command line's assignments, then the settings file's; false (after
// saying why) when an assignment on the command line is malformed. A
// malformed entry in the file is reported and passed over.
bool ReadPortMap(const QCommandLineParser& parser, PortMap* map) {
  for (const QString& assignment : parser.values(QStringLiteral("port"))) {
    QString error;
    if (!map->Assign(assignment, &error)) {
      std::fprintf(stderr, "orvanta: --port: %s\n", qPrintable(error));
      return false;
    }
  }
  QSettings settings = UserSettings();
  for (const QString& problem : ReadPortSection(settings, *map)) {
    std::fprintf(stderr, "orvanta: %s: %s\n",
                 qPrintable(QDir::toNativeSeparators(settings.fileName())), qPrintable(problem));
  }
  return true;
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication::setApplicationVersion(QStringLiteral(ORVANTA_VERSION));
  if (AsksForHelpOrVersion(argc, argv)) {
    // The texts need no display; QApplication would abort without one.
    QCoreApplication app(argc, argv);
    InstallTranslations(app);
    QCommandLineParser parser;
    DescribeCommandLine(parser);
    parser.process(app);  // prints the text and exits
    return 0;
  }
  QApplication app(argc, argv);
  InstallTranslations(app);

  QCommandLineParser parser;
  DescribeCommandLine(parser);
  parser.process(app);
  StoreOptions store;
  QString error;
  if (!ReadStoreOptions(parser, qEnvironmentVariable("ORVANTA_STORE_LIMIT"), &store, &error)) {
    std::fprintf(stderr, "orvanta: %s\n", qPrintable(error));
    return 2;
  }
  PortMap ports;
  if (!ReadPortMap(parser, &ports)) {
    return 2;
  }
  SetPortMap(ports);

  const StoreOpener openStore = [path = store.path](QString* error) {
    return SessionReader::Open(path, error);
  };
  QSettings settings = UserSettings();
  const QString server = ConfiguredServer(ServerOption(parser), settings);
  if (LabAsked(parser)) {
    if (server.isEmpty()) {
      std::fprintf(stderr, "orvanta: %s\n",
                   qPrintable(QCoreApplication::translate(
                       "main",
                       "--lab 需要实验室服务器：用 --server URI、环境变量 ORVANTA_SERVER "
                       "或设置文件中的 server 键指定。")));
      return 2;
    }
    return RunLabWindow(server);
  }
  if (parser.isSet(QStringLiteral("review"))) {
    // With a lab server the window reads every bench's sessions from it.
    return server.isEmpty() ? RunReviewWindow(parser.positionalArguments(), openStore, store.path)
                            : RunServerReview(parser.positionalArguments(), server);
  }

  ServerOptions lab;
  if (!ReadServerOptions(server, parser, settings, &lab, &error)) {
    std::fprintf(stderr, "orvanta: %s\n", qPrintable(error));
    return 2;
  }

  // Declared before the window, so the session outlives every pass.
  SystemClock clock;
  std::unique_ptr<SessionRecording> recording;
  TestNotifications notifications(clock, QDBusConnection::sessionBus(),
                                  NotificationsEnabled(parser, settings));
  MainWindowServices services;
  services.port = std::make_unique<SerialPortDevice>();
  if (store.enabled) {
    recording = std::make_unique<SessionRecording>(
        SessionStore::Settings{.path = store.path,
                               .limitBytes = store.limitBytes,
                               .bench = lab.bench,
                               .keepUnconfirmed = !lab.uri.isEmpty()},
        clock);
    QObject::connect(&recording->Store(), &SessionStore::RecordingChanged, &notifications.Watch(),
                     &AttentionWatch::RecordingChanged);
  }
  // Copies the store to the lab server; declared after the recording, so it
  // stops first.
  std::unique_ptr<Uploader> uploader;
  if (recording && !lab.uri.isEmpty()) {
    uploader = std::make_unique<Uploader>(
        Uploader::Settings{.batch = {.uri = lab.uri, .storePath = store.path, .bench = lab.bench}});
    QObject::connect(&recording->Store(), &SessionStore::Committed, uploader.get(),
                     &Uploader::Wake);
  }
  PassRecorderPair recorders(recording.get(), &notifications.Watch());
  services.recorder = &recorders;
  services.portChanged = [&recording, &notifications](bool open, const QString& entry,
                                                      const QString& device) {
    if (recording && open) {
      recording->PortOpened(entry, device);
    } else if (recording) {
      recording->PortClosed();
    }
    notifications.Watch().PortChanged(open, entry, device);
  };
  MainWindow window(std::move(services));
  ConnectHistoryButton(*window.iPlotX, openStore, store.path);
  std::array<QString, 2> cells = {CleanCellLabel(parser.value(QStringLiteral("cell1"))),
                                  CleanCellLabel(parser.value(QStringLiteral("cell2")))};
  const auto applyCells = [&cells, &recording, &notifications](const std::array<QString, 2>& to) {
    cells = to;
    if (recording) {
      recording->SetCells(to);
    }
    notifications.SetCells(to);
  };
  applyCells(cells);
  ConnectCellsButton(
      *window.iPlotX, [&cells] { return cells; }, applyCells);
  if (recording) {
    recording->SetNotice([&window](const QString& text) {
      window.SetTitleNotice(TitleNotices::Slot::Recording, text);
    });
    recording->SetMessage([&window](const QString& text) { ShowNoticeBox(&window, text); });
  }
  if (uploader) {
    // The title says so while the server is behind because of a failure;
    // why, the first time, in a box (a wrong password needs the user), and
    // every time on the standard error.
    QObject::connect(uploader.get(), &Uploader::StateChanged, &window,
                     [&window, told = false](bool failing, const QString& error) mutable {
                       window.SetTitleNotice(TitleNotices::Slot::Server,
                                             failing ? Uploader::BehindNotice() : QString());
                       if (!failing) {
                         return;
                       }
                       std::fprintf(stderr, "orvanta: lab server: %s\n", qPrintable(error));
                       if (!std::exchange(told, true)) {
                         ShowNoticeBox(&window, QCoreApplication::translate(
                                                    "main",
                                                    "无法更新实验室服务器，记录照常保存在本机，"
                                                    "每 10 秒重试：%1")
                                                    .arg(error));
                       }
                     });
  }
  window.show();
  if (!store.warning.isEmpty()) {
    ShowNoticeBox(&window, store.warning);
  }
  return app.exec();
}
