#include "plotoutput.h"

#include <QPrinter>
#include <algorithm>

#include "qcustomplot.h"

void ScalePlotAxes(QCustomPlot& plot, double factor) {
  for (QCPAxis* axis : {plot.xAxis, plot.yAxis}) {
    axis->scaleRange(factor);
  }
}

bool SavePlotImage(QCustomPlot& plot, const QString& path, QSize size) {
  if (path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
    return plot.savePdf(path, size.width(), size.height());
  }
  return plot.savePng(path, size.width(), size.height());
}

bool PrintPlot(QCustomPlot& plot, QPrinter& printer, QSize size) {
  if (size.isEmpty()) {
    return false;
  }
  // The plot is laid out in the screen's pixels, its fonts in points. A
  // printer turns points into its own pixels (1200 dpi and more), so a plot
  // drawn at the printer's resolution and then scaled to the page would have
  // its texts enlarged twice. The page is painted at the plot's own
  // resolution instead, as "保存图像" paints its PDF: a printed page is vector
  // graphics either way, only its unit changes.
  const int resolution = printer.resolution();
  printer.setResolution(plot.logicalDpiY());
  QCPPainter painter;
  bool painted = painter.begin(&printer);
  if (painted) {
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    // The painter's origin is the printable area's top-left corner; the plot
    // is scaled to fit it and centred across it.
    const QRectF page = printer.pageRect(QPrinter::DevicePixel);
    const double scale = std::min(page.width() / size.width(), page.height() / size.height());
    painter.translate((page.width() - scale * size.width()) / 2, 0);
    painter.scale(scale, scale);
    plot.toPainter(&painter, size.width(), size.height());
    painted = painter.end();
  }
  printer.setResolution(resolution);
  return painted;
}
