#include "columngraph.h"

#include <algorithm>
#include <cmath>

namespace {

// Columns drawn beyond the clip on each side: an antialiased line within
// one column can touch its neighbour, never the column after.
constexpr int kColumnsBeyondClip = 2;

}  // namespace

ColumnGraph::ColumnGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}

void ColumnGraph::draw(QCPPainter* painter) {
  m_firstColumn = std::numeric_limits<int>::min();
  m_lastColumn = std::numeric_limits<int>::max();
  if (painter->hasClipping() && !painter->modes().testFlag(QCPPainter::pmVectorized)) {
    const QRect clip = painter->clipBoundingRect().toAlignedRect();
    m_firstColumn = clip.left() - kColumnsBeyondClip;
    m_lastColumn = clip.right() + kColumnsBeyondClip;
  }
  QCPGraph::draw(painter);
}

void ColumnGraph::getOptimizedLineData(QVector<QCPGraphData>* lineData,
                                       const QCPGraphDataContainer::const_iterator& begin,
                                       const QCPGraphDataContainer::const_iterator& end) const {
  const QCPAxis* key = mKeyAxis.data();
  if (lineData == nullptr || key == nullptr || key->orientation() != Qt::Horizontal ||
      key->scaleType() != QCPAxis::stLinear || key->rangeReversed() || !(key->range().size() > 0)) {
    QCPGraph::getOptimizedLineData(lineData, begin, end);
    return;
  }
  lineData->clear();
  const double left = key->axisRect()->left();
  const double lower = key->range().lower;
  const double scale = key->axisRect()->width() / key->range().size();  // pixels per key unit
  const auto column = [&](const QCPGraphData& d) {
    return std::floor(left + (d.key - lower) * scale);
  };

  // Whole columns from m_firstColumn to m_lastColumn, and the one point on
  // each side that the line comes from and goes to.
  auto from = std::partition_point(
      begin, end, [&](const QCPGraphData& d) { return column(d) < m_firstColumn; });
  auto to = std::partition_point(from, end,
                                 [&](const QCPGraphData& d) { return column(d) <= m_lastColumn; });
  if (from != begin) {
    lineData->append(*(from - 1));
  }
  for (auto first = from; first != to;) {
    const double col = column(*first);
    auto last = first;
    auto low = first;
    auto high = first;
    qsizetype count = 1;
    for (auto it = first + 1; it != to && column(*it) == col; ++it, ++count) {
      last = it;
      low = it->value < low->value ? it : low;
      high = it->value > high->value ? it : high;
    }
    if (count <= kKeptPerColumn) {
      for (auto it = first; it != last + 1; ++it) {
        lineData->append(*it);
      }
    } else {
      auto a = std::min(low, high);
      auto b = std::max(low, high);
      lineData->append(*first);
      if (a != first && a != last) {
        lineData->append(*a);
      }
      if (b != a && b != first && b != last) {
        lineData->append(*b);
      }
      lineData->append(*last);
    }
    first = last + 1;
  }
  if (to != end) {
    lineData->append(*to);
  }
}
