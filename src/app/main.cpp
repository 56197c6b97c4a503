#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "clock.h"
#include "mainwindow.h"
#include "reviewlaunch.h"
#include "serialportdevice.h"
#include "sessionreader.h"
#include "sessionrecording.h"
#include "storeoptions.h"
#include "translations.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  InstallTranslations(app);

  QCommandLineParser parser;
  parser.addHelpOption();
  AddStoreOptions(parser);
  const QCommandLineOption review(
      QStringLiteral("review"),
      QCoreApplication::translate("main", "只打开历史记录窗口，并打开所列的会话或数据文件。"));
  parser.addOption(review);
  parser.addPositionalArgument(QStringLiteral("ID|latest|FILE"),
                               QCoreApplication::translate("main", "与 --review 一起使用。"),
                               QStringLiteral("[ID|latest|FILE…]"));
  parser.process(app);
  StoreOptions store;
  QString error;
  if (!ReadStoreOptions(parser, qEnvironmentVariable("ORVANTA_STORE_LIMIT"), &store, &error)) {
    std::fprintf(stderr, "orvanta: %s\n", qPrintable(error));
    return 2;
  }

  const StoreOpener openStore = [path = store.path](QString* error) {
    return SessionReader::Open(path, error);
  };
  if (parser.isSet(review)) {
    return RunReviewWindow(parser.positionalArguments(), openStore);
  }

  // Declared before the window, so the session outlives every pass.
  SystemClock clock;
  std::unique_ptr<SessionRecording> recording;
  MainWindowServices services;
  services.port = std::make_unique<SerialPortDevice>();
  if (store.enabled) {
    recording = std::make_unique<SessionRecording>(
        SessionStore::Settings{.path = store.path, .limitBytes = store.limitBytes}, clock);
    services.recorder = recording.get();
    services.portChanged = recording->PortHandler();
  }
  MainWindow window(std::move(services));
  ConnectHistoryButton(*window.iPlotX, openStore);
  if (recording) {
    recording->SetNotice([&window](const QString& text) {
      window.SetTitleNotice(TitleNotices::Slot::Recording, text);
    });
  }
  window.show();
  return app.exec();
}
