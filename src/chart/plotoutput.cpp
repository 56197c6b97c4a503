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
  QCPPainter painter;
  if (!painter.begin(&printer)) {
    return false;
  }
  painter.setMode(QCPPainter::pmVectorized);
  painter.setMode(QCPPainter::pmNoCaching);
  const QRectF page = printer.pageRect(QPrinter::DevicePixel);
  const double scale = std::min(page.width() / size.width(), page.height() / size.height());
  painter.scale(scale, scale);
  plot.toPainter(&painter, size.width(), size.height());
  return painter.end();
}
