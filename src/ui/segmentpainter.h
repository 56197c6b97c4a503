#pragma once

#include <QColor>
#include <QList>
#include <QPolygonF>
#include <QRectF>
#include <QSizeF>

#include "segmentface.h"

class QPainter;

// Colours and geometry of the seven-segment faces, shared by the readouts and
// the clock. All geometry is in logical pixels; edges are snapped to whole
// device pixels for the given device pixel ratio so faces stay crisp at any
// scale. A digit cell is the bounding box of one position's seven segments.

inline constexpr QColor kLitSegmentColour(0, 255, 0);
inline constexpr QColor kUnlitSegmentColour(192, 192, 192);
// A near-black face: the green and the silver both stand out on it, and from each other.
inline constexpr QColor kSegmentFaceColour(24, 24, 24);

// Digit cells of a face showing `digits` positions evenly across its width.
QList<QRectF> ReadoutCells(const QSizeF& face, int digits, qreal dpr = 1.0);

// Cells of the clock face: six digit cells (hh mm ss) and the two separator
// cells between the pairs.
struct ClockCells {
  QList<QRectF> digits;
  QList<QRectF> separators;
};
ClockCells ClockCellsFor(const QSizeF& face, qreal dpr = 1.0);

// Stroke width of a cell's segments.
qreal SegmentThickness(const QRectF& cell, qreal dpr = 1.0);

// The outline of one lit segment of a digit cell: a bar with pointed ends.
QPolygonF SegmentPolygon(const QRectF& cell, Segment segment, qreal dpr = 1.0);
// An unlit segment: a thin bar on the same centre line, so the lit digit's
// shape stands out from the silver of the unlit ones at a glance.
QPolygonF UnlitSegmentPolygon(const QRectF& cell, Segment segment, qreal dpr = 1.0);
// A segment's bar `stroke` px thick on the centre line laid out for a bar
// `skeleton` px thick (the stroke itself when not positive), its ends pulled
// back by `gapShare` of that thickness (the lit bars' gap when not positive).
QPolygonF SegmentBar(const QRectF& cell, Segment segment, qreal stroke, qreal dpr = 1.0,
                     qreal skeleton = 0, qreal gapShare = 0);

// The two dots of a separator cell, upper first.
QList<QRectF> SeparatorDots(const QRectF& cell, qreal dpr = 1.0);

void PaintFaceBackground(QPainter& painter, const QRectF& face);
void PaintDigit(QPainter& painter, const QRectF& cell, SegmentMask lit, qreal dpr = 1.0);
void PaintSeparator(QPainter& painter, const QRectF& cell, qreal dpr = 1.0);
