#include <QApplication>

#include "mainwindow.h"
#include "serialportdevice.h"
#include "translations.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  InstallTranslations(app);
  MainWindowServices services;
  services.port = std::make_unique<SerialPortDevice>();
  MainWindow window(std::move(services));
  window.show();
  return app.exec();
}
