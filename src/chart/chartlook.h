#pragma once

#include <QColor>
#include <QFont>

class QCPAxis;
class QCPLegend;
class QToolBar;
class QWidget;

// The look the live chart and the review plot share: white text, axes and
// grey grids on black, the small sans-serif face for tick labels and legends.
inline const QColor kChartBackground(0, 0, 0);
inline const QColor kChartText(255, 255, 255);
inline const QColor kChartLegendBorder(128, 128, 128);

// Tick labels and legend, 8 pt: MS Sans Serif where installed, else a
// metric-compatible or plain sans face.
QFont ChartSmallFont(bool bold = false);

// White base line, ticks and labels, grid and sub-grid lines, no zero line,
// tick labels with up to 10 significant digits; the axis title in
// `labelFont`.
void StyleChartAxis(QCPAxis& axis, const QFont& labelFont);

// The toolbar above the plot, the plot taking all the height left, edge to
// edge in `owner`.
void StackToolbarOverPlot(QWidget& owner, QToolBar& toolbar, QWidget& plot);

// The dark text-only toolbar above a plot, fixed in place.
void StyleChartToolbar(QToolBar& toolbar);

// A legend shown in rows, grey frame, white small text, not selectable; the
// fill is the caller's.
void StyleChartLegend(QCPLegend& legend);
