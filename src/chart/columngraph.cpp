#include "columngraph.h"

#include <algorithm>
#include <cmath>

namespace {

// Columns drawn beyond the clip on each side: an antialiased line within
// one column can touch its neighbour, never the column after.
constexpr int kColumnsBeyondClip = 2;
// A scale that differs from the last one by less than this share is the
// same span's, recomputed with rounding.
constexpr double kSameScale = 1e-12;
// A range's lower end within this many pixels of a whole one is on it.
constexpr double kWholePixel = 1e-6;

}  // namespace

ColumnGraph::ColumnGraph(QCPAxis* keyAxis, QCPAxis* valueAxis) : QCPGraph(keyAxis, valueAxis) {}

bool ColumnGraph::MapKeys(KeyPixels& map) const {
  const QCPAxis* key = mKeyAxis.data();
  if (key == nullptr || key->orientation() != Qt::Horizontal ||
      key->scaleType() != QCPAxis::stLinear || key->rangeReversed() || !(key->range().size() > 0)) {
    return false;
  }
  const double scale = key->axisRect()->width() / key->range().size();
  if (!std::isfinite(scale) || !(scale > 0)) {
    return false;
  }
  if (!(std::abs(scale - m_scale) <= kSameScale * scale)) {
    m_scale = scale;
  }
  const double lower = key->range().lower * m_scale;
  const double whole = std::round(lower);
  map.scale = m_scale;
  map.origin = (std::abs(lower - whole) < kWholePixel ? whole : lower) - key->axisRect()->left();
  return std::isfinite(map.origin);
}

bool ColumnGraph::Plain() const {
  return mLineStyle == lsLine && mScatterStyle.isNone() && mBrush.style() == Qt::NoBrush &&
         selection().isEmpty() && mValueAxis && mValueAxis->orientation() == Qt::Vertical;
}

void ColumnGraph::Joined(const KeyPixels& map, int first, int last,
                         QCPGraphDataContainer::const_iterator& from,
                         QCPGraphDataContainer::const_iterator& to) const {
  const auto begin = mDataContainer->constBegin();
  const auto end = mDataContainer->constEnd();
  from = std::partition_point(
      begin, end, [&](const QCPGraphData& d) { return std::floor(map.X(d.key)) < first; });
  to = std::partition_point(
      from, end, [&](const QCPGraphData& d) { return std::floor(map.X(d.key)) <= last; });
  if (from != begin) {
    --from;
  }
  if (to != end) {
    ++to;
  }
}

bool ColumnGraph::DrawsSameMovedBy(int pixels, const QSize& device) const {
  KeyPixels map{};
  if (pixels < 0 || !Plain() || !MapKeys(map)) {
    return false;
  }
  const QRect clip = clipRect();
  QCPGraphDataContainer::const_iterator from;
  QCPGraphDataContainer::const_iterator to;
  Joined(map, clip.left() - kColumnsBeyondClip, clip.right() + kColumnsBeyondClip, from, to);
  for (auto it = from; it != to; ++it) {
    const double x = map.X(it->key);
    const double y = mValueAxis->coordToPixel(it->value);
    if (!(x >= 0 && x + pixels <= device.width() - 1 && y >= 0 && y <= device.height() - 1)) {
      return false;
    }
  }
  return true;
}

void ColumnGraph::draw(QCPPainter* painter) {
  m_firstColumn = std::numeric_limits<int>::min();
  m_lastColumn = std::numeric_limits<int>::max();
  if (painter->hasClipping() && !painter->modes().testFlag(QCPPainter::pmVectorized)) {
    const QRect clip = painter->clipBoundingRect().toAlignedRect();
    m_firstColumn = clip.left() - kColumnsBeyondClip;
    m_lastColumn = clip.right() + kColumnsBeyondClip;
  }
  KeyPixels map{};
  if (!Plain() || !MapKeys(map)) {
    QCPGraph::draw(painter);
    return;
  }
  // What QCPGraph::draw does for an unselected line without fill or
  // scatters, with the points placed by `map`.
  if (mDataContainer->isEmpty()) {
    return;
  }
  // Within a clip, the columns it reaches choose the points; the range's
  // own bounds (one point beyond each end) would leave out lines that lean
  // into the plot area's first column from beside it.
  QCPGraphDataContainer::const_iterator begin = mDataContainer->constBegin();
  QCPGraphDataContainer::const_iterator end = mDataContainer->constEnd();
  if (m_firstColumn == std::numeric_limits<int>::min()) {
    getVisibleDataBounds(begin, end, QCPDataRange(0, dataCount()));
  }
  QVector<QCPGraphData> lineData;
  getOptimizedLineData(&lineData, begin, end);
  QVector<QPointF> lines(lineData.size());
  for (qsizetype i = 0; i < lineData.size(); ++i) {
    lines[i] = QPointF(map.X(lineData[i].key), mValueAxis->coordToPixel(lineData[i].value));
  }
  // Without caps each segment of the polyline is drawn the same wherever
  // the polyline starts: the painter lengthens the first segment by half a
  // pixel for a cap, which moves its antialiased pixels, and a redraw of a
  // few columns starts its polyline at another point than a full one.
  QPen pen = mPen;
  pen.setCapStyle(Qt::FlatCap);
  painter->setPen(pen);
  painter->setBrush(Qt::NoBrush);
  drawLinePlot(painter, lines);
}

void ColumnGraph::getOptimizedLineData(QVector<QCPGraphData>* lineData,
                                       const QCPGraphDataContainer::const_iterator& begin,
                                       const QCPGraphDataContainer::const_iterator& end) const {
  KeyPixels map{};
  if (lineData == nullptr || !MapKeys(map)) {
    QCPGraph::getOptimizedLineData(lineData, begin, end);
    return;
  }
  lineData->clear();
  const auto column = [&](const QCPGraphData& d) { return std::floor(map.X(d.key)); };

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
