// Renders the real main window offscreen to a PNG, optionally after feeding
// it discharge frames through the real acquisition pass.
//
//   orvanta-screenshot [--out FILE] [--size WxH] [--frames N] [--log] [--notice]
//                      [--crop x,y,w,h] [--offset-channel1 S]
//   orvanta-screenshot --review [--out FILE] [--size WxH] [--report FILE] [--store FILE]
//                      [--grading FILE]
//   orvanta-screenshot --review --cycles [--out FILE] [--size WxH]
//   orvanta-screenshot --lab --server URI [--out FILE] [--size WxH]
//   the first two forms also take [--print-page FILE]
// --review renders the review window instead, comparing three simulated
// discharges aligned by capacity; --report also writes its report page
// (".pdf" or ".png"), --grading the grading window of the three cells.
// --print-page also writes the chart's (or the review
// plot's) page printed through a 1200 dpi PDF printer beside its saved PDF,
// both turned into pictures by pdftoppm. --cycles shows one cell's repeated
// discharges instead: the cycle table, and beside FILE the fade and the dQ/dV
// plots.
// --lab records four simulated benches into stores of their own, uploads
// them to the lab server URI as the uploader does and renders the live lab
// view of it; under pg_virtualenv, --server postgresql:// reaches
// its throw-away server.
// QT_SCALE_FACTOR=2 renders at twice the pixel density.

#include <QApplication>
#include <QCheckBox>
#include <QCommandLineParser>
#include <QPushButton>
#include <QTimer>
#include <memory>

#include "chargerscript.h"
#include "commandline.h"
#include "cyclerender.h"
#include "dischargechart.h"
#include "labrender.h"
#include "mainwindow.h"
#include "printcompare.h"
#include "replayport.h"
#include "reviewrender.h"
#include "translations.h"

// The context of the tool's translatable texts.
struct Screenshot {
  Q_DECLARE_TR_FUNCTIONS(Screenshot)
};

int main(int argc, char* argv[]) {
  // --help needs no display, which QApplication would abort without.
  const std::unique_ptr<QCoreApplication> app = AsksForHelpOrVersion(argc, argv)
                                                    ? std::make_unique<QCoreApplication>(argc, argv)
                                                    : std::make_unique<QApplication>(argc, argv);
  InstallTranslations(*app);
  QCommandLineParser parser;
  parser.setApplicationDescription(Screenshot::tr("把 Orvanta 窗口渲染为 PNG 图片。"));
  QCoreApplication::setApplicationVersion(QStringLiteral(ORVANTA_VERSION));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption out(QStringLiteral("out"), Screenshot::tr("要写入的 PNG 文件。"),
                               QStringLiteral("file"), QStringLiteral("orvanta.png"));
  const QCommandLineOption size(QStringLiteral("size"),
                                Screenshot::tr("客户区大小 宽x高（逻辑像素）。"),
                                QStringLiteral("WxH"), QStringLiteral("950x620"));
  const QCommandLineOption frames(QStringLiteral("frames"),
                                  Screenshot::tr("经采集过程送入的帧数。"), QStringLiteral("n"),
                                  QStringLiteral("0"));
  const QCommandLineOption log(QStringLiteral("log"), Screenshot::tr("显示数据窗口。"));
  const QCommandLineOption notice(QStringLiteral("notice"),
                                  Screenshot::tr("最后送入放电结束通知。"));
  const QCommandLineOption crop(QStringLiteral("crop"),
                                Screenshot::tr("只保留窗口的这一部分（逻辑像素）。"),
                                QStringLiteral("x,y,w,h"));
  const QCommandLineOption offset(QStringLiteral("offset-channel1"),
                                  Screenshot::tr("通道 1 的时间比通道 2 多出的秒数。"),
                                  QStringLiteral("s"), QStringLiteral("0"));
  const QCommandLineOption review(
      QStringLiteral("review"),
      Screenshot::tr("改为渲染历史记录窗口：按容量对齐比较三次模拟放电。"));
  const QCommandLineOption report(QStringLiteral("report"),
                                  Screenshot::tr("与 --review 一起使用：另写出报告页。"),
                                  QStringLiteral("file"));
  const QCommandLineOption store(QStringLiteral("store"),
                                 Screenshot::tr("与 --review 一起使用：列出此记录文件中的会话。"),
                                 QStringLiteral("file"));
  const QCommandLineOption cycles(
      QStringLiteral("cycles"),
      Screenshot::tr("与 --review 一起使用：改为显示一节电池的多次循环、容量衰减和 dQ/dV。"));
  const QCommandLineOption printPage(
      QStringLiteral("print-page"),
      Screenshot::tr("另写出一张 PNG：左边是保存的 PDF，右边是打印到 1200 dpi PDF 打印机的页面。"),
      QStringLiteral("file"));
  const QCommandLineOption lab(
      QStringLiteral("lab"),
      Screenshot::tr("改为渲染实验室窗口：先在 --server 所指的服务器上放四个模拟工作台的会话。"));
  const QCommandLineOption server(QStringLiteral("server"),
                                  Screenshot::tr("与 --lab 一起使用：实验室服务器的 URI。"),
                                  QStringLiteral("URI"));
  const QCommandLineOption grading(QStringLiteral("grading"),
                                   Screenshot::tr("与 --review 一起使用：另把分选窗口渲染成 PNG。"),
                                   QStringLiteral("file"));
  parser.addOptions({out, size, frames, log, notice, crop, offset, review, cycles, report, store,
                     printPage, lab, server, grading});
  parser.process(*app);

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

  if (parser.isSet(lab)) {
    // The lab view at its own opening size unless one is asked for.
    return RenderLabShot(parser.isSet(size) ? QSize(width, height) : QSize(), parser.value(out),
                         parser.value(server));
  }
  if (parser.isSet(review) && parser.isSet(cycles)) {
    return RenderCycleShot(QSize(width, height), parser.value(out), parser.value(report));
  }
  if (parser.isSet(review)) {
    return RenderReviewShot(QSize(width, height), parser.value(out), parser.value(report),
                            parser.value(store), parser.value(printPage), parser.value(grading));
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
    const int channel1Offset = parser.value(offset).toInt();
    for (int t = 0; t < frameCount; ++t) {
      QString frame = QString::fromStdString(script.Next().text);
      if (channel1Offset != 0) {
        // Channel 1's time is the third field of the frame.
        QStringList fields = frame.split(u',');
        if (fields.size() > 2) {
          fields[2] = QString::number(fields[2].toLongLong() + channel1Offset);
          frame = fields.join(u',');
        }
      }
      replay->Queue(frame);
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
  if (parser.isSet(printPage)) {
    DischargeChart* chart = window.iPlotX;
    return RenderPrintComparison([&](QPrinter& printer) { return chart->PrintTo(printer); },
                                 [&](const QString& path) { return chart->SaveImage(path); },
                                 parser.value(printPage));
  }
  return 0;
}
