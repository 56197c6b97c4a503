// The program's start-up as the user gets it, for orvanta-bench to time from
// outside: the same window on the real serial port as orvanta, which prints
// "painted" on stdout as soon as the window's first paint is done and exits.
#include <QApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "mainwindow.h"
#include "serialportdevice.h"

namespace {

// Reports once, after the paint that set it off has finished.
class FirstPaintProbe : public QObject {
 public:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint && !m_seen) {
      m_seen = true;
      QTimer::singleShot(0, [] {
        std::fputs("painted\n", stdout);
        std::fflush(stdout);
        // Tearing the window down is no part of the start-up.
        std::_Exit(0);
      });
    }
    return false;
  }

 private:
  bool m_seen = false;
};

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  MainWindowServices services;
  services.port = std::make_unique<SerialPortDevice>();
  MainWindow window(std::move(services));
  FirstPaintProbe probe;
  window.installEventFilter(&probe);
  window.show();
  return app.exec();
}
