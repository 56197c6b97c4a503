#pragma once

#include <QColor>
#include <QRect>
#include <QRegion>
#include <functional>

#include "qcustomplot.h"

// The chart's QCustomPlot with a cheaper paint and a redraw of the traces
// alone.
//
// Layers, bottom to top: QCustomPlot's own (background, grid, main, axes,
// legend, overlay), which share one paint buffer, then "traces", which has a
// buffer of its own and takes every plottable and item created after the
// plot (the trace runs, their connectors and the data cursor). The lowest
// layer starts with a backdrop that fills the whole plot in one colour, so
// the shared buffer is opaque: a paint copies it to the screen instead of
// blending it over a filled background, then blends the traces' buffer over
// the part of the plot they can reach.
//
// The axes' grids are drawn by one layerable on the grid layer, which draws
// the lines of each pen in one call, as they would draw them one by one; the
// QCPGrid objects keep their settings and visibility, on a hidden layer.
//
// When the axes and everything but the traces are as last drawn, a new point
// needs only ReplotTraces: the traces' buffer is redrawn and repainted only
// where pixels changed.
//
// The layers are drawn for DrawnXRange, the X axis's range moved up by less
// than a pixel so that its lower end falls on a whole pixel counted from
// x = 0; the axis keeps its own range the rest of the time. A range that
// scrolls by a second at a time, a fifth of a pixel at the chart's size,
// then moves the picture a whole pixel every few seconds, and the ticks in
// between change only the pixels of the new points.
class ChartPlot : public QCustomPlot {
 public:
  explicit ChartPlot(QWidget* parent = nullptr);

  QCPRange DrawnXRange() const;
  // The X range every layer was last drawn for; a redraw of the traces alone
  // matches them only while DrawnXRange equals it.
  QCPRange LayersXRange() const { return m_layersX; }

  void SetBackdrop(const QColor& colour);
  QColor Backdrop() const;
  QCPLayer* TraceLayer() const { return m_traceLayer; }
  // The region, in plot pixels, that the traces layer's drawing can reach;
  // empty means the whole plot.
  void SetTraceReach(const QRect& reach) { m_traceReach = reach; }
  // Redraws and repaints the traces layer alone, within the part of its
  // reach inside `changed`: the pixels whose look the caller knows to have
  // changed. Falls back on a full replot when the paint buffers are not
  // ready.
  void ReplotTraces(const QRect& changed);
  // Redraws every layer, as QCustomPlot::replot does, then repaints the plot
  // but for what opaque controls above it cover.
  void ReplotAll();
  // For a new X range and nothing else changed: the layout stays as it is,
  // the X axis takes its new ticks, and the layers are redrawn only from the
  // top of the plot area down, across the whole plot (the X axis's end
  // labels may reach past the plot area); the title band above keeps its
  // pixels.
  void ReplotScrolled();
  // The same where the caller knows what else changed in the traces:
  // `changed` holds, in plot pixels for the new range, every column whose
  // traces differ from the last drawing moved along with the range (the
  // columns of new points). When the range moved up by whole pixels and
  // the traces draw the same moved (see ColumnGraph), their buffer is moved
  // left instead of redrawn, and only the columns it brings in and
  // `changed` are drawn.
  void ReplotScrolled(const QRect& changed);
  // Number of scrolled redraws so far that moved the traces' picture
  // instead of redrawing it.
  int TraceMoves() const { return m_traceMoves; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect Reach() const;
  void RedrawTraceBuffer(QCPAbstractPaintBuffer& buffer);
  void Scroll(const QRect* changed);
  // Moves the traces' buffer from the range `before` to the axis's range
  // and draws what the move brings in and `changed`; false where that
  // would not give what a full redraw gives.
  bool MoveTraces(QCPAbstractPaintBuffer& buffer, const QCPRange& before, const QRect& changed);
  bool TracesDrawSameMovedBy(int pixels, const QCPRange& before) const;
  // Puts DrawnXRange on the X axis for drawing, and the axis's own range
  // back; the axis's signals stay quiet, as its range does not change.
  void DrawWithSnappedX();
  void RestoreX();
  // What every redraw of the paint buffers shares: `draw` fills them, then
  // `repaint` is repainted but for what controls above the plot cover.
  void Redraw(const std::function<void()>& draw, const QRegion& repaint);
  // The part of the plot hidden under opaque controls stacked above it.
  QRegion Covered() const;

  class BackdropLayerable;
  class GridLayerable;
  BackdropLayerable* m_backdrop;
  QCPLayer* m_traceLayer;
  QRect m_traceReach;
  bool m_xSnapped = false;
  QCPRange m_ownX;  // the X axis's range while DrawnXRange stands in for it
  QCPRange m_layersX;
  int m_traceMoves = 0;
};
