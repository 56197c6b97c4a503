// Renders the real main window offscreen to a PNG, optionally after feeding
// it discharge frames through the real acquisition pass.
//
//   orvanta-screenshot [--out FILE] [--size WxH] [--frames N] [--log] [--notice]
//                      [--crop x,y,w,h]
//   orvanta-screenshot --review [--out FILE] [--size WxH] [--report FILE] [--store FILE]
// --review renders the review window instead, comparing three simulated
// discharges aligned by capacity; --report also writes its report page
// (".pdf" or ".png").
// QT_SCALE_FACTOR=2 renders at twice the pixel density.

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QPushButton>
#include <QTimer>

#include "chargerscript.h"
#include "mainwindow.h"
#include "replayport.h"
#include "reviewrender.h"

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
  const QCommandLineOption crop(QStringLiteral("crop"),
                                QStringLiteral("Keep only this part of the window (logical px)."),
                                QStringLiteral("x,y,w,h"));
  const QCommandLineOption review(QStringLiteral("review"),
                                  QStringLiteral("Render the review window comparing three "
                                                 "simulated discharges by capacity."));
  const QCommandLineOption report(QStringLiteral("report"),
                                  QStringLiteral("With --review: also write the report page."),
                                  QStringLiteral("file"));
  const QCommandLineOption store(QStringLiteral("store"),
                                 QStringLiteral("With --review: list the sessions of this store."),
                                 QStringLiteral("file"));
  parser.addOptions({out, size, frames, log, notice, crop, review, report, store});
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

  if (parser.isSet(review)) {
    return RenderReviewShot(QSize(width, height), parser.value(out), parser.value(report),
                            parser.value(store));
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
    // A discharge compressed into the frames asked for, as the simulator sends it.
    ChargerOptions options;
    options.speed = 60;
    options.durationS = 60.0 * frameCount;
    ChargerScript script(options);
    for (int t = 0; t < frameCount; ++t) {
      replay->Queue(QString::fromStdString(script.Next().text));
      window.OnAcquisitionTick();
    }
    if (parser.isSet(notice)) {
      replay->Queue(QString::fromLatin1(kEndOfDischarge));
      window.OnAcquisitionTick();
    }
  }
  if (parser.isSet(log)) {
    window.Check3->click();
  }
  window.OnClockTick();
  QApplication::processEvents();

  QRect area = window.rect();
  if (parser.isSet(crop)) {
    const QStringList parts = parser.value(crop).split(u',');
    if (parts.size() == 4) {
      area = QRect(parts[0].toInt(), parts[1].toInt(), parts[2].toInt(), parts[3].toInt());
    }
  }
  if (!window.grab(area).save(parser.value(out))) {
    qCritical("could not write %s", qPrintable(parser.value(out)));
    return 1;
  }
  return 0;
}
