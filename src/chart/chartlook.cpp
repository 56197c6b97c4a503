#include "chartlook.h"

#include <QToolBar>
#include <QVBoxLayout>

#include "qcustomplot.h"

namespace {
const QColor kGrid(80, 80, 80);
const QColor kSubGrid(45, 45, 45);
constexpr int kTickLabelPrecision = 10;
}  // namespace

QFont ChartSmallFont(bool bold) {
  QFont font;
  font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Microsoft Sans Serif"),
                    QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                    QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(8);
  font.setBold(bold);
  return font;
}

void StyleChartAxis(QCPAxis& axis, const QFont& labelFont) {
  axis.setBasePen(QPen(kChartText, 1));
  axis.setTickPen(QPen(kChartText, 1));
  axis.setSubTickPen(QPen(kChartText, 1));
  axis.setTickLabelColor(kChartText);
  axis.setTickLabelFont(ChartSmallFont());
  axis.setTickLabelRotation(0);
  axis.setNumberFormat(QStringLiteral("g"));
  axis.setNumberPrecision(kTickLabelPrecision);
  axis.setLabelColor(kChartText);
  axis.setLabelFont(labelFont);
  axis.grid()->setVisible(true);
  axis.grid()->setSubGridVisible(true);
  axis.grid()->setPen(QPen(kGrid, 1, Qt::SolidLine));
  axis.grid()->setSubGridPen(QPen(kSubGrid, 1, Qt::SolidLine));
  axis.grid()->setZeroLinePen(Qt::NoPen);
  axis.setRange(0, 100);
}

void StackToolbarOverPlot(QWidget& owner, QToolBar& toolbar, QWidget& plot) {
  auto* layout = new QVBoxLayout(&owner);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(&toolbar);
  layout->addWidget(&plot, 1);
}

void StyleChartToolbar(QToolBar& toolbar) {
  toolbar.setMovable(false);
  toolbar.setFloatable(false);
  toolbar.setOrientation(Qt::Horizontal);
  toolbar.setToolButtonStyle(Qt::ToolButtonTextOnly);
  toolbar.setStyleSheet(
      QStringLiteral("QToolBar { background: #202020; border: 0; spacing: 2px; }"
                     "QToolButton { color: white; padding: 1px 6px; }"
                     "QToolButton:hover { background: #3a3a3a; }"
                     "QToolButton:checked { background: #505050; }"
                     "QToolButton:focus { border: 1px dotted white; }"));
}

void StyleChartLegend(QCPLegend& legend) {
  legend.setVisible(true);
  legend.setFillOrder(QCPLegend::foRowsFirst);
  legend.setBorderPen(QPen(kChartLegendBorder, 1));
  legend.setFont(ChartSmallFont());
  legend.setTextColor(kChartText);
  legend.setSelectableParts(QCPLegend::spNone);
}
