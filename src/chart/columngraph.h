#pragma once

#include <QSize>
#include <limits>

#include "qcustomplot.h"

// A line graph sampled per pixel column of its key axis, and drawn only where
// the painter's clip reaches.
//
// QCPGraph's own sampling chains its intervals from the first point in view,
// so the line it draws through a column depends on every column before it.
// Here each whole pixel column of a horizontal, linear key axis stands alone:
// a column with up to kKeptPerColumn points keeps them all, a fuller one its
// first point, its lowest and highest (in key order) and its last. The line
// through any run of columns is then the same whether the rest is drawn or
// not, and a redraw clipped to a few columns reads only the points there.
//
// On such an axis the graph also places its points itself: a key's x is the
// key times a scale that stays as it is while the range's span does, less
// the range's lower end in pixels, a whole number when the range starts on a
// whole pixel. Two ranges a whole number of pixels apart then put every
// point exactly that many pixels apart, and the same line is drawn there.
class ColumnGraph : public QCPGraph {
 public:
  ColumnGraph(QCPAxis* keyAxis, QCPAxis* valueAxis);

  // Whether this graph, drawn for the current ranges within its clip, draws
  // every pixel that it draws for the key range `pixels` higher moved by
  // exactly that many pixels to the right, on a paint device of `device`
  // size. The painter's line geometry depends on the device's edges, so this
  // holds only while every point the lines join lies on the device in both
  // places.
  bool DrawsSameMovedBy(int pixels, const QSize& device) const;

 protected:
  void draw(QCPPainter* painter) override;
  void getOptimizedLineData(QVector<QCPGraphData>* lineData,
                            const QCPGraphDataContainer::const_iterator& begin,
                            const QCPGraphDataContainer::const_iterator& end) const override;

 private:
  static constexpr int kKeptPerColumn = 4;

  // Key to x on a horizontal, linear, not reversed key axis.
  struct KeyPixels {
    double scale;   // pixels per key unit
    double origin;  // the range's lower end times scale, less the axis rect's left
    double X(double key) const { return key * scale - origin; }
  };
  // False where the key axis is not of that kind.
  bool MapKeys(KeyPixels& map) const;
  // Whether draw places and draws the points itself (a plain line).
  bool Plain() const;
  // The points a line through the columns first..last joins: from the one
  // before the first column to the one after the last, where those exist.
  void Joined(const KeyPixels& map, int first, int last,
              QCPGraphDataContainer::const_iterator& from,
              QCPGraphDataContainer::const_iterator& to) const;

  // The pixel columns the drawing in progress reaches, the clip's with a
  // margin for lines that lean into it from beside it.
  int m_firstColumn = std::numeric_limits<int>::min();
  int m_lastColumn = std::numeric_limits<int>::max();
  // The scale last used: it changes only when the span's scale does by more
  // than rounding, so a range moved along keeps it exactly.
  mutable double m_scale = 0;
};
