#include "segmentpainter.h"

#include <QPainter>
#include <QPointF>
#include <algorithm>
#include <cmath>

namespace {

// Face proportions, as fractions of the face or of a digit pitch.
constexpr qreal kMarginX = 3.0;           // px, left and right of the digits
constexpr qreal kMarginY = 3.0;           // px, above and below the digits
constexpr qreal kDigitWidthShare = 0.72;  // digit cell width / digit pitch
constexpr qreal kSeparatorShare = 0.5;    // clock separator width / digit pitch
constexpr qreal kThicknessShare = 0.13;   // segment thickness / cell height
constexpr qreal kMinThickness = 2.0;      // px
constexpr qreal kGapShare = 0.18;         // gap between touching segments / thickness
// Unlit segments are thin lines along the lit bars' centre lines: drawn at
// full width, silver next to green reads as an "8" in every position.
constexpr qreal kUnlitThicknessShare = 0.3;  // unlit stroke / lit thickness
// Unlit lines also stop well short of each other, so an unlit position
// shows seven separate dashes rather than the closed outline of an "8".
constexpr qreal kUnlitGapShare = 0.8;  // gap at each end / lit thickness

qreal Snap(qreal v, qreal dpr) {
  return std::round(v * dpr) / dpr;
}

QRectF SnappedCell(qreal left, qreal top, qreal width, qreal height, qreal dpr) {
  const qreal l = Snap(left, dpr);
  const qreal t = Snap(top, dpr);
  return QRectF(l, t, Snap(left + width, dpr) - l, Snap(top + height, dpr) - t);
}

// A bar of the given thickness along the skeleton line p→q, its ends pointed
// and pulled back by `gap` so neighbouring segments stay visibly apart.
QPolygonF Bar(QPointF p, QPointF q, qreal thickness, qreal gap) {
  const QPointF d = q - p;
  const qreal length = std::hypot(d.x(), d.y());
  const QPointF u = d / length;
  const QPointF n(-u.y(), u.x());
  const qreal h = thickness / 2.0;
  const QPointF p0 = p + u * gap;
  const QPointF q0 = q - u * gap;
  return QPolygonF(
      {p0, p0 + (u + n) * h, q0 + (n - u) * h, q0, q0 - (u + n) * h, p0 + (u - n) * h});
}

}  // namespace

QList<QRectF> ReadoutCells(const QSizeF& face, int digits, qreal dpr) {
  digits = std::max(digits, 1);
  const qreal pitch = (face.width() - 2 * kMarginX) / digits;
  const qreal width = pitch * kDigitWidthShare;
  const qreal height = face.height() - 2 * kMarginY;
  QList<QRectF> cells;
  for (int i = 0; i < digits; ++i) {
    const qreal left = kMarginX + i * pitch + (pitch - width) / 2;
    cells.append(SnappedCell(left, kMarginY, width, height, dpr));
  }
  return cells;
}

ClockCells ClockCellsFor(const QSizeF& face, qreal dpr) {
  constexpr int kDigits = 6;
  const qreal pitch = (face.width() - 2 * kMarginX) / (kDigits + 2 * kSeparatorShare);
  const qreal width = pitch * kDigitWidthShare;
  const qreal height = face.height() - 2 * kMarginY;
  ClockCells cells;
  qreal x = kMarginX;
  for (int i = 0; i < kDigits; ++i) {
    cells.digits.append(SnappedCell(x + (pitch - width) / 2, kMarginY, width, height, dpr));
    x += pitch;
    if (i == 1 || i == 3) {
      cells.separators.append(SnappedCell(x, kMarginY, pitch * kSeparatorShare, height, dpr));
      x += pitch * kSeparatorShare;
    }
  }
  return cells;
}

qreal SegmentThickness(const QRectF& cell, qreal dpr) {
  return std::max(kMinThickness, Snap(cell.height() * kThicknessShare, dpr));
}

QPolygonF SegmentPolygon(const QRectF& cell, Segment segment, qreal dpr) {
  return SegmentBar(cell, segment, SegmentThickness(cell, dpr), dpr);
}

QPolygonF UnlitSegmentPolygon(const QRectF& cell, Segment segment, qreal dpr) {
  const qreal t = SegmentThickness(cell, dpr);
  // In device pixels, of the same parity as the lit thickness, so the thin
  // line covers whole pixels around the shared centre line and stays crisp.
  const int litPx = int(std::lround(t * dpr));
  int strokePx = std::max(1, int(std::lround(litPx * kUnlitThicknessShare)));
  if ((litPx - strokePx) % 2 != 0) {
    ++strokePx;
  }
  return SegmentBar(cell, segment, strokePx / dpr, dpr, t, kUnlitGapShare);
}

QPolygonF SegmentBar(const QRectF& cell, Segment segment, qreal stroke, qreal dpr, qreal skeleton,
                     qreal gapShare) {
  // The skeleton is laid out for the lit thickness, so thin and full bars
  // share one centre line.
  const qreal t = skeleton > 0 ? skeleton : stroke;
  const qreal gap = std::max(1.0 / dpr, t * (gapShare > 0 ? gapShare : kGapShare));
  // Skeleton: the centre lines of the outer segments lie half a stroke inside the cell.
  const qreal l = cell.left() + t / 2;
  const qreal r = cell.right() - t / 2;
  const qreal top = cell.top() + t / 2;
  const qreal bottom = cell.bottom() - t / 2;
  const qreal mid = Snap((cell.top() + cell.bottom()) / 2 - t / 2, dpr) + t / 2;
  switch (segment) {
    case Segment::A:
      return Bar({l, top}, {r, top}, stroke, gap);
    case Segment::B:
      return Bar({r, top}, {r, mid}, stroke, gap);
    case Segment::C:
      return Bar({r, mid}, {r, bottom}, stroke, gap);
    case Segment::D:
      return Bar({l, bottom}, {r, bottom}, stroke, gap);
    case Segment::E:
      return Bar({l, mid}, {l, bottom}, stroke, gap);
    case Segment::F:
      return Bar({l, top}, {l, mid}, stroke, gap);
    case Segment::G:
      return Bar({l, mid}, {r, mid}, stroke, gap);
  }
  return {};
}

QList<QRectF> SeparatorDots(const QRectF& cell, qreal dpr) {
  const qreal t = SegmentThickness(cell, dpr);
  const qreal left = Snap(cell.center().x() - t / 2, dpr);
  const qreal upper = Snap(cell.top() + cell.height() * 0.3 - t / 2, dpr);
  const qreal lower = Snap(cell.top() + cell.height() * 0.7 - t / 2, dpr);
  return {QRectF(left, upper, t, t), QRectF(left, lower, t, t)};
}

void PaintFaceBackground(QPainter& painter, const QRectF& face) {
  painter.fillRect(face, kSegmentFaceColour);
}

void PaintDigit(QPainter& painter, const QRectF& cell, SegmentMask lit, qreal dpr) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setPen(Qt::NoPen);
  for (int i = 0; i < kSegmentCount; ++i) {
    const auto s = static_cast<Segment>(i);
    if (IsLit(lit, s)) {
      painter.setBrush(kLitSegmentColour);
      painter.drawPolygon(SegmentPolygon(cell, s, dpr));
    } else {
      painter.setBrush(kUnlitSegmentColour);
      painter.drawPolygon(UnlitSegmentPolygon(cell, s, dpr));
    }
  }
  painter.restore();
}

void PaintSeparator(QPainter& painter, const QRectF& cell, qreal dpr) {
  for (const QRectF& dot : SeparatorDots(cell, dpr)) {
    painter.fillRect(dot, kLitSegmentColour);
  }
}
