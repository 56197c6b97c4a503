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
