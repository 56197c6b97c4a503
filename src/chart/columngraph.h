#pragma once

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
class ColumnGraph : public QCPGraph {
 public:
  ColumnGraph(QCPAxis* keyAxis, QCPAxis* valueAxis);

 protected:
  void draw(QCPPainter* painter) override;
  void getOptimizedLineData(QVector<QCPGraphData>* lineData,
                            const QCPGraphDataContainer::const_iterator& begin,
                            const QCPGraphDataContainer::const_iterator& end) const override;

 private:
  static constexpr int kKeptPerColumn = 4;

  // The pixel columns the drawing in progress reaches, the clip's with a
  // margin for lines that lean into it from beside it.
  int m_firstColumn = std::numeric_limits<int>::min();
  int m_lastColumn = std::numeric_limits<int>::max();
};
