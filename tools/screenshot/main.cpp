// Renders the real main window offscreen to a PNG, optionally after feeding
// it discharge frames through the real acquisition pass.
//
//   orvanta-screenshot [--out FILE] [--size WxH] [--frames N] [--log] [--notice]

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QPushButton>
#include <QTimer>
#include <cmath>

#include "mainwindow.h"
#include "replayport.h"

namespace {

// A plausible two-channel discharge frame at second `t` of `total`.
QString Frame(int t, int total) {
  const double progress = total > 1 ? double(t) / (total - 1) : 0.0;
  const int v1 = int(std::lround(1400 - 330 * std::pow(progress, 1.6)));
  const int v2 = int(std::lround(1392 - 350 * std::pow(progress, 1.8)));
  const int capacity1 = int(std::lround(500.0 * t / 3600.0));
  const int capacity2 = int(std::lround(498.0 * t / 3600.0));
  return QStringLiteral("$1,1,%1,%2,500,%3,25;1,%1,%4,498,%5,24\r\n")
      .arg(t)
      .arg(v1)
      .arg(capacity1)
      .arg(v2)
      .arg(capacity2);
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Renders the Orvanta window to a PNG."));
  parser.addHelpOption();
  const QCommandLineOption out(QStringLiteral("out"), QStringLiteral("PNG file to write."),
                               QStringLiteral("file"), QStringLiteral("orvanta.png"));
  const QCommandLineOption size(QStringLiteral("size"),
                                QStringLiteral("Client size WxH in logical pixels."),
                                QStringLiteral("WxH"), QStringLiteral("950x620"));
  const QCommandLineOption frames(QStringLiteral("frames"),
                                  QStringLiteral("Frames to feed through the acquisition pass."),
                                  QStringLiteral("n"), QStringLiteral("0"));
  const QCommandLineOption log(QStringLiteral("log"), QStringLiteral("Show the log pane."));
  const QCommandLineOption notice(QStringLiteral("notice"),
                                  QStringLiteral("End with the end-of-discharge notice."));
  parser.addOptions({out, size, frames, log, notice});
  parser.process(app);

  const QStringList wh = parser.value(size).split(u'x');
  bool okW = false;
  bool okH = false;
  const int width = wh.value(0).toInt(&okW);
  const int height = wh.value(1).toInt(&okH);
  bool okN = false;
  const int frameCount = parser.value(frames).toInt(&okN);
  if (wh.size() != 2 || !okW || !okH || width <= 0 || height <= 0 || !okN || frameCount < 0) {
    qCritical("bad --size or --frames");
    return 2;
  }

  auto port = std::make_unique<ReplayPort>();
  ReplayPort* replay = port.get();
  MainWindowServices services;
  services.port = std::move(port);
  MainWindow window(std::move(services));
  window.resize(width, height);
  window.show();

  if (frameCount > 0 || parser.isSet(notice)) {
    window.cmdOpenCOM->click();
    window.cmdStart->click();
    window.Timer1->stop();  // passes are driven here, not by the clock
    for (int t = 0; t < frameCount; ++t) {
      replay->Queue(Frame(t * 60, frameCount * 60));
      window.OnAcquisitionTick();
    }
    if (parser.isSet(notice)) {
      replay->Queue(QStringLiteral(" Exit from discharge .... "));
      window.OnAcquisitionTick();
    }
  }
  if (parser.isSet(log)) {
    window.Check3->click();
  }
  window.OnClockTick();
  QApplication::processEvents();

  if (!window.grab().save(parser.value(out))) {
    qCritical("could not write %s", qPrintable(parser.value(out)));
    return 1;
  }
  return 0;
}
