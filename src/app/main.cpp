#include <QApplication>

#include "mainwindow.h"
#include "reviewlaunch.h"
#include "serialportdevice.h"
#include "sessionreader.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  const StoreOpener openStore = [](QString* error) {
    return SessionReader::Open(DefaultStorePath(), error);
  };
  // orvanta --review [ID|latest|FILE…]: the review window alone.
  const QStringList args = QApplication::arguments();
  if (const qsizetype at = args.indexOf(QStringLiteral("--review")); at > 0) {
    return RunReviewWindow(args.mid(at + 1), openStore);
  }
  MainWindowServices services;
  services.port = std::make_unique<SerialPortDevice>();
  MainWindow window(std::move(services));
  ConnectHistoryButton(*window.iPlotX, openStore);
  window.show();
  return app.exec();
}
