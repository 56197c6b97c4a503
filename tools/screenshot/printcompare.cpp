#include "printcompare.h"

#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>

namespace {

constexpr int kRasterDpi = 72;  // one pixel a point
constexpr int kGap = 24;        // px between the two pictures

// The PDF's first page as a picture, or a null image when pdftoppm fails.
QImage RasterOf(const QString& pdf, const QString& stem) {
  QProcess tool;
  tool.start(QStringLiteral("pdftoppm"),
             {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(kRasterDpi),
              QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1"),
              QStringLiteral("-singlefile"), pdf, stem});
  if (!tool.waitForFinished(60000) || tool.exitCode() != 0) {
    qCritical("pdftoppm (poppler-utils) could not render %s: %s", qPrintable(pdf),
              qPrintable(tool.errorString()));
    return {};
  }
  return QImage(stem + QStringLiteral(".png"));
}

}  // namespace

int RenderPrintComparison(const std::function<bool(QPrinter&)>& print,
                          const std::function<bool(const QString&)>& save, const QString& out) {
  QTemporaryDir dir;
  const QString saved = dir.filePath(QStringLiteral("saved.pdf"));
  const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(printed);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageOrientation(QPageLayout::Landscape);
  if (!save(saved) || !print(printer)) {
    qCritical("could not save or print the plot");
    return 1;
  }
  const QImage left = RasterOf(saved, dir.filePath(QStringLiteral("saved")));
  const QImage right = RasterOf(printed, dir.filePath(QStringLiteral("printed")));
  if (left.isNull() || right.isNull()) {
    return 1;
  }
  QImage sheet(left.width() + kGap + right.width(), std::max(left.height(), right.height()),
               QImage::Format_RGB32);
  sheet.fill(QColor(160, 160, 160));
  QPainter painter(&sheet);
  painter.drawImage(0, 0, left);
  painter.drawImage(left.width() + kGap, 0, right);
  painter.end();
  if (!sheet.save(out)) {
    qCritical("could not write %s", qPrintable(out));
    return 1;
  }
  return 0;
}
